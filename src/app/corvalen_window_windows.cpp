#include "app/corvalen_window_windows.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
// The window's own member is called MessageBox; the Win32 function is
// called by its wide name.
#undef MessageBox

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/exit_codes.h"

namespace corvalen {

// Hands the window's messages to its object.
struct CorvalenWin32Procedure {
  static LRESULT CALLBACK Call(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      auto* self = static_cast<CorvalenWin32*>(create->lpCreateParams);
      self->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CorvalenWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    return self->OnMessage(message, wparam, lparam);
  }
};

namespace {

constexpr wchar_t kWindowClass[] = L"CorvalenSQL.Corvalen";
// Posted when the window is shown and handled from the message loop: the
// run starts there, at the first idle moment, if no activation started it.
constexpr UINT kStartRunMessage = WM_APP + 1;
constexpr UINT_PTR kRefreshTimer = 1;
// The icon in the program's resources (corvalensql.rc).
constexpr int kIconResource = 1;
// How often lines that gained progress marks are shown again: about the
// screen's rate, and never so often that replacing and painting a long line
// takes more than a 25th of the run's time.
constexpr unsigned kListRefreshMs = 16;
constexpr long long kListRefreshCostShare = 25;
constexpr unsigned kListRefreshMaxMs = 1000;
// Room beside the widest line, so that its last character is not on the border.
constexpr int kListExtentMargin = 6;

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

COLORREF ToColorRef(form::Rgb rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

// A progress value as the bar takes it.
int ToBar(float value) {
  if (value >= static_cast<float>(INT_MAX)) return INT_MAX;
  return static_cast<int>(std::lround(value));
}

void RegisterWindowClass(HINSTANCE instance) {
  static const bool registered = [instance] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &CorvalenWin32Procedure::Call;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    window_class.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    window_class.lpszClassName = kWindowClass;
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
}

// The clipboard, held open for one change. Another program may hold it for
// a moment: a few tries are made before giving up with error 521.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (OpenClipboard(owner)) return;
      Sleep(10);
    }
    throw NumberedError(kErrCantOpenClipboard, u"Can't open Clipboard");
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

// The pixels of a control's place at `dpi` dots per inch.
RECT Place(const form::TwipRect& twips, int dpi) {
  const int left = form::ToPixels(twips.left, dpi);
  const int top = form::ToPixels(twips.top, dpi);
  return RECT{left, top, left + form::ToPixels(twips.width, dpi),
              top + form::ToPixels(twips.height, dpi)};
}

}  // namespace

CorvalenWin32::CorvalenWin32(ComponentFactory crear_componente, CorvalenOptions options)
    : module_(*this, std::move(crear_componente)),
      options_(std::move(options)),
      events_(module_, *this, options_,
              [this](int code) {
                if (refresh_timer_set_) KillTimer(window_, kRefreshTimer);
                refresh_timer_set_ = false;
                PostQuitMessage(code);
              }),
      refresh_interval_ms_(kListRefreshMs) {
  if (!options_.config_path.empty()) module_.ConfigPathOverride = options_.config_path;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance);
  background_ = CreateSolidBrush(ToColorRef(form::kBackground));
  // A fixed frame with a title bar, a close button and a minimise button.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  CreateWindowExW(0, kWindowClass, Wide(std::u16string(form::kCaption)), kStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw NumberedError(kErrOutOfMemory);
  // The client area at the window's own resolution.
  dpi_ = static_cast<int>(GetDpiForWindow(window_));
  if (dpi_ <= 0) dpi_ = USER_DEFAULT_SCREEN_DPI;
  RECT frame{0, 0, form::ToPixels(form::kClientWidth, dpi_),
             form::ToPixels(form::kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  BuildControls();
  events_.Load([this] {
    SetText(form::Id::kLblAppVer, VersionLabel());
    FitVersionLabel();
  });
}

CorvalenWin32::~CorvalenWin32() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  for (auto& [lettering, font] : fonts_) DeleteObject(font);
  if (background_ != nullptr) DeleteObject(background_);
}

HFONT CorvalenWin32::Font(const form::Lettering& lettering) {
  for (const auto& [made, font] : fonts_) {
    if (made.points == lettering.points && made.bold == lettering.bold) return font;
  }
  const int height = -static_cast<int>(std::lround(lettering.points * dpi_ / 72));
  HFONT font = CreateFontW(height, 0, 0, 0, lettering.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                           FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Wide(form::kFace));
  fonts_.emplace_back(lettering, font);
  return font;
}

void CorvalenWin32::BuildControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // Created in the order the window holds them; each control's id is its
  // place in that order, counted from 1.
  for (size_t i = 0; i < std::size(form::kControls); ++i) {
    const form::Control& design = form::kControls[i];
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD;
    DWORD extended = 0;
    switch (design.kind) {
      case form::Kind::kProgressBar:
        window_class = PROGRESS_CLASSW;
        style |= PBS_SMOOTH;
        break;
      case form::Kind::kListBox:
        // In the order added, never sorted; lines longer than the box
        // scroll sideways.
        window_class = L"LISTBOX";
        style |= WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
        extended = WS_EX_CLIENTEDGE;
        break;
      case form::Kind::kTextBox:
        window_class = L"EDIT";
        style |= ES_AUTOHSCROLL;
        extended = WS_EX_CLIENTEDGE;
        break;
      case form::Kind::kPushButton:
        window_class = L"BUTTON";
        style |= BS_PUSHBUTTON;
        break;
      case form::Kind::kLabel:
        window_class = L"STATIC";
        style |= SS_NOPREFIX | (design.align == form::Align::kCentre ? SS_CENTER : SS_LEFT);
        break;
      case form::Kind::kRectangle:
        continue;  // drawn by the window itself, beneath its controls
    }
    // Those that lie outside the client area are neither shown nor enabled,
    // so that they never take the focus.
    style |= design.visible ? WS_VISIBLE : WS_DISABLED;
    const RECT place = Place(design.place, dpi_);
    HWND control = CreateWindowExW(
        extended, window_class, Wide(DisplayName(design.text)), style, place.left, place.top,
        place.right - place.left, place.bottom - place.top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)), instance, nullptr);
    if (control == nullptr) throw NumberedError(kErrOutOfMemory);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(design.lettering)), FALSE);
    controls_[i] = control;
  }
  SendMessageW(Control(form::Id::kPrgbar), PBM_SETRANGE32, 0, form::kProgressMaxAtStart);
  SendMessageW(Control(form::Id::kPrgbar), PBM_SETPOS, 0, 0);
}

