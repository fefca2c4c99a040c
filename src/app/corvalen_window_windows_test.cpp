// The Win32 window, on a display (under Wine: Xvfb). Whole runs with the
// real update module are covered by tests/windows/window_cases.sh.
#include "app/corvalen_window_windows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/corvalen_form.h"
#include "platform/numbered_error.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#undef MessageBox

namespace corvalen {
namespace {

std::unique_ptr<CorvalenWin32> MakeWindow(UpdateRun run, std::vector<BoxRequest>* boxes) {
  CorvalenOptions options;
  options.scripts_folder = u"C:\\scripts";
  options.run = std::move(run);
  auto window = std::make_unique<CorvalenWin32>(
      []() -> std::shared_ptr<DataAccessComponent> { throw NumberedError(kErrCannotCreateObject); },
      std::move(options));
  window->SetMessageBoxHook([boxes](const BoxRequest& box) {
    boxes->push_back(box);
    return true;
  });
  return window;
}

HWND ControlOf(const CorvalenWin32& window, form::Id id) {
  return GetDlgItem(window.handle(), static_cast<int>(id) + 1);
}

std::u16string TextOf(HWND control) {
  std::u16string text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, u'\0');
  GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()));
  text.pop_back();
  return text;
}

std::u16string ListText(HWND list, int index) {
  std::u16string text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, u'\0');
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.pop_back();
  return text;
}

// The label's box holds its whole text in the label's own font.
void ExpectWholeText(HWND label) {
  const std::u16string text = TextOf(label);
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.c_str()),
                        static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  RECT box;
  GetClientRect(label, &box);
  EXPECT_GE(box.right, extent.cx) << "cut: " << std::string(text.begin(), text.end());
  EXPECT_GE(box.bottom, extent.cy) << "cut: " << std::string(text.begin(), text.end());
}

TEST(CorvalenWin32Test, LayoutAsDesigned) {
  std::vector<BoxRequest> boxes;
  auto window = MakeWindow(nullptr, &boxes);
  const int dpi = static_cast<int>(GetDpiForWindow(window->handle()));
  RECT client;
  GetClientRect(window->handle(), &client);
  EXPECT_EQ(client.right, form::ToPixels(form::kClientWidth, dpi));
  EXPECT_EQ(client.bottom, form::ToPixels(form::kClientHeight, dpi));
  EXPECT_EQ(TextOf(window->handle()), u"Corvalen");
  for (size_t i = 0; i < std::size(form::kControls); ++i) {
    const form::Control& design = form::kControls[i];
    HWND control = ControlOf(*window, static_cast<form::Id>(i));
    if (design.kind == form::Kind::kRectangle) {
      EXPECT_EQ(control, nullptr) << "the frame is drawn";
      continue;
    }
    ASSERT_NE(control, nullptr) << design.name;
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, window->handle(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.top, form::ToPixels(design.place.top, dpi)) << design.name;
    const int left = form::ToPixels(design.place.left, dpi);
    if (design.kind == form::Kind::kLabel) {
      // A label may grow to hold its text, never shrink below its design.
      EXPECT_LE(place.left, left) << design.name;
      EXPECT_GE(place.right, left + form::ToPixels(design.place.width, dpi)) << design.name;
    } else {
      EXPECT_EQ(place.left, left) << design.name;
    }
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, design.visible) << design.name;
    if (design.kind == form::Kind::kLabel && design.name != std::string("Lbl_AppVer")) {
      EXPECT_EQ(TextOf(control), design.text) << design.name;
    }
    if (design.kind == form::Kind::kLabel && design.visible) {
      SCOPED_TRACE(design.name);
      ExpectWholeText(control);
    }
  }
  // A caption longer than its designed box is not cut either.
  window->SetStatusPrgCaption(u"Ejecutando actualización 32767 de 32767, CATALOGOS_x.sql");
  ExpectWholeText(ControlOf(*window, form::Id::kLblStatusPrg));
  EXPECT_EQ(TextOf(ControlOf(*window, form::Id::kLblAppVer)), u"v." CORVALEN_VERSION);
  EXPECT_EQ(window->module().CarpetaScripts, u"C:\\scripts");
  EXPECT_TRUE(boxes.empty());
}

