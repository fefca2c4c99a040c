// EnsayarActualizaciones: the update rehearsed on the real databases, every
// script run through EjecutarScript and nothing kept.
#include <optional>
#include <set>

#include "db/command_watchdog.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

constexpr char16_t kNotRehearsed[] = u" no ensayado.";
constexpr char16_t kAfterFailed[] = u" (ensayado después de uno fallido)";
// What SQLite's commit says of a deferred foreign-key violation.
constexpr char16_t kDeferredViolations[] = u"FOREIGN KEY constraint failed";

constexpr char16_t kLevelLost[] =
    u"El ensayo no pudo volver a su propio nivel de transacción.";
// More levels than a script opens: the bound of the loop that lowers them.
constexpr int kMaxScriptLevels = 1000;

// The savepoint each script starts at.
std::u16string SavepointText(Dialect dialect) {
  return dialect == Dialect::kSqlServer ? u"SAVE TRANSACTION corvalen_ensayo"
                                        : u"SAVEPOINT corvalen_ensayo";
}

// A time-out's text, of a batch or of the transaction's check, starts so
// (db/command_watchdog.h).
bool IsTimeout(const std::u16string& message) {
  const std::u16string prefix = CommandTimeoutText(0).substr(0, 28);
  return message.compare(0, prefix.size(), prefix) == 0;
}

std::u16string Count(int32_t n, const char16_t* one, const char16_t* many) {
  return ToDecimal(n) + u" " + (n == 1 ? one : many);
}

std::u16string LastLine(const ResultadoEnsayo& r) {
  std::u16string text = u"Ensayo terminado: " +
                        Count(r.aplicarian, u"script se aplicaría", u"scripts se aplicarían") +
                        u", " + Count(r.fallarian, u"fallaría", u"fallarían") + u", " +
                        Count(r.no_ensayados, u"no se ensayó", u"no se ensayaron") + u". ";
  text += r.puede_haber_quedado
              ? u"Atención: lo que el ensayo ejecutó puede haber quedado aplicado (ver los "
                u"mensajes)."
              : u"Nada quedó aplicado.";
  return text;
}

}  // namespace

void ModMain::EmpezarEnsayoDeEntidad() {
  Connection& conexion = Required(oConexion);
  conexion.BeginTrans();
  // On SQL Server (whose run's transaction has implicit transactions on) a
  // level of the rehearsal's own beneath the scripts: a script's unbalanced
  // COMMIT only lowers the count.
  if (DialectoEntidad == Dialect::kSqlServer) {
    conexion.Execute(u"BEGIN TRANSACTION");
    if (conexion.CheckTransaction() != TransactionState::kNested) {
      throw NumberedError(kErrDatabase, kLevelLost);
    }
  }
}

void ModMain::TerminarEnsayoDeEntidad() {
  // Whatever happened, the entity's work is rolled back; a rollback that
  // fails leaves the transaction to the connection's release, which rolls
  // it back too.
  Attempt([&] { Required(oConexion).RollbackTrans(); });
  oComando.reset();
  oConexion.reset();
}

bool ModMain::VolverAlPuntoDeGuardado() {
  if (transaccion_terminada_) return false;
  Connection& conexion = Required(oConexion);
  return !Attempt([&] {
    if (DialectoEntidad != Dialect::kSqlServer) {
      conexion.Execute(u"ROLLBACK TO SAVEPOINT corvalen_ensayo; RELEASE SAVEPOINT corvalen_ensayo");
      if (conexion.CheckTransaction() != TransactionState::kIntact) {
        throw NumberedError(kErrDatabase, kLevelLost);
      }
      return;
    }
    // NOEXEC first, since under it nothing else would run. XACT_ABORT needs
    // no restoring: a failure under it has ended the transaction, and with
    // it the entity's rehearsal. Then the script's own levels, each COMMIT
    // above the driver's level lowering the count only, and the rehearsal's
    // own level again.
    conexion.Execute(
        u"SET NOEXEC OFF\r\nSET IMPLICIT_TRANSACTIONS ON\r\nROLLBACK TRANSACTION corvalen_ensayo");
    TransactionState estado = conexion.CheckTransaction();
    for (int k = 0; estado == TransactionState::kNested && k < kMaxScriptLevels; ++k) {
      conexion.Execute(u"COMMIT TRANSACTION");
      estado = conexion.CheckTransaction();
    }
    if (estado != TransactionState::kIntact) throw NumberedError(kErrDatabase, kLevelLost);
    conexion.Execute(u"BEGIN TRANSACTION");
    if (conexion.CheckTransaction() != TransactionState::kNested) {
      throw NumberedError(kErrDatabase, kLevelLost);
    }
  });
}

