// EstablecerEntidad: the entity's connection from the data-access component.
#include "platform/version_info.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {

bool ModMain::EstablecerEntidad(const std::u16string& entidad) {
  Procedure proc(kModuleModMain, u"EstablecerEntidad");
  return WithErrorHandler(
      [&]() -> bool {
        proc.At(10);
        {
          // A component that cannot be made leaves the previous instance in
          // place; a new one replaces (and releases) it.
          if (!crear_componente_) throw NumberedError(kErrCannotCreateObject);
          std::shared_ptr<DataAccessComponent> nuevo = crear_componente_();
          if (!nuevo) throw NumberedError(kErrCannotCreateObject);
          oComponente = std::move(nuevo);
        }
        proc.At(20);
        const std::u16string ruta = ConfigPath();
        proc.At(30);
        Required(oComponente).setParametersPath(ruta);
        proc.At(40);
        Required(oComponente).LoadParameters();
        proc.At(50);
        if (Required(oComponente).getDataConnectionTAG(entidad) == u"ACCESS") {
          proc.At(60);
          run_record.end_cause = u"La entidad " + entidad +
                                 u" tiene la etiqueta ACCESS: el programa terminó sin ejecutar "
                                 u"más scripts.";
          MainWindow().EndProgram(EndReason::kAccessTag);
        }
        proc.At(70);
        oComando.reset();
        proc.At(80);
        // Gives the previous entity's connection up; the caller has finished
        // its transactions, and an open one would be rolled back.
        oConexion.reset();
        proc.At(90);
        {
          std::unique_ptr<DataConnection> datos =
              Required(oComponente).getDataConnectionByEntity(entidad);
          if (!datos) throw NumberedError(kErrObjectNotSet);
          std::shared_ptr<Connection> conexion = datos->GetAssemblyConnection();
          PiezasPorLlamada = datos->PiecesPerCall();
          DialectoEntidad = datos->Dialect();
          datos.reset();
          // Something that is not a connection cannot stand in oConexion.
          if (!conexion) throw NumberedError(kErrObjectNotSet);
          oConexion = std::move(conexion);
        }
        proc.At(100);
        oComando = std::make_shared<Command>();
        Required(oConexion);
        oComando->ActiveConnection = oConexion;
        proc.At(110);
        return true;
      },
      [&](const NumberedError& error) {
        error_entidad_ = error.description();
        MainWindow().MessageBox(
            proc.Report(error.description() + u"Entidad buscada:" + entidad), VersionTitle(),
            MessageIcon::kExclamation);
        return false;
      });
}

}  // namespace corvalen
