#include "console/console_program.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <new>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "console/console_window.h"
#include "db/quorvex_config.h"
#include "db/qv_main.h"
#include "platform/file_info.h"
#include "platform/file_write.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/terminal.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/exit_codes.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/program_end.h"
#include "check/script_check.h"
#include "check/scripts_folder_check.h"

namespace corvalen {
namespace {

// The scripts folder as the window's start-up keeps it: no trailing separator
// except for the root.
std::u16string WithoutTrailingSeparator(std::u16string folder) {
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
  return folder;
}

// A name or path as the console shows it: readable and on one line.
std::string Shown(const std::u16string& name) { return Utf16ToUtf8(EscapeControls(name)); }

// A text of several lines as the console shows it (see EscapeForTerminal).
std::string ShownText(const std::u16string& text) { return Utf16ToUtf8(EscapeForTerminal(text)); }

std::u16string ScriptPath(const ModMain& module, int32_t entry) {
  return module.CarpetaScripts + kPathSeparator + module.ListadoSql[static_cast<size_t>(entry)].Archivo;
}

void PrintCatalogue(const ModMain& module) {
  for (int32_t i = 1; i <= module.UpperBound(); ++i) {
    const ScriptSql& entry = module.ListadoSql[static_cast<size_t>(i)];
    std::printf("%d\t%s\t%s\n", i, Shown(entry.Categoria).c_str(), Shown(entry.Archivo).c_str());
  }
}

const char* LevelWord(FindingLevel level) { return level == FindingLevel::kError ? "error" : "nota"; }

// What the run would make of an entity: how it groups and reads its
// scripts, or the error that stops them.
struct EntityPlan {
  int32_t pieces_per_call = kDefaultPiecesPerCall;
  TextRules rules;
};

// The configuration --check judges entities by: --config, or the default
// file when it exists (none: SQL Server's rules, PiecesPerCall's default).
// A file that cannot be used is an error of its own, and the check goes on
// with the defaults.
std::unique_ptr<QVMain> CheckConfiguration(const ModMain& module, bool* errors) {
  const std::u16string path = module.ConfigPath();
  if (!module.ConfigPathOverride && KindOfFile(path) == FileKind::kMissing) return nullptr;
  auto component = std::make_unique<QVMain>();
  try {
    component->setParametersPath(path);
    component->LoadParameters();
    return component;
  } catch (const NumberedError& e) {
    std::printf("%s: error: %s\n", Shown(DisplayName(path)).c_str(),
                Shown(e.description()).c_str());
    *errors = true;
    return nullptr;
  }
}

// The entity's plan, asked of the component as the run asks it (it checks
// the section without connecting); what it refuses is an error, told once.
EntityPlan PlanOf(QVMain* component, const ModMain& module, const std::u16string& entity,
                  std::map<std::u16string, EntityPlan>* plans, bool* errors) {
  if (component == nullptr) return EntityPlan();
  if (auto it = plans->find(entity); it != plans->end()) return it->second;
  EntityPlan plan;
  try {
    if (component->getDataConnectionTAG(entity) == u"ACCESS") {
      // The run ends when it reaches the entity, before asking for more.
      std::printf("%s: nota: entidad %s: la etiqueta ACCESS termina la ejecución al llegar a sus "
                  "scripts\n",
                  Shown(DisplayName(module.ConfigPath())).c_str(), Shown(entity).c_str());
      return plans->emplace(entity, plan).first->second;
    }
    const std::unique_ptr<DataConnection> data = component->getDataConnectionByEntity(entity);
    if (data) {
      plan.pieces_per_call = data->PiecesPerCall();
      plan.rules.dialect = data->Dialect();
    }
  } catch (const NumberedError& e) {
    std::printf("%s: error: entidad %s: %s\n", Shown(DisplayName(module.ConfigPath())).c_str(),
                Shown(entity).c_str(), Shown(e.description()).c_str());
    *errors = true;
  }
  return plans->emplace(entity, plan).first->second;
}

// --check: every script of the catalogue read, cut and grouped as the run
// would, with its calls' lines and its findings; then the folder's. Returns
// the exit code: kExitFindings when an error was found.
int CheckCatalogue(const ModMain& module) {
  bool errors = false;
  const std::unique_ptr<QVMain> component = CheckConfiguration(module, &errors);
  std::map<std::u16string, EntityPlan> plans;
  for (int32_t i = 1; i <= module.UpperBound(); ++i) {
    const ScriptSql& entry = module.ListadoSql[static_cast<size_t>(i)];
    const std::u16string path = ScriptPath(module, i);
    const EntityPlan plan = PlanOf(component.get(), module, entry.Categoria, &plans, &errors);
    ScriptCheck check;
    try {
      check = CheckScript(path, plan.pieces_per_call, plan.rules);
    } catch (const std::bad_alloc&) {
      check.findings.push_back({0, FindingLevel::kError, u"no cabe en la memoria disponible"});
    }
    const size_t pieces = check.pieces > 0 ? check.pieces - 1 : 0;
    std::printf("%s: %zu %s, %zu %s\n", Shown(entry.Archivo).c_str(), pieces,
                pieces == 1 ? "pieza" : "piezas", check.groups.size(),
                check.groups.size() == 1 ? "llamada" : "llamadas");
    for (size_t g = 0; g < check.groups.size(); ++g) {
      std::printf("  llamada %zu: líneas %d-%d\n", g + 1, check.groups[g].first, check.groups[g].last);
    }
    for (const Finding& finding : check.findings) {
      if (finding.line > 0) {
        std::printf("%s:%d: %s: %s\n", Shown(path).c_str(), finding.line, LevelWord(finding.level),
                    Shown(finding.text).c_str());
      } else {
        std::printf("%s: %s: %s\n", Shown(path).c_str(), LevelWord(finding.level),
                    Shown(finding.text).c_str());
      }
      errors = errors || finding.level == FindingLevel::kError;
    }
  }
  for (const FolderFinding& finding : CheckScriptsFolder(module.CarpetaScripts, module.ListadoSql)) {
    const std::u16string where =
        finding.name.empty() ? module.CarpetaScripts : module.CarpetaScripts + kPathSeparator + finding.name;
    std::printf("%s: %s: %s\n", Shown(where).c_str(), LevelWord(finding.level),
                Shown(finding.text).c_str());
    errors = errors || finding.level == FindingLevel::kError;
  }
  std::fflush(stdout);
  return errors ? kExitFindings : kExitCompleted;
}

// "Script: <path>, líneas A-B (grupo de piezas i..j)" for a failed script.
std::u16string FailureLocation(const FailureRecord& failure) {
  std::u16string text = u"Script: " + failure.script;
  if (const auto& group = failure.group) {
    text += u", líneas " + ToDecimal(group->lines.first) + u"-" + ToDecimal(group->lines.last) +
            u" (grupo de piezas " + ToDecimal(static_cast<long long>(group->first_piece)) + u".." +
            ToDecimal(static_cast<long long>(group->last_piece)) + u")";
    if (group->file_line) text += u", línea " + ToDecimal(*group->file_line);
  }
  return text;
}

std::u16string FailureLocation(const RunRecord& record) {
  return record.failure ? FailureLocation(*record.failure) : std::u16string();
}

// A usage error as the console says it: CLI11's own texts are English, so
// each kind of error it raises is told in words of our own.
std::string UsageMessage(const CLI::Error& error) {
  const std::string what = error.what();
  std::string text;
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    const size_t colon = what.find(": ");
    text = "Argumento no esperado: " + (colon == std::string::npos ? what : what.substr(colon + 2));
  } else if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
    // "--a excludes --b"
    const size_t at = what.find(" excludes ");
    text = at == std::string::npos
               ? what
               : what.substr(0, at) + " no se puede usar junto con " + what.substr(at + 10);
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    // "--name: ..."
    text = what.substr(0, what.find(':')) + ": falta su valor o sobra alguno";
  } else {
    text = "Error en la línea de órdenes: " + what;
  }
  return text + "\nUse --help para ver las opciones.\n";
}