void ModMain::ComprobarRestriccionesDiferidas() {
  Connection& conexion = Required(oConexion);
  // Checked as a commit would check them. PostgreSQL's check runs at a
  // savepoint rolled back afterwards, which puts the constraints' modes
  // back as the next script would find them in a run.
  if (DialectoEntidad == Dialect::kPostgresql) {
    conexion.Execute(
        u"SAVEPOINT corvalen_comprobacion; SET CONSTRAINTS ALL IMMEDIATE; "
        u"ROLLBACK TO SAVEPOINT corvalen_comprobacion; RELEASE SAVEPOINT corvalen_comprobacion");
  }
  if (conexion.DeferredViolations() > 0) throw NumberedError(kErrDatabase, kDeferredViolations);
}

bool ModMain::EnsayarScript(const std::u16string& ruta, int32_t linea, bool tras_fallido,
                            ResultadoEnsayo& resultado) {
  Connection& conexion = Required(oConexion);
  bool seguir = true;
  codigo_oculto_ = false;
  try {
    // Each script starts in the entity's own database, as in a run.
    conexion.RestoreDatabase();
    conexion.Execute(SavepointText(DialectoEntidad));
    EjecutarScript(ruta, linea);
    // Where a run would commit: refused like a refused commit.
    WithErrorHandler(
        [&] {
          ComprobarRestriccionesDiferidas();
          if (DialectoEntidad != Dialect::kSqlServer) {
            conexion.Execute(u"RELEASE SAVEPOINT corvalen_ensayo");
          }
        },
        [&](const NumberedError& error) {
          FallaScript(ruta, linea, piezas_del_script_, kCommitFailed + error.description(), u"",
                      u"", {}, nullptr);
        });
    // EjecutarScript lowered the rehearsal's own level to look at the
    // script's: it is raised again for the next script.
    if (NivelPropioDeEnsayo()) {
      conexion.Execute(u"BEGIN TRANSACTION");
      if (conexion.CheckTransaction() != TransactionState::kNested) {
        throw NumberedError(kErrDatabase, kLevelLost);
      }
    }
    AppendToListLine(MainWindow(), linea, kOutcomeOk);
    SetOutcome(linea, ScriptOutcome::kOk);
    ++resultado.aplicarian;
  } catch (const ScriptFallidoEnEnsayo&) {
    ++resultado.fallarian;
    const ScriptRecord* record = run_record.AtLine(linea);
    const bool timeout = record != nullptr && IsTimeout(record->message);
    // A time-out may have ended the whole transaction: the entity stops.
    seguir = !timeout && VolverAlPuntoDeGuardado();
    if (!seguir) QuedoAplicado(linea, resultado);
    if (run_record.failure && AlFallarEnEnsayo) {
      Attempt([&] { AlFallarEnEnsayo(*run_record.failure); });
    }
  }
  if (tras_fallido) AppendToListLine(MainWindow(), linea, kAfterFailed);
  return seguir;
}

// Where the entity's transaction ended inside a script (or could not be
// returned to), whether what the rehearsal ran may have stayed applied. On
// SQL Server a visible unbalanced COMMIT is never sent, so only code the
// group's text does not show could have committed; without any, the
// transaction was rolled back (the script's ROLLBACK, XACT_ABORT). SQLite
// and PostgreSQL refuse a script's commit before it runs.
void ModMain::QuedoAplicado(int32_t linea, ResultadoEnsayo& resultado) {
  const bool puede = DialectoEntidad == Dialect::kSqlServer ? codigo_oculto_
                                                            : puede_quedar_aplicado_;
  if (ScriptRecord* record = run_record.AtLine(linea)) record->partly_applied = puede;
  resultado.puede_haber_quedado = resultado.puede_haber_quedado || puede;
}

// What the rehearsal keeps from one script to the next.
struct EstadoEnsayo {
  ResultadoEnsayo resultado;
  std::u16string entidad;  // the entity whose transaction is open, when `conectada`
  bool conectada = false;
  bool ya_conecto = false;    // the first connection is marked, as in a run
  bool tras_fallido = false;  // a script of the entity has failed
  std::set<std::u16string> fallidas;   // entities that could not be connected
  std::set<std::u16string> detenidas;  // entities whose rehearsal stopped
  std::optional<FailureRecord> primera_falla;
};

