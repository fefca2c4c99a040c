#include "update/run_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/utf.h"
#include "platform/version_info.h"

namespace corvalen {
namespace {

// Text for JSON: UTF-8, a byte of a name that was not UTF-8 as U+FFFD.
std::string Text(const std::u16string& s) { return Utf16ToUtf8(s); }

// The document with DEL, the C1 controls and the bidirectional overrides
// and isolates as \u escapes (the serializer escapes only C0). Outside
// strings a JSON document holds ASCII only, so every such character is
// inside a string.
std::string EscapeInvisibles(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  char escape[8];
  for (size_t i = 0; i < json.size(); ++i) {
    const auto b = static_cast<unsigned char>(json[i]);
    unsigned code = 0;
    size_t length = 0;
    if (b == 0x7F) {
      code = 0x7F;
      length = 1;
    } else if (b == 0xC2 && i + 1 < json.size()) {
      const auto c = static_cast<unsigned char>(json[i + 1]);
      if (c >= 0x80 && c <= 0x9F) {
        code = c;
        length = 2;
      }
    } else if (b == 0xE2 && i + 2 < json.size()) {
      const unsigned c = (static_cast<unsigned char>(json[i + 1]) & 0x3F) << 6 |
                         (static_cast<unsigned char>(json[i + 2]) & 0x3F) | 0x2000;
      if (static_cast<unsigned char>(json[i + 1]) >= 0x80 &&
          ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))) {
        code = c;
        length = 3;
      }
    }
    if (length == 0) {
      out += json[i];
      continue;
    }
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
    i += length - 1;
  }
  return out;
}

}  // namespace

std::string IsoUtc(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto seconds = floor<std::chrono::seconds>(when);
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss<std::chrono::seconds> time{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string RunReportJson(const RunRecord& record, const RunReportInfo& info) {
  using nlohmann::ordered_json;
  ordered_json report;
  report["program"] = Text(VersionTitle());
  report["version"] = Text(VersionText());
  report["start"] = IsoUtc(info.start);
  report["end"] = IsoUtc(info.end);
  report["scripts_folder"] = Text(record.scripts_folder);
  report["config_file"] = Text(info.config_path);

  ordered_json scripts = ordered_json::array();
  for (const ScriptRecord& script : record.scripts) {
    ordered_json entry = {{"file", Text(script.file)},
                          {"category", Text(script.category)},
                          {"entity", Text(script.category)},
                          {"outcome", OutcomeName(script.outcome)},
                          {"partly_applied", script.partly_applied},
                          {"groups_sent", script.groups_sent},
                          {"duration_ms", script.duration_ms}};
    const std::u16string& why = script.outcome == ScriptOutcome::kNotRun && script.message.empty()
                                    ? record.end_cause
                                    : script.message;
    if (script.outcome == ScriptOutcome::kOk || why.empty()) {
      entry["message"] = nullptr;
    } else {
      entry["message"] = Text(why);
    }
    scripts.push_back(std::move(entry));
  }
  report["scripts"] = std::move(scripts);

  if (const auto& failure = record.failure) {
    ordered_json f = {{"script", Text(failure->script)}, {"piece_index", failure->piece_index}};
    if (failure->group) {
      f["pieces"] = {{"first", failure->group->first_piece}, {"last", failure->group->last_piece}};
      f["lines"] = {{"first", failure->group->lines.first}, {"last", failure->group->lines.last}};
      if (failure->group->file_line) f["line"] = *failure->group->file_line;
    }
    f["message"] = Text(failure->message);
    f["text"] = Text(failure->text);
    report["failure"] = std::move(f);
  } else if (!record.end_cause.empty()) {
    report["failure"] = {{"message", Text(record.end_cause)}};
  } else {
    report["failure"] = nullptr;
  }
  report["exit_code"] = info.exit_code;
  return EscapeInvisibles(report.dump(2) + "\n");
}

}  // namespace corvalen
