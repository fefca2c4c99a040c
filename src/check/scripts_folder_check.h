// What the run will make of the scripts folder as a whole: the .sql files it
// will not take, and an order of the scripts their names do not show.
#ifndef CORVALEN_CHECK_SCRIPTS_FOLDER_CHECK_H_
#define CORVALEN_CHECK_SCRIPTS_FOLDER_CHECK_H_

#include <string>
#include <vector>

#include "update/mod_main.h"
#include "check/script_check.h"

namespace corvalen {

struct FolderFinding {
  std::u16string name;  // the file's name in the folder; empty for the folder itself
  FindingLevel level;
  std::u16string text;  // Spanish
};

// Errors, for the folder `folder` whose catalogue is `catalogue` (element 0
// empty, as ObtenerListadoSql leaves it): a .sql file whose name starts with
// no category and an underscore; a file named like a script that is a
// dangling link, a folder or no regular file; within a category, a script
// whose number after the underscore (without zero padding) is smaller than
// that of the script that runs before it (CATALOGOS_10 runs before
// CATALOGOS_2); more than 32,767 scripts. Never raises.
std::vector<FolderFinding> CheckScriptsFolder(const std::u16string& folder,
                                              const std::vector<ScriptSql>& catalogue);

}  // namespace corvalen

#endif  // CORVALEN_CHECK_SCRIPTS_FOLDER_CHECK_H_
