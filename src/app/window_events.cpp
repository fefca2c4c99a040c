#include "app/window_events.h"

#include <utility>

#include "app/resume_next.h"
#include "platform/path.h"
#include "update/exit_codes.h"

namespace corvalen {

WindowEvents::WindowEvents(ModMain& module, RunWindow& window, const CorvalenOptions& options,
                           std::function<void(int)> quit)
    : module_(module), window_(window), options_(options), quit_(std::move(quit)) {}

void WindowEvents::ShowErrorBox(const Procedure& proc, const NumberedError& error) {
  // The report's cause for every script the run did not reach.
  if (module_.run_record.end_cause.empty()) {
    module_.run_record.end_cause = proc.Report(error.description());
  }
  window_.MessageBox(proc.Report(error.description()), kApplicationErrorTitle,
                     MessageIcon::kExclamation);
}

void WindowEvents::Load(const std::function<void()>& show_version) {
  Procedure proc(kModuleWindow, u"Form_Load");
  try {
    RunResumingNext(
        proc,
        {
            {0,
             [&] {
               module_.CarpetaScripts =
                   options_.scripts_folder.empty() ? ProgramFolder() : options_.scripts_folder;
             }},
            {10, [&] { module_.ListadoSql.assign(1, ScriptSql{}); }},
            {20, show_version},
            {30, [&] { window_.DoEvents(); }},
        },
        [&](const NumberedError& error) { ShowErrorBox(proc, error); });
  } catch (const ProgramEnded& ended) {
    End(ended.reason);
  }
}

void WindowEvents::Activate() {
  if (activated_ || ended_) return;
  activated_ = true;
  running_ = true;
  Procedure proc(kModuleWindow, u"Form_Activate");
  try {
    RunResumingNext(proc,
                    {
                        {10, [&] { window_.DoEvents(); }},
                        {20,
                         [&] {
                           if (options_.run) {
                             options_.run(module_, window_);
                           } else {
                             module_.EjecutarActualizaciones(window_);
                           }
                         }},
                    },
                    [&](const NumberedError& error) { ShowErrorBox(proc, error); });
    running_ = false;
    // An Esc that came while a message box of the run was open.
    if (escape_pending_) End(EndReason::kEscape);
  } catch (const ProgramEnded& ended) {
    End(ended.reason);
  } catch (...) {
    // Nothing may leave through the toolkit's event dispatch; an unexpected
    // failure ends the program as a reported one would.
    End(EndReason::kFailure);
  }
  running_ = false;
}

void WindowEvents::EscapeReleased() {
  if (ended_ || module_.Finalizado != kTrue) return;
  if (running_) {
    // Inside the run: end it when the current pass of events returns, so
    // that the run unwinds through its own frames and not the toolkit's.
    escape_pending_ = true;
  } else {
    End(EndReason::kEscape);
  }
}

void WindowEvents::AfterEvents() {
  if (escape_pending_ && !ended_) {
    escape_pending_ = false;
    window_.EndProgram(EndReason::kEscape);
  }
}

void WindowEvents::End(EndReason reason) {
  if (ended_) return;
  ended_ = true;
  running_ = false;
  escape_pending_ = false;
  exit_code_ = ExitCodeFor(reason, module_.HuboErrores == kTrue);
  module_.ReleaseObjects();
  quit_(*exit_code_);
}

bool WindowEvents::CloseRequested() {
  // The run needs its window until it is over.
  if (running_) return false;
  // Closed by hand: never the event loop's plain 0.
  End(EndReason::kClosed);
  return true;
}

}  // namespace corvalen