// A failure the run's (or the rehearsal's) own handler could not handle:
// told, every object given up (an open transaction is rolled back), and
// the program's end.
int UnhandledFailure(ModMain& module, ConsoleWindow& window, const NumberedError& error) {
  module.run_record.end_cause = error.description();
  window.MessageBox(error.description(), kApplicationErrorTitle, MessageIcon::kExclamation);
  module.ReleaseObjects();
  window.FinishAbruptEnd(EndReason::kFailure, u"");
  return kExitFailure;
}

// The run itself; returns its exit code.
int RunUpdate(ModMain& module, ConsoleWindow& window) {
  try {
    try {
      module.EjecutarActualizaciones(window);
    } catch (const NumberedError& error) {
      return UnhandledFailure(module, window, error);
    }
    return module.HuboErrores == kTrue ? kExitWithErrors : kExitCompleted;
  } catch (const ProgramEnded& end) {
    // Give up every object first: an open transaction is rolled back, never committed.
    module.ReleaseObjects();
    window.FinishAbruptEnd(end.reason, FailureLocation(module.run_record));
    return ExitCodeFor(end.reason, module.HuboErrores == kTrue);
  }
}

// The rehearsal; returns its exit code: 2 when a script would fail or an
// entity's rehearsal had to stop, else 1 when an entity could not be
// connected, else 0. Each failure's place and text follow its message.
int RehearseUpdate(ModMain& module, ConsoleWindow& window) {
  std::printf("ENSAYO: cada script se ejecuta y se deshace al terminar su entidad; no se aplica "
              "nada.\n");
  std::fflush(stdout);
  module.AlFallarEnEnsayo = [](const FailureRecord& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", Shown(FailureLocation(failure)).c_str());
    if (!failure.text.empty()) std::fprintf(stderr, "%s\n", ShownText(failure.text).c_str());
    std::fflush(stderr);
  };
  try {
    ResultadoEnsayo result;
    try {
      result = module.EnsayarActualizaciones(window);
    } catch (const NumberedError& error) {
      return UnhandledFailure(module, window, error);
    }
    if (result.fallarian > 0 || result.entidad_detenida) return kExitScriptFailed;
    return module.HuboErrores == kTrue ? kExitWithErrors : kExitCompleted;
  } catch (const ProgramEnded& end) {
    // Give up every object first: the open transaction is rolled back.
    module.ReleaseObjects();
    window.FinishAbruptEnd(end.reason, u"");
    return ExitCodeFor(end.reason, module.HuboErrores == kTrue);
  }
}

}  // namespace

