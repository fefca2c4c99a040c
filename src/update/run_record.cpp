#include "update/run_record.h"

namespace corvalen {

std::string_view OutcomeName(ScriptOutcome outcome) {
  switch (outcome) {
    case ScriptOutcome::kOk: return "ok";
    case ScriptOutcome::kError: return "error";
    case ScriptOutcome::kFailed: return "failed";
    case ScriptOutcome::kSkipped: return "skipped";
    case ScriptOutcome::kNotRun: break;
  }
  return "not-run";
}

ScriptRecord* RunRecord::AtLine(int32_t line) {
  if (line < 0 || static_cast<size_t>(line) >= scripts.size()) return nullptr;
  return &scripts[static_cast<size_t>(line)];
}

std::optional<int32_t> BatchLineInMessage(std::u16string_view message) {
  // PostgreSQL writes "LINE 3:", SQL Server "Line 3", the connections' own
  // messages "línea 3".
  for (std::u16string_view word : {u"LINE ", u"Line ", u"line ", u"l\u00EDnea "}) {
    for (size_t at = message.find(word); at != std::u16string_view::npos;
         at = message.find(word, at + 1)) {
      size_t i = at + word.size();
      int64_t value = 0;
      size_t digits = 0;
      while (i < message.size() && message[i] >= u'0' && message[i] <= u'9' && digits < 9) {
        value = value * 10 + (message[i] - u'0');
        ++i;
        ++digits;
      }
      const bool word_start = at == 0 || !(message[at - 1] >= u'a' && message[at - 1] <= u'z');
      if (digits > 0 && value > 0 && word_start) return static_cast<int32_t>(value);
    }
  }
  return std::nullopt;
}

}  // namespace corvalen