void CorvalenWin32::SetText(form::Id id, const std::u16string& text) {
  SetWindowTextW(Control(id), Wide(DisplayName(text)));
}

void CorvalenWin32::FitVersionLabel() {
  // The designed width holds "V.0.0.0" but not every real version in every
  // face; the label widens to its text, up to the header frame's line.
  HWND label = Control(form::Id::kLblAppVer);
  const int length = GetWindowTextLengthW(label);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(label, text.data(), length + 1);
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, Font(form::Design(form::Id::kLblAppVer).lettering));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), length, &extent);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);

  const RECT place = Place(form::Design(form::Id::kLblAppVer).place, dpi_);
  const RECT frame = Place(form::Design(form::Id::kShp1).place, dpi_);
  const int needed = extent.cx + 1;
  const int limit = frame.right - 1 - place.left;
  if (needed > place.right - place.left) {
    SetWindowPos(label, nullptr, 0, 0, std::min(needed, limit), place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

int CorvalenWin32::Run(int show_command) {
  if (!events_.ended()) {
    ShowWindow(window_, show_command);
    UpdateWindow(window_);
    PostMessageW(window_, kStartRunMessage, 0, 0);
  }
  MSG message{};
  while (!events_.ended()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;  // WM_QUIT from elsewhere, or no queue
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return events_.exit_code().value_or(kExitFailure);
}

void CorvalenWin32::Activate() {
  if (IsWindowVisible(window_)) events_.Activate();
}

bool CorvalenWin32::PreTranslate(const MSG& message) {
  if (message.message != WM_KEYUP && message.message != WM_KEYDOWN) return false;
  // The window sees key releases of its controls before they do.
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  if (message.message == WM_KEYUP && message.wParam == VK_ESCAPE) events_.EscapeReleased();
  return message.wParam == VK_ESCAPE;
}

void CorvalenWin32::PaintFrame() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  const form::Control& design = form::Design(form::Id::kShp1);
  const RECT frame = Place(design.place, dpi_);
  HBRUSH line = CreateSolidBrush(ToColorRef(design.foreground));
  FrameRect(dc, &frame, line);
  DeleteObject(line);
  EndPaint(window_, &paint);
}

intptr_t CorvalenWin32::OnMessage(unsigned message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) {
        // Keys go to the list, as the first control that takes the focus.
        SetFocus(Control(form::Id::kList1));
        if (!events_.activated()) PostMessageW(window_, kStartRunMessage, 0, 0);
        return 0;
      }
      break;
    case kStartRunMessage:
      Activate();
      return 0;
    case WM_CLOSE:
      // Refused while the run is going on; afterwards the program ends
      // with the code its outcome warrants.
      events_.CloseRequested();
      return 0;
    case WM_TIMER:
      if (wparam == kRefreshTimer) {
        RefreshLines();
        return 0;
      }
      break;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, background_);
      return 1;
    }
    case WM_PAINT:
      PaintFrame();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
      // Labels are transparent: their text over the window's grey. The list
      // has the same grey behind its lines.
      const auto id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
      if (id < 1 || id > static_cast<int>(std::size(form::kControls))) break;
      const form::Control& design = form::kControls[id - 1];
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, ToColorRef(design.foreground));
      SetBkColor(dc, ToColorRef(design.background));
      if (design.kind == form::Kind::kLabel) SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<intptr_t>(background_);
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

