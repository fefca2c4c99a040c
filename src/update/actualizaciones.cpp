// EjecutarActualizaciones: the whole update run.
#include <array>
#include <set>

#include "platform/path.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

constexpr char16_t kCaptionErrors[] = u"Se han producido errores , pulse [Esc] para salir.";
constexpr char16_t kCaptionCompleted[] =
    u"Actualizacion completada, esta ventana se cerrará automaticamente.";
constexpr int32_t kClosingPauseMs = 3000;

std::u16string ConnectionFailureText(const std::u16string& entidad, const std::u16string& archivo) {
  return u"Error estableciendo conexion con la entidad " + entidad + u" en el archivo " + archivo +
         u" verifique que tiene acceso a la base de datos o el archivo quorvex se encuentre bien "
         u"configurado. Se omitira las actualizaciones para esta entidad";
}

}  // namespace

int32_t ModMain::PrepararCatalogo(RunWindow& frm, Procedure& proc) {
  proc.At(10);
  ObtenerListadoSql();
  proc.At(20);
  ListarActualizacionesEnPantalla(frm);
  proc.At(30);
  const int32_t n = UpperBound();
  run_record.scripts_folder = CarpetaScripts;
  run_record.scripts.assign(static_cast<size_t>(n), ScriptRecord{});
  for (size_t k = 1; k <= static_cast<size_t>(n); ++k) {
    run_record.scripts[k - 1].file = ListadoSql[k].Archivo;
    run_record.scripts[k - 1].category = ListadoSql[k].Categoria;
  }
  return n;
}

void ModMain::SetOutcome(int32_t line, ScriptOutcome outcome, const std::u16string& message) {
  if (ScriptRecord* record = run_record.AtLine(line)) {
    record->outcome = outcome;
    record->message = message;
  }
}

void ModMain::EjecutarActualizaciones(RunWindow& frm) {
  Procedure proc(kModuleModMain, u"EjecutarActualizaciones");
  WithErrorHandler(
      [&] {
        std::u16string EntidadActual;
        // Entities whose connection failed: their further scripts are skipped
        // without another attempt, as the failure box announces.
        std::set<std::u16string> entidades_fallidas;
        // Whether oConexion is the live connection of EntidadActual. It is not
        // after a failed attempt, so no transaction is begun on it then.
        bool conexion_vigente = false;

        // The box, the line's outcome and the flag; `statements` are the
        // numbers of these three steps on the path that failed.
        auto connection_failed = [&](const std::u16string& entidad, int32_t line_index,
                                     const std::u16string& archivo,
                                     std::array<int32_t, 3> statements) {
          proc.At(statements[0]);
          MainWindow().MessageBox(ConnectionFailureText(entidad, archivo), VersionTitle(),
                                  MessageIcon::kCritical);
          proc.At(statements[1]);
          AppendToListLine(frm, line_index, kOutcomeError);
          proc.At(statements[2]);
          HuboErrores = kTrue;
          SetOutcome(line_index, ScriptOutcome::kError, error_entidad_);
          entidades_fallidas.insert(entidad);
          conexion_vigente = false;
        };
        auto prepare_command = [&] {
          if (!oComando) oComando = std::make_shared<Command>();
          oComando->CommandType = kCmdText;
        };
        // Runs the script inside the open transaction, commits it, gives the
        // command up and marks the line; `statements` number these four steps
        // on the path taken.
        auto run_and_commit = [&](const std::u16string& ruta, int32_t line_index,
                                  std::array<int32_t, 4> statements) {
          proc.At(statements[0]);
          EjecutarScript(ruta, line_index);
          proc.At(statements[1]);
          ConfirmarScript(ruta, line_index);
          proc.At(statements[2]);
          oComando.reset();
          proc.At(statements[3]);
          AppendToListLine(frm, line_index, kOutcomeOk);
          SetOutcome(line_index, ScriptOutcome::kOk);
        };

        const int32_t n = PrepararCatalogo(frm, proc);
        proc.At(40);
        for (int32_t i = 1; i <= n; ++i) {
          const ScriptSql& entry = ListadoSql[static_cast<size_t>(i)];
          const std::u16string& Categoria = entry.Categoria;
          const std::u16string RutaScript = CarpetaScripts + kPathSeparator + entry.Archivo;
          const int32_t linea = i - 1;

          proc.At(50);
          frm.SetStatusPrgCaption(u"Ejecutando actualización " + ToDecimal(i) + u" de " +
                                  ToDecimal(n));
          proc.At(60);
          frm.SetListIndex(ToListIndex(linea));
          proc.At(70);
          if (entidades_fallidas.count(Categoria) != 0) {
            AppendToListLine(frm, linea, kOutcomeError);
            SetOutcome(linea, ScriptOutcome::kSkipped,
                       u"No se ejecutó: no se pudo conectar con la entidad " + Categoria + u".");
          } else if (EntidadActual.empty()) {
            // First connection of the run.
            proc.At(80);
            EntidadActual = Categoria;
            proc.At(90);
            if (!EstablecerEntidad(Categoria)) {
              connection_failed(EntidadActual, linea, entry.Archivo, {100, 110, 120});
            } else {
              conexion_vigente = true;
              proc.At(130);
              AppendToListLine(frm, linea, kFirstConnectionMark);
              proc.At(140);
              Required(oConexion).BeginTrans();
              proc.At(150);
              prepare_command();
              run_and_commit(RutaScript, linea, {160, 190, 200, 210});
            }
          } else {
            proc.At(220);
            if (conexion_vigente) Required(oConexion).BeginTrans();
            proc.At(230);
            if (conexion_vigente && Categoria == EntidadActual) {
              run_and_commit(RutaScript, linea, {240, 260, 270, 280});
            } else {
              // Entity change: close the empty transaction on the previous
              // entity's connection, then connect the new entity.
              proc.At(290);
              if (conexion_vigente) Required(oConexion).CommitTrans();
              proc.At(300);
              if (!EstablecerEntidad(Categoria)) {
                connection_failed(Categoria, linea, entry.Archivo, {300, 300, 300});
              } else {
                conexion_vigente = true;
                proc.At(310);
                EntidadActual = Categoria;
                proc.At(320);
                Required(oConexion).BeginTrans();
                proc.At(330);
                prepare_command();
                run_and_commit(RutaScript, linea, {340, 360, 370, 380});
              }
            }
          }
          proc.At(390);
          frm.ScriptEnded(ToListIndex(linea));
          frm.SetProgressValue(static_cast<float>(i));
          frm.DoEvents();
        }
        proc.At(400);
        Finalizado = kTrue;
        proc.At(410);
        if (HuboErrores == kTrue) {
          proc.At(420);
          MainWindow().SetStatusCaption(kCaptionErrors);
          return;
        }
        proc.At(420);
        MainWindow().SetStatusCaption(kCaptionCompleted);
        MainWindow().DoEvents();
        MainWindow().Pause(kClosingPauseMs);
        proc.At(430);
        MainWindow().EndProgram(EndReason::kCompleted);
      },
      [&](const NumberedError& error) {
        // The failure is reported with its own statement even when there is
        // nothing to roll back (a BEGIN that met a locked database, a list
        // index past 16 bits); a failed rollback is added to it.
        const std::u16string description = WithRollbackOutcome(error.description());
        run_record.end_cause = proc.Report(description);
        Attempt([&] {
          MainWindow().MessageBox(proc.Report(description), VersionTitle(),
                                  MessageIcon::kExclamation);
        });
        MainWindow().EndProgram(EndReason::kFailure);
      });
}

}  // namespace corvalen
