// What the program gives its window, the same for the Qt and the Win32 one.
#ifndef CORVALEN_APP_WINDOW_OPTIONS_H_
#define CORVALEN_APP_WINDOW_OPTIONS_H_

#include <functional>
#include <string>

#include "update/mod_main.h"
#include "update/run_window.h"

namespace corvalen {

// The update run started by the first activation.
using UpdateRun = std::function<void(ModMain& module, RunWindow& window)>;

struct CorvalenOptions {
  // The scripts folder; empty: the folder that holds the program.
  std::u16string scripts_folder;
  // The data-access component's configuration file; empty: its usual place.
  std::u16string config_path;
  // The run; empty: ModMain::EjecutarActualizaciones.
  UpdateRun run;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_WINDOW_OPTIONS_H_