// ---- RunWindow ----

void CorvalenWin32::CheckLine(int16_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) {
    throw NumberedError(kErrInvalidPropertyValue);
  }
}

void CorvalenWin32::WidenList(const std::u16string& text) {
  HWND list = Control(form::Id::kList1);
  HDC dc = GetDC(list);
  HGDIOBJ previous = SelectObject(dc, Font(form::Design(form::Id::kList1).lettering));
  SIZE extent{};
  GetTextExtentPoint32W(dc, Wide(text), static_cast<int>(std::min<size_t>(text.size(), INT_MAX)),
                        &extent);
  SelectObject(dc, previous);
  ReleaseDC(list, dc);
  if (extent.cx + kListExtentMargin > list_extent_) {
    list_extent_ = extent.cx + kListExtentMargin;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(list_extent_), 0);
  }
}

void CorvalenWin32::ShowLine(int32_t index) {
  HWND list = Control(form::Id::kList1);
  const std::u16string shown = DisplayName(lines_[static_cast<size_t>(index)]);
  // A list box item cannot be changed in place: it is replaced, keeping the
  // current line and what the box has scrolled to.
  const LRESULT current = SendMessageW(list, LB_GETCURSEL, 0, 0);
  const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(Wide(shown)));
  if (current == index) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  WidenList(shown);
}

void CorvalenWin32::RefreshLines() {
  if (refresh_timer_set_) KillTimer(window_, kRefreshTimer);
  refresh_timer_set_ = false;
  if (stale_lines_.empty()) return;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int32_t index : stale_lines_) {
    if (static_cast<size_t>(index) < lines_.size()) ShowLine(index);
  }
  stale_lines_.clear();
  // Painted now, so that what a long line costs to show is known.
  UpdateWindow(Control(form::Id::kList1));
  QueryPerformanceCounter(&end);
  const long long cost_ms = (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
  refresh_interval_ms_ = static_cast<unsigned>(std::clamp<long long>(
      cost_ms * kListRefreshCostShare, kListRefreshMs, kListRefreshMaxMs));
}

void CorvalenWin32::ListClear() {
  stale_lines_.clear();
  lines_.clear();
  SendMessageW(Control(form::Id::kList1), LB_RESETCONTENT, 0, 0);
  list_extent_ = 0;
  SendMessageW(Control(form::Id::kList1), LB_SETHORIZONTALEXTENT, 0, 0);
}

void CorvalenWin32::ListAddItem(const std::u16string& text) {
  const std::u16string shown = DisplayName(text);
  const LRESULT added = SendMessageW(Control(form::Id::kList1), LB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(Wide(shown)));
  if (added < 0) throw NumberedError(kErrOutOfMemory);
  lines_.push_back(text);
  WidenList(shown);
}

