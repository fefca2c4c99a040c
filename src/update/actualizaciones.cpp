// EjecutarActualizaciones: the whole update run.
#include "update/mod_main.h"

namespace corvalen {

void ModMain::EjecutarActualizaciones(RunWindow& frm) {
  ObtenerListadoSql();
  ListarActualizacionesEnPantalla(frm);
}

}  // namespace corvalen
