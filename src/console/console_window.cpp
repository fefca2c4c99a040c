#include "console/console_window.h"

#include "platform/utf.h"

namespace corvalen {
namespace {

std::string ForConsole(const std::u16string& text) { return Utf16ToUtf8(EscapeForTerminal(text)); }

// What a terminal would act on rather than show: the C0 controls, DEL, the
// C1 controls, and the bidirectional overrides and isolates.
bool ActsOnTerminal(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

void AppendEscape(std::u16string& out, char16_t c) {
  constexpr char16_t kHex[] = u"0123456789abcdef";
  if (c == u'\n') {
    out += u"\\n";
  } else if (c == u'\r') {
    out += u"\\r";
  } else if (c == u'\t') {
    out += u"\\t";
  } else if (c <= 0xFF) {
    out += u"\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  } else {
    out += u"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
  }
}

}  // namespace

std::u16string EscapeControls(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (ActsOnTerminal(c)) {
      AppendEscape(out, c);
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string EscapeForTerminal(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    if (c == u'\r' || c == u'\n') {
      out += u'\n';
    } else if (c == u'\t' || !ActsOnTerminal(c)) {
      out += c;
    } else {
      AppendEscape(out, c);
    }
  }
  return out;
}

ConsoleWindow::ConsoleWindow(std::FILE* out, std::FILE* err, bool show_progress)
    : out_(out), err_(err), show_progress_(show_progress) {}

void ConsoleWindow::ShowStatusPrg(const std::u16string& text) {
  if (!show_progress_) return;
  std::fprintf(err_, "\r\033[K%s", Utf16ToUtf8(EscapeControls(text)).c_str());
  std::fflush(err_);
  progress_shown_ = true;
}

void ConsoleWindow::ClearProgress() {
  if (!progress_shown_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  progress_shown_ = false;
}

void ConsoleWindow::ShowStatus(const std::u16string& text) {
  ClearProgress();
  std::fprintf(out_, "%s\n", ForConsole(text).c_str());
  std::fflush(out_);
}

void ConsoleWindow::ShowScriptEnded(int32_t, const std::u16string& text) { PrintLine(text); }

void ConsoleWindow::PrintLine(const std::u16string& text) {
  ClearProgress();
  std::fprintf(out_, "%s\n", Utf16ToUtf8(EscapeControls(text)).c_str());
  std::fflush(out_);
}

void ConsoleWindow::MessageBox(const std::u16string& text, const std::u16string& title,
                               MessageIcon) {
  ClearProgress();
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", ForConsole(title).c_str(), ForConsole(text).c_str());
  std::fflush(err_);
}

void ConsoleWindow::FinishAbruptEnd(EndReason reason, const std::u16string& failure_location) {
  const int32_t current = current_line();
  if (current >= 0 && !script_ended(static_cast<size_t>(current)) &&
      reason != EndReason::kCompleted) {
    PrintLine(line(static_cast<size_t>(current)));
  }
  if (reason == EndReason::kScriptFailed && !failure_location.empty()) {
    std::fprintf(err_, "%s\n", Utf16ToUtf8(EscapeControls(failure_location)).c_str());
  }
  if (reason == EndReason::kScriptFailed && !clipboard_.empty()) {
    std::fprintf(err_, "%s\n", ForConsole(clipboard_).c_str());
  }
  ClearProgress();
  std::fflush(out_);
  std::fflush(err_);
}

}  // namespace corvalen