int32_t CorvalenWin32::ListCount() const { return static_cast<int32_t>(lines_.size()); }

std::u16string CorvalenWin32::ListItem(int16_t index) const {
  CheckLine(index);
  return lines_[static_cast<size_t>(index)];
}

void CorvalenWin32::SetListItem(int16_t index, const std::u16string& text) {
  CheckLine(index);
  lines_[static_cast<size_t>(index)] = text;
  std::erase(stale_lines_, index);
  ShowLine(index);
}

void CorvalenWin32::AppendToListItem(int16_t index, std::u16string_view piece) {
  CheckLine(index);
  lines_[static_cast<size_t>(index)] += piece;
  if (std::find(stale_lines_.begin(), stale_lines_.end(), index) == stale_lines_.end()) {
    stale_lines_.push_back(index);
  }
  if (!refresh_timer_set_) {
    refresh_timer_set_ = SetTimer(window_, kRefreshTimer, refresh_interval_ms_, nullptr) != 0;
  }
}

void CorvalenWin32::SetListIndex(int16_t index) {
  CheckLine(index);
  SendMessageW(Control(form::Id::kList1), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CorvalenWin32::SetStatusPrgCaption(const std::u16string& text) {
  SetText(form::Id::kLblStatusPrg, text);
}

void CorvalenWin32::SetStatusCaption(const std::u16string& text) {
  RefreshLines();  // the run is over: every line shows its last mark
  SetText(form::Id::kLblStatus, text);
}

void CorvalenWin32::SetProgressMax(float maximum) {
  if (!(maximum >= 1) || std::isinf(maximum)) throw NumberedError(kErrInvalidPropertyValue);
  progress_max_ = maximum;
  if (progress_value_ > maximum) progress_value_ = maximum;
  HWND bar = Control(form::Id::kPrgbar);
  SendMessageW(bar, PBM_SETRANGE32, 0, ToBar(maximum));
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(ToBar(progress_value_)), 0);
}

void CorvalenWin32::SetProgressValue(float value) {
  if (!(value >= 0 && value <= progress_max_)) throw NumberedError(kErrInvalidPropertyValue);
  progress_value_ = value;
  SendMessageW(Control(form::Id::kPrgbar), PBM_SETPOS, static_cast<WPARAM>(ToBar(value)), 0);
}

void CorvalenWin32::MessageBox(const std::u16string& text, const std::u16string& title,
                               MessageIcon icon) {
  RefreshLines();
  if (box_hook_ && box_hook_(BoxRequest{text, title, icon})) return;
  const std::u16string shown = DisplayName(text);
  const std::u16string caption = DisplayName(title);
  // Owned by the window, which stays disabled until the box is answered.
  MessageBoxW(window_, Wide(shown), Wide(caption),
              MB_OK | (icon == MessageIcon::kCritical ? MB_ICONERROR : MB_ICONEXCLAMATION));
}

void CorvalenWin32::ClipboardClear() {
  OpenedClipboard clipboard(window_);
  EmptyClipboard();
}

void CorvalenWin32::ClipboardSetText(const std::u16string& text) {
  const std::u16string shown = DisplayName(text);
  const size_t bytes = (shown.size() + 1) * sizeof(char16_t);
  // The clipboard takes over this memory when it accepts it.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) throw NumberedError(kErrOutOfMemory);
  std::memcpy(GlobalLock(memory), shown.c_str(), bytes);
  GlobalUnlock(memory);
  try {
    OpenedClipboard clipboard(window_);
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
      throw NumberedError(kErrCantOpenClipboard, u"Can't open Clipboard");
    }
  } catch (const NumberedError&) {
    GlobalFree(memory);
    throw;
  }
}

void CorvalenWin32::DoEvents() {
  MSG message;
  while (!events_.ended() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the message loop that is waiting for it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  events_.AfterEvents();
}

void CorvalenWin32::Pause(int32_t milliseconds) {
  RefreshLines();
  if (milliseconds <= 0) return;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    // Only painting (and messages other programs send, which cannot wait):
    // keys and clicks stay queued and start nothing meanwhile.
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                              QS_PAINT | QS_SENDMESSAGE);
  }
}

void CorvalenWin32::EndProgram(EndReason reason) { throw ProgramEnded{reason}; }

}  // namespace corvalen
