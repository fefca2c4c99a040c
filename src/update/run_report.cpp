#include "update/run_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/utf.h"
#include "platform/version_info.h"

namespace corvalen {
namespace {

// Text for JSON: UTF-8, a byte of a name that was not UTF-8 as U+FFFD.
std::string Text(const std::u16string& s) { return Utf16ToUtf8(s); }

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

std::string RunReportJson(const ModMain& module, const RunReportInfo& info) {
  using nlohmann::ordered_json;
  ordered_json report;
  report["program"] = Text(VersionTitle());
  report["version"] = Text(VersionText());
  report["start"] = IsoUtc(info.start);
  report["end"] = IsoUtc(info.end);
  report["scripts_folder"] = Text(module.CarpetaScripts);
  report["config_file"] = Text(info.config_path);

  ordered_json scripts = ordered_json::array();
  const auto& records = module.run_record.scripts;
  for (int32_t i = 1; i <= module.UpperBound(); ++i) {
    const ScriptSql& entry = module.ListadoSql[static_cast<size_t>(i)];
    const ScriptRecord record =
        static_cast<size_t>(i) <= records.size() ? records[static_cast<size_t>(i) - 1] : ScriptRecord{};
    scripts.push_back({{"file", Text(entry.Archivo)},
                       {"category", Text(entry.Categoria)},
                       {"entity", Text(entry.Categoria)},
                       {"outcome", OutcomeName(record.outcome)},
                       {"groups_sent", record.groups_sent},
                       {"duration_ms", record.duration_ms}});
  }
  report["scripts"] = std::move(scripts);

  if (const auto& failure = module.run_record.failure) {
    ordered_json f = {{"script", Text(failure->script)}, {"piece_index", failure->piece_index}};
    if (failure->group) {
      f["pieces"] = {{"first", failure->group->first_piece}, {"last", failure->group->last_piece}};
      f["lines"] = {{"first", failure->group->lines.first}, {"last", failure->group->lines.last}};
      if (failure->group->file_line) f["line"] = *failure->group->file_line;
    }
    f["message"] = Text(failure->message);
    f["text"] = Text(failure->text);
    report["failure"] = std::move(f);
  } else {
    report["failure"] = nullptr;
  }
  report["exit_code"] = info.exit_code;
  return report.dump(2) + "\n";
}

}  // namespace corvalen
