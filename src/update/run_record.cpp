#include "update/run_record.h"

namespace corvalen {

std::string_view OutcomeName(ScriptOutcome outcome, RunMode mode) {
  if (mode == RunMode::kRehearsal) {
    switch (outcome) {
      case ScriptOutcome::kOk: return "would-apply";
      case ScriptOutcome::kFailed: return "would-fail";
      case ScriptOutcome::kNotRun: return "not-rehearsed";
      default: break;
    }
  }
  switch (outcome) {
    case ScriptOutcome::kOk: return "ok";
    case ScriptOutcome::kError: return "error";
    case ScriptOutcome::kFailed: return "failed";
    case ScriptOutcome::kSkipped: return "skipped";
    case ScriptOutcome::kNotRun: break;
  }
  return "not-run";
}

std::string_view ModeName(RunMode mode) {
  return mode == RunMode::kRehearsal ? "rehearsal" : "run";
}

ScriptRecord* RunRecord::AtLine(int32_t line) {
  if (line < 0 || static_cast<size_t>(line) >= scripts.size()) return nullptr;
  return &scripts[static_cast<size_t>(line)];
}

namespace {

// The number of digits at `i`, read into `value` (0 digits: none there).
size_t ReadNumber(std::u16string_view text, size_t i, int64_t& value) {
  size_t digits = 0;
  value = 0;
  while (i + digits < text.size() && text[i + digits] >= u'0' && text[i + digits] <= u'9' &&
         digits < 9) {
    value = value * 10 + (text[i + digits] - u'0');
    ++digits;
  }
  return digits;
}

}  // namespace

std::optional<int32_t> BatchLineInMessage(std::u16string_view message, int32_t batch_lines) {
  // The driver's field: ", Line N" at the end of a record's line (a failed
  // rollback's note may follow the last one).
  constexpr std::u16string_view kField = u", Line ";
  for (size_t at = message.find(kField); at != std::u16string_view::npos;
       at = message.find(kField, at + 1)) {
    int64_t value = 0;
    const size_t end = at + kField.size() + ReadNumber(message, at + kField.size(), value);
    const std::u16string_view rest = message.substr(end);
    if (value > 0 && (rest.empty() || rest[0] == u'\r' || rest[0] == u'\n' ||
                      rest.starts_with(u" (RollbackTrans: "))) {
      return static_cast<int32_t>(value);
    }
  }
  // PostgreSQL writes "LINE 3:", SQL Server "Line 3", the connections' own
  // messages "línea 3".
  for (std::u16string_view word : {u"LINE ", u"Line ", u"line ", u"l\u00EDnea "}) {
    for (size_t at = message.find(word); at != std::u16string_view::npos;
         at = message.find(word, at + 1)) {
      int64_t value = 0;
      const size_t digits = ReadNumber(message, at + word.size(), value);
      const bool word_start = at == 0 || !(message[at - 1] >= u'a' && message[at - 1] <= u'z');
      if (digits > 0 && value > 0 && value <= batch_lines && word_start) {
        return static_cast<int32_t>(value);
      }
    }
  }
  return std::nullopt;
}

}  // namespace corvalen
