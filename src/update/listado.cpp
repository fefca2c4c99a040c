// ListarActualizacionesEnPantalla: the catalogue on screen.
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {

void ModMain::ListarActualizacionesEnPantalla(RunWindow& frm) {
  Procedure proc(kModuleModMain, u"ListarActualizacionesEnPantalla");
  WithErrorHandler(
      [&] {
        proc.At(10);
        const int32_t n = UpperBound();
        proc.At(20);
        frm.ListClear();
        proc.At(30);
        frm.SetStatusPrgCaption(u"Buscando actualizaciones ... ");
        proc.At(40);
        for (int32_t i = 1; i <= n; ++i) {
          proc.At(50);
          frm.ListAddItem(ListadoSql[static_cast<size_t>(i)].Archivo);
          proc.At(60);
          frm.SetStatusPrgCaption(u"Buscando actualizaciones " + ToDecimal(i) + u" de " +
                                  ToDecimal(n));
          proc.At(70);
          frm.SetProgressMax(static_cast<float>(i));
          proc.At(80);
        }
        proc.At(90);
        frm.DoEvents();
      },
      [&](const NumberedError& error) {
        run_record.end_cause = proc.Report(error.description());
        MainWindow().MessageBox(run_record.end_cause, VersionTitle(), MessageIcon::kExclamation);
        MainWindow().EndProgram(EndReason::kFailure);
      });
}

}  // namespace corvalen
