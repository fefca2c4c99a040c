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
#include "platform/wide_chars_windows.h"
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
// Room beside the widest line, so that its last character is not on the border.
constexpr int kListExtentMargin = 6;

COLORREF ToColorRef(form::Rgb rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

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
    : FormWindow(std::move(crear_componente), std::move(options), [this](int code) {
        KillTimer(window_, kRefreshTimer);
        PostQuitMessage(code);
      }) {
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
  events_.Load([this] { SetText(form::Id::kLblAppVer, VersionLabel()); });
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
    FitLabel(static_cast<form::Id>(i), DisplayName(design.text));
  }
  SendMessageW(Control(form::Id::kPrgbar), PBM_SETRANGE32, 0, form::kProgressMaxAtStart);
  SendMessageW(Control(form::Id::kPrgbar), PBM_SETPOS, 0, 0);
}

void CorvalenWin32::SetText(form::Id id, const std::u16string& text) {
  const std::u16string shown = DisplayName(text);
  SetWindowTextW(Control(id), Wide(shown));
  FitLabel(id, shown);
}

int CorvalenWin32::TextWidth(form::Id id, const std::u16string& text, int* height) {
  HWND control = Control(id);
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, Font(form::Design(id).lettering));
  SIZE extent{};
  GetTextExtentPoint32W(dc, Wide(text), static_cast<int>(std::min<size_t>(text.size(), INT_MAX)),
                        &extent);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  if (height != nullptr) *height = extent.cy;
  return extent.cx;
}

void CorvalenWin32::FitLabel(form::Id id, const std::u16string& text) {
  // The designed boxes hold their texts in Tahoma; where another face is
  // put in its place (a wider one under Wine) or a caption is longer, the
  // box grows to its text: to the right (and to the left where the room
  // ends), or both ways when centred, and in height; within the header
  // frame for the labels it encloses, and within the client area otherwise.
  const form::Control& design = form::Design(id);
  if (design.kind != form::Kind::kLabel || !design.visible) return;
  RECT place = Place(design.place, dpi_);
  RECT room{0, 0, form::ToPixels(form::kClientWidth, dpi_),
            form::ToPixels(form::kClientHeight, dpi_)};
  RECT frame = Place(form::Design(form::Id::kShp1).place, dpi_);
  InflateRect(&frame, -1, -1);
  RECT inside;
  if (IntersectRect(&inside, &place, &frame) && EqualRect(&inside, &place)) room = frame;
  int height = 0;
  const int needed = TextWidth(id, text, &height) + 1;
  if (needed > place.right - place.left) {
    if (design.align == form::Align::kCentre) {
      const int centre = (place.left + place.right) / 2;
      place.left = std::max<LONG>(room.left, centre - needed / 2);
      place.right = std::min<LONG>(room.right, place.left + needed);
      place.left = std::max<LONG>(room.left, place.right - needed);
    } else {
      // Where the room ends first, the box moves left to hold its text.
      place.right = std::min<LONG>(room.right, place.left + needed);
      place.left = std::max<LONG>(room.left, std::min<LONG>(place.left, place.right - needed));
    }
  }
  if (height > place.bottom - place.top) place.bottom = std::min<LONG>(room.bottom, place.top + height);
  SetWindowPos(Control(id), nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
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
        KillTimer(window_, kRefreshTimer);
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

// ---- The screen on the controls ----

void CorvalenWin32::WidenList(const std::u16string& text) {
  const int width = TextWidth(form::Id::kList1, text, nullptr) + kListExtentMargin;
  if (width > list_extent_) {
    list_extent_ = width;
    SendMessageW(Control(form::Id::kList1), LB_SETHORIZONTALEXTENT,
                 static_cast<WPARAM>(list_extent_), 0);
  }
}

void CorvalenWin32::ShowLine(int32_t index, const std::u16string& text) {
  HWND list = Control(form::Id::kList1);
  const std::u16string shown = DisplayName(text);
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

void CorvalenWin32::ShowLineAdded(const std::u16string& text) {
  const std::u16string shown = DisplayName(text);
  const LRESULT added = SendMessageW(Control(form::Id::kList1), LB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(Wide(shown)));
  if (added < 0) throw NumberedError(kErrOutOfMemory);
  WidenList(shown);
}

void CorvalenWin32::ShowListCleared() {
  SendMessageW(Control(form::Id::kList1), LB_RESETCONTENT, 0, 0);
  list_extent_ = 0;
  SendMessageW(Control(form::Id::kList1), LB_SETHORIZONTALEXTENT, 0, 0);
}

void CorvalenWin32::ShowCurrentLine(int32_t index) {
  SendMessageW(Control(form::Id::kList1), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CorvalenWin32::PaintLines() { UpdateWindow(Control(form::Id::kList1)); }

void CorvalenWin32::ScheduleRefresh(int milliseconds) {
  SetTimer(window_, kRefreshTimer, static_cast<UINT>(milliseconds), nullptr);
}

void CorvalenWin32::ShowProgress(int maximum, int value) {
  HWND bar = Control(form::Id::kPrgbar);
  SendMessageW(bar, PBM_SETRANGE32, 0, maximum);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void CorvalenWin32::ShowStatus(const std::u16string& text) { SetText(form::Id::kLblStatus, text); }

void CorvalenWin32::ShowStatusPrg(const std::u16string& text) {
  SetText(form::Id::kLblStatusPrg, text);
}

// ---- What the run needs beyond the screen ----

void CorvalenWin32::ShowMessageBox(const std::u16string& text, const std::u16string& title,
                                   MessageIcon icon) {
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

void CorvalenWin32::ProcessEvents() {
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
}

void CorvalenWin32::Wait(int32_t milliseconds) {
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

}  // namespace corvalen