bool ModMain::ConectarEntidadDeEnsayo(RunWindow& frm, const ScriptSql& entry, int32_t linea,
                                      EstadoEnsayo& estado) {
  if (estado.conectada) TerminarEnsayoDeEntidad();
  estado.conectada = false;
  estado.tras_fallido = false;
  estado.entidad = entry.Categoria;
  if (!EstablecerEntidad(entry.Categoria)) {
    MainWindow().MessageBox(
        u"Error estableciendo conexion con la entidad " + entry.Categoria + u" en el archivo " +
            entry.Archivo +
            u" verifique que tiene acceso a la base de datos o el archivo quorvex se encuentre "
            u"bien configurado. Se omitira las actualizaciones para esta entidad",
        VersionTitle(), MessageIcon::kCritical);
    AppendToListLine(frm, linea, kOutcomeError);
    HuboErrores = kTrue;
    SetOutcome(linea, ScriptOutcome::kError, error_entidad_);
    estado.fallidas.insert(entry.Categoria);
    return false;
  }
  if (!estado.ya_conecto) AppendToListLine(frm, linea, kFirstConnectionMark);
  estado.ya_conecto = true;
  EmpezarEnsayoDeEntidad();
  estado.conectada = true;
  return true;
}

void ModMain::EnsayarEntrada(RunWindow& frm, int32_t i, EstadoEnsayo& estado) {
  const ScriptSql& entry = ListadoSql[static_cast<size_t>(i)];
  const int32_t linea = i - 1;
  if (estado.fallidas.count(entry.Categoria) != 0) {
    AppendToListLine(frm, linea, kOutcomeError);
    SetOutcome(linea, ScriptOutcome::kSkipped,
               u"No se ensayó: no se pudo conectar con la entidad " + entry.Categoria + u".");
    return;
  }
  if (estado.detenidas.count(entry.Categoria) != 0) {
    AppendToListLine(frm, linea, kNotRehearsed);
    SetOutcome(linea, ScriptOutcome::kNotRun,
               u"No se ensayó: el ensayo de la entidad " + entry.Categoria +
                   u" se detuvo en un script anterior.");
    ++estado.resultado.no_ensayados;
    return;
  }
  if ((!estado.conectada || entry.Categoria != estado.entidad) &&
      !ConectarEntidadDeEnsayo(frm, entry, linea, estado)) {
    return;
  }
  const std::u16string ruta = CarpetaScripts + kPathSeparator + entry.Archivo;
  const bool seguir = EnsayarScript(ruta, linea, estado.tras_fallido, estado.resultado);
  const ScriptRecord* record = run_record.AtLine(linea);
  if (record != nullptr && record->outcome == ScriptOutcome::kFailed) {
    estado.tras_fallido = true;
    if (!estado.primera_falla) estado.primera_falla = run_record.failure;
  }
  if (!seguir) {
    estado.resultado.entidad_detenida = true;
    estado.detenidas.insert(entry.Categoria);
    TerminarEnsayoDeEntidad();
    estado.conectada = false;
  }
}

ResultadoEnsayo ModMain::EnsayarActualizaciones(RunWindow& frm) {
  Procedure proc(kModuleModMain, u"EnsayarActualizaciones");
  EstadoEnsayo estado;
  ensayo_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{ensayo_};
  run_record.mode = RunMode::kRehearsal;
  WithErrorHandler(
      [&] {
        const int32_t n = PrepararCatalogo(frm, proc);
        for (int32_t i = 1; i <= n; ++i) {
          proc.At(40);
          frm.SetStatusPrgCaption(u"Ensayando actualización " + ToDecimal(i) + u" de " +
                                  ToDecimal(n));
          frm.SetListIndex(ToListIndex(i - 1));
          proc.At(50);
          EnsayarEntrada(frm, i, estado);
          proc.At(60);
          frm.ScriptEnded(ToListIndex(i - 1));
          frm.SetProgressValue(static_cast<float>(i));
          frm.DoEvents();
        }
        proc.At(70);
        if (estado.conectada) TerminarEnsayoDeEntidad();
        if (estado.primera_falla) run_record.failure = estado.primera_falla;
        Finalizado = kTrue;
        MainWindow().SetStatusCaption(LastLine(estado.resultado));
      },
      [&](const NumberedError& error) {
        // A failure of the rehearsal's own: everything is rolled back by
        // giving the connection up.
        const std::u16string description = error.description();
        Attempt([&] { TerminarEnsayoDeEntidad(); });
        run_record.end_cause = proc.Report(description);
        Attempt([&] {
          MainWindow().MessageBox(proc.Report(description), VersionTitle(),
                                  MessageIcon::kExclamation);
        });
        MainWindow().EndProgram(EndReason::kFailure);
      });
  return estado.resultado;
}

}  // namespace corvalen
