#include "update/mod_main.h"

#include <limits>
#include <utility>

#include "platform/path.h"
#include "update/procedure.h"

namespace corvalen {

ModMain::ModMain(RunWindow& main_window, ComponentFactory crear_componente)
    : ListadoSql(1), main_window_(main_window), crear_componente_(std::move(crear_componente)) {}

ModMain::~ModMain() { ReleaseObjects(); }

void ModMain::ReleaseObjects() {
  oComando.reset();
  oConexion.reset();
  oComponente.reset();
}

std::u16string ModMain::ConfigPath() const {
  if (ConfigPathOverride) return *ConfigPathOverride;
  // Where installations keep it: a 64-bit build on Windows looks where the
  // original 32-bit program did.
  std::u16string folder = ProgramFilesFolder();
  folder += kPathSeparator;
  folder += u"Marvento";
  folder += kPathSeparator;
  return folder + u"quorvexconfig.ini";
}

std::u16string ModMain::WithRollbackOutcome(std::u16string description) {
  if (auto failed = Attempt([&] { Required(oConexion).RollbackTrans(); })) {
    description += u" (RollbackTrans: " + failed->description() + u")";
  }
  return description;
}

int16_t ToListIndex(int32_t index) {
  if (index < std::numeric_limits<int16_t>::min() || index > std::numeric_limits<int16_t>::max()) {
    throw NumberedError(kErrOverflow);
  }
  return static_cast<int16_t>(index);
}

void AppendToListLine(RunWindow& window, int32_t index, std::u16string_view piece) {
  window.AppendToListItem(ToListIndex(index), piece);
}

}  // namespace corvalen