int RunConsoleProgram(int argc, char** argv) {
  CLI::App app("Pone al día las bases de datos de la aplicación ejecutando los scripts SQL de "
               "actualización de una carpeta, cada script en una transacción.",
               "corvalensql-cli");
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("Excludes", "Excluye");
  formatter->label("Needs", "Necesita");
  formatter->label("REQUIRED", "OBLIGATORIA");
  app.option_defaults()->group("Opciones");
  app.set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  std::string scripts;
  std::string config;
  std::string report;
  bool list_only = false;
  bool check_only = false;
  bool rehearse = false;
  app.add_option("--scripts", scripts,
                 "Carpeta que contiene los scripts (por omisión: la carpeta del programa)")
      ->type_name("CARPETA");
  app.add_option("--config", config,
                 "Archivo de configuración del componente de acceso a datos (por omisión: "
                 "$ProgramFiles/Marvento/quorvexconfig.ini)")
      ->type_name("ARCHIVO");
  auto* list = app.add_flag("--list", list_only,
                            "Muestra el catálogo de scripts y termina; no toca ninguna base de datos");
  auto* check = app.add_flag("--check", check_only,
                             "Lee y corta cada script como lo haría una ejecución y cuenta cómo, con "
                             "lo que conviene revisar; no toca ninguna base de datos");
  app.add_option("--report", report, "Escribe al terminar un informe JSON de la ejecución en ARCHIVO")
      ->type_name("ARCHIVO")
      ->excludes(list)
      ->excludes(check);
  list->excludes(check);
  app.add_flag("--rehearse", rehearse,
               "Ensaya la actualización en las bases de datos: ejecuta cada script como una "
               "ejecución y lo deshace todo; no aplica nada")
      ->excludes(list)
      ->excludes(check);
  app.set_version_flag("--version", Utf16ToUtf8(VersionTitle()),
                       "Muestra la versión del programa y termina");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // Its text repeats the arguments: escaped, like every text printed.
    std::fprintf(stderr, "%s", ShownText(Utf8ToUtf16(UsageMessage(e))).c_str());
    return kExitUsage;
  }

  // Names as the system gave them, byte for byte, even when not UTF-8.
  const std::u16string scripts_folder = WithoutTrailingSeparator(NativeToUtf16(scripts));
  if (!scripts.empty() && !IsFolder(scripts_folder)) {
    std::fprintf(stderr, "--scripts: %s no es una carpeta\n", Shown(DisplayName(scripts_folder)).c_str());
    return kExitUsage;
  }
  const std::u16string report_path = NativeToUtf16(report);
  ProgramEnd end(report.empty() ? std::nullopt : std::optional<std::u16string>(report_path),
                 [](const std::u16string& text) {
                   std::fflush(stdout);
                   std::fprintf(stderr, "%s\n", ShownText(text).c_str());
                 });

  ConsoleWindow window(stdout, stderr, StandardErrorIsTerminal());
  ModMain module(window, QVMainFactory());
  module.CarpetaScripts = scripts.empty() ? ProgramFolder() : scripts_folder;
  if (!config.empty()) module.ConfigPathOverride = NativeToUtf16(config);
  if (const std::u16string refusal = end.ReportRefusal(module.CarpetaScripts, module.ConfigPath());
      !refusal.empty()) {
    std::fprintf(stderr, "--report: %s %s\n", Shown(DisplayName(report_path)).c_str(),
                 Shown(refusal).c_str());
    return kExitUsage;
  }

  if (list_only || check_only) {
    try {
      module.ObtenerListadoSql();
    } catch (const ProgramEnded& end) {
      window.FinishAbruptEnd(end.reason, u"");
      return ExitCodeFor(end.reason, false);
    }
    if (list_only) {
      PrintCatalogue(module);
      return kExitCompleted;
    }
    return CheckCatalogue(module);
  }

  // A batch given up by its watchdog: the run's thread is still blocked in
  // it, so the console is this thread's to write on.
  end.EndGivenUpBatches(module, [&](const std::u16string& description) {
    for (size_t k = 0; k < module.run_record.scripts.size(); ++k) {
      if (module.run_record.scripts[k].outcome == ScriptOutcome::kFailed) {
        Attempt([&] { AppendToListLine(window, static_cast<int32_t>(k), kOutcomeError); });
      }
    }
    window.MessageBox(description, u"\u00A1Atencion!", MessageIcon::kCritical);
    window.FinishAbruptEnd(EndReason::kScriptFailed, FailureLocation(module.run_record));
  });
  const int code = rehearse ? RehearseUpdate(module, window) : RunUpdate(module, window);
  return end.Finish(module.run_record, module.ConfigPath(), code);
}

}  // namespace corvalen