TEST(CorvalenWin32Test, ListProgressAndClipboard) {
  std::vector<BoxRequest> boxes;
  auto window = MakeWindow(nullptr, &boxes);
  HWND list = ControlOf(*window, form::Id::kList1);
  window->ListAddItem(u"CATALOGOS_ñandú.sql");
  window->ListAddItem(u"NCM_b.sql");
  window->SetListIndex(1);
  // Marks are kept at once and shown at the next refresh.
  const LRESULT extent = SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
  for (int i = 0; i < 2000; ++i) window->AppendToListItem(0, u"\u2022");
  EXPECT_EQ(window->line(0).size(), 19u + 2000u);
  for (int i = 0; i < 100 && ListText(list, 0).size() < 2019; ++i) {
    Sleep(10);
    window->DoEvents();
  }
  EXPECT_EQ(ListText(list, 0), window->line(0));
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "the current line stays";
  EXPECT_GT(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), extent) << "scrolls sideways";

  HWND bar = ControlOf(*window, form::Id::kPrgbar);
  window->SetProgressMax(12);
  window->SetProgressValue(3);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 12);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 3);
  EXPECT_THROW(window->SetProgressValue(13), NumberedError);
  EXPECT_THROW(window->SetProgressMax(0.5f), NumberedError);

  const std::u16string failing = u"INSERT INTO t VALUES ('año')\r\nGO";
  window->ClipboardClear();
  window->ClipboardSetText(failing);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(data))), failing);
  GlobalUnlock(data);
  CloseClipboard();
}

TEST(CorvalenWin32Test, RunStartsOnceIgnoresCloseAndEndsOnEscAfterErrors) {
  std::vector<BoxRequest> boxes;
  int runs = 0;
  bool survived_close = false;
  std::unique_ptr<CorvalenWin32> window;
  window = MakeWindow(
      [&](ModMain& module, RunWindow& frm) {
        ++runs;
        HWND list = ControlOf(*window, form::Id::kList1);
        PostMessageW(window->handle(), WM_CLOSE, 0, 0);
        PostMessageW(list, WM_KEYUP, VK_ESCAPE, 0);  // before Finalizado: ignored
        PostMessageW(window->handle(), WM_ACTIVATE, WA_ACTIVE, 0);
        frm.DoEvents();
        survived_close = !window->ended();
        module.HuboErrores = kTrue;
        module.Finalizado = kTrue;
        // After the run the Esc key-up ends the program with 1.
        PostMessageW(list, WM_KEYUP, VK_ESCAPE, 0);
      },
      &boxes);
  EXPECT_EQ(window->Run(SW_SHOWNOACTIVATE), 1);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(survived_close);
  EXPECT_TRUE(boxes.empty());
}

TEST(CorvalenWin32Test, FailureInTheRunIsReportedAndClosingThenEndsWithFour) {
  std::vector<BoxRequest> boxes;
  std::unique_ptr<CorvalenWin32> window;
  window = MakeWindow(
      [&](ModMain&, RunWindow&) {
        PostMessageW(window->handle(), WM_CLOSE, 0, 0);  // handled after the run
        throw NumberedError(kErrObjectNotSet);
      },
      &boxes);
  EXPECT_EQ(window->Run(SW_SHOWNOACTIVATE), 4);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, u"Application Error");
  EXPECT_EQ(boxes[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(boxes[0].text,
            u"Object variable or With block variable not set\r\n"
            u"in CorvalenSQL.Corvalen.Form_Activate at line 20");
}

}  // namespace
}  // namespace corvalen
