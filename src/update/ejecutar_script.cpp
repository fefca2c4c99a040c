// EjecutarScript: one script file, cut at GO lines and sent in groups.
#include <chrono>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "tsql/call_refusal.h"
#include "tsql/commit_balance.h"
#include "tsql/script_lines.h"
#include "tsql/script_reader.h"
#include "tsql/script_text.h"

namespace corvalen {
namespace {

constexpr char16_t kMark[] = u"\u2022";  // the progress mark "•"
constexpr char16_t kFailureTitle[] = u"\u00A1Atencion!";
constexpr char16_t kUnbalancedCommit[] =
    u"Este grupo tiene un COMMIT que los BEGIN TRAN del propio script no equilibran: en la "
    u"ejecución confirmaría la transacción del script, y lo anterior quedaría aplicado aunque "
    u"algo fallara después. El ensayo no lo envía.";
constexpr char16_t kCommitInDoubt[] =
    u"No se sabe si la transacción del script se confirmó, y el script puede haber quedado "
    u"aplicado: ";
constexpr char16_t kLeftOpen[] =
    u"Al terminar, el script dejó abierta una transacción propia (un BEGIN TRAN sin su COMMIT): "
    u"se deshizo entero y nada de él quedó aplicado.";
constexpr char16_t kUndoneByDatabase[] =
    u"La base de datos deshizo por su cuenta la transacción del script: nada de él quedó "
    u"aplicado.";

// "las líneas a-b" of a group.
std::u16string GroupLinesText(const GroupLines& lines) {
  return u"las l\u00EDneas " + ToDecimal(lines.first) + u"-" + ToDecimal(lines.last);
}

// The transaction the run began ended inside the script, as the check after
// the group of `lines` found.
std::u16string EndedInsideText(const GroupLines& lines) {
  return u"La transacción de la actualización terminó dentro del script (su propio COMMIT, o un "
         u"ROLLBACK que no se distingue de uno): se la encontró terminada después del grupo de " +
         GroupLinesText(lines) +
         u", y lo que el script ejecutó hasta ahí puede haber quedado aplicado.";
}

// Whether a group's text names PostgreSQL's standard_conforming_strings (in
// any letter case): after it the server may read strings otherwise.
bool NamesStringSetting(std::u16string_view sql) {
  constexpr std::u16string_view kName = u"standard_conforming_strings";
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
  for (size_t at = 0; at + kName.size() <= sql.size(); ++at) {
    size_t k = 0;
    while (k < kName.size() && lower(sql[at + k]) == kName[k]) ++k;
    if (k == kName.size()) return true;
  }
  return false;
}

}  // namespace

void ModMain::RecordFailure(const std::u16string& ruta, int32_t indice_lista, int32_t piece_index,
                            const std::u16string& message, const std::u16string& group_text,
                            std::u16string_view texto,
                            const std::vector<std::u16string_view>& piezas,
                            const PieceGroup* grupo) {
  if (ScriptRecord* record = run_record.AtLine(indice_lista)) {
    record->outcome = ScriptOutcome::kFailed;
    record->message = message;
    record->partly_applied = puede_quedar_aplicado_;
  }
  FailureRecord failure{ruta, piece_index, message, group_text, std::nullopt};
  if (grupo != nullptr) {
    FailedGroup where;
    where.first_piece = grupo->first;
    where.last_piece = grupo->last;
    where.lines = LinesOfGroups(texto, piezas, {*grupo}).front();
    if (auto batch_line =
            BatchLineInMessage(message, where.lines.last - where.lines.start + 1)) {
      where.file_line = where.lines.start + *batch_line - 1;
    }
    failure.group = where;
  }
  run_record.failure = std::move(failure);
}

bool ModMain::EjecutarScript(const std::u16string& RutaScript, int32_t IndiceLista) {
  Procedure proc(kModuleModMain, u"EjecutarScript");
  // The piece index and the group text are what the failure report shows.
  // The index is 32-bit: a script may have more than 32,767 pieces.
  int32_t i = 0;
  std::u16string sql;
  // Kept outside the body so that a failure can say where its group is.
  std::u16string texto;
  std::vector<std::u16string_view> piezas;
  std::vector<PieceGroup> grupos;
  const PieceGroup* grupo_actual = nullptr;
  // In a rehearsal on SQL Server, the script's own transaction levels.
  CommitBalance balance;
  // What the latest group left of the run's transaction.
  TransactionState estado_transaccion = TransactionState::kIntact;
  transaccion_terminada_ = false;
  puede_quedar_aplicado_ = false;
  ScriptRecord* record = run_record.AtLine(IndiceLista);
  const auto started = std::chrono::steady_clock::now();
  auto record_duration = [&] {
    if (record == nullptr) return;
    record->duration_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count();
  };

  auto send = [&](int32_t first_statement) {
    proc.At(first_statement);
    AppendToListLine(MainWindow(), IndiceLista, kMark);
    proc.At(first_statement + 10);
    if (record != nullptr) ++record->groups_sent;
    Required(oConexion).Execute(sql);
    if (DialectoEntidad == Dialect::kPostgresql && NamesStringSetting(sql)) {
      BarrasEnTextos = Required(oConexion).BackslashStrings();
    }
    // The transaction as the group left it: a script that ended the run's
    // transaction fails here, and says whether part of it may have stayed.
    // Where the group stands in the file, counted only when a failure says it.
    auto lines = [&] { return LinesOfGroups(texto, piezas, {*grupo_actual}).front(); };
    try {
      estado_transaccion = Required(oConexion).CheckTransaction();
    } catch (const NumberedError& error) {
      throw NumberedError(error.number(),
                          u"No se pudo comprobar la transacci\u00F3n del script despu\u00E9s "
                          u"del grupo de " + GroupLinesText(lines()) + u": " + error.description());
    }
    if (estado_transaccion == TransactionState::kEnded) {
      transaccion_terminada_ = true;
      puede_quedar_aplicado_ = true;
      throw NumberedError(kErrDatabase, EndedInsideText(lines()));
    }
    if (estado_transaccion == TransactionState::kRolledBack) {
      transaccion_terminada_ = true;
      throw NumberedError(kErrDatabase, kUndoneByDatabase);
    }
    // The script's COMMIT took only the rehearsal's own level: in a run it
    // would have ended the transaction, and is told as the run tells it.
    if (NivelPropioDeEnsayo() && estado_transaccion == TransactionState::kIntact) {
      throw NumberedError(kErrDatabase, EndedInsideText(lines()));
    }
    proc.At(first_statement + 20);
    AppendToListLine(MainWindow(), IndiceLista, kMark);
  };

  // A batch given up by its watchdog ends the program from another thread,
  // while this one is still inside Execute: it records the failure here.
  record_given_up_ = [&](const std::u16string& description) {
    record_duration();
    RecordFailure(RutaScript, IndiceLista, i, description, sql, texto, piezas, grupo_actual);
  };
  struct Forget {
    ModMain* self;
    ~Forget() { self->record_given_up_ = nullptr; }
  } forget{this};

  return WithErrorHandler(
      [&]() -> bool {
        // Statements 10 to 80: the file's lines, each followed by CR LF,
        // gathered in a string builder and read out of it once.
        proc.At(10);
        texto = ReadScriptText(RutaScript);
        // Only PostgreSQL is asked: the others never read backslash escapes.
        BarrasEnTextos =
            DialectoEntidad == Dialect::kPostgresql && Required(oConexion).BackslashStrings();

        // Statements 90 to 170 normalise the separators and 180 cuts the
        // text at them; both are done in one pass that leaves the text as it
        // is and returns the pieces as views into it.
        proc.At(90);
        piezas = CutIntoPieces(texto);
        proc.At(200);
        if (piezas.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
          throw NumberedError(kErrOverflow);
        }
        const int32_t ultima = static_cast<int32_t>(piezas.size()) - 2;
        proc.At(210);
        sql.clear();
        // Where the groups close: after 21 pieces, and around every piece
        // that creates a routine or a view (see GroupPieces).
        proc.At(220);
        grupos = GroupPieces(piezas, PiezasPorLlamada);

        for (const PieceGroup& grupo : grupos) {
          grupo_actual = &grupo;
          for (size_t k = grupo.first; k <= grupo.last; ++k) {
            i = static_cast<int32_t>(k);
            proc.At(230);
            sql += piezas[k];
            sql += u"\r\n";
          }
          // The group left over after the walk is reported one past the
          // last piece to run.
          if (grupo.after_walk) i = ultima + 1;
          const int32_t first_statement = grupo.after_walk ? 350 : 280;
          // SQL Server refuses a batch that ends inside a comment or a
          // string; other databases would run what comes before it.
          proc.At(first_statement);
          if (const auto refusal = RefuseCall(texto, piezas, grupo, ReglasDeTexto())) {
            throw NumberedError(kErrInvalidArgument, refusal->text);
          }
          // No number of levels holds such a COMMIT back: in a rehearsal it
          // would commit the work of the scripts before it.
          if (NivelPropioDeEnsayo()) {
            const CallBalance llamada = balance.ReadCall(sql);
            if (llamada.unbalanced_commit) {
              throw NumberedError(kErrInvalidArgument, kUnbalancedCommit);
            }
            codigo_oculto_ = llamada.hidden_code;
          }
          send(first_statement);
          proc.At(first_statement + 30);
          sql.clear();
          proc.At(first_statement + 40);
          MainWindow().DoEvents();
        }

        // In a rehearsal the driver's own level is lowered to see the
        // script's levels as a run would (at count 2 or more a COMMIT only
        // lowers the count); the driver raises it again.
        if (NivelPropioDeEnsayo()) {
          Required(oConexion).Execute(u"COMMIT TRANSACTION");
          estado_transaccion = Required(oConexion).CheckTransaction();
        }
        // The commit would only close the script's own transaction, and the
        // connection's end would undo the whole script: it fails instead.
        if (estado_transaccion == TransactionState::kNested) {
          throw NumberedError(kErrDatabase, kLeftOpen);
        }
        grupo_actual = nullptr;
        proc.At(420);
        record_duration();
        piezas_del_script_ = ultima + 1;
        return true;
      },
      [&](const NumberedError& error) -> bool {
        record_duration();
        FallaScript(RutaScript, IndiceLista, i, error.description(), sql, texto, piezas,
                    grupo_actual);
      });
}

void ModMain::FallaScript(const std::u16string& ruta, int32_t indice_lista, int32_t piece_index,
                          const std::u16string& error, const std::u16string& sql,
                          std::u16string_view texto,
                          const std::vector<std::u16string_view>& piezas,
                          const PieceGroup* grupo) {
  // Each step's own failure is kept apart: the report always shows the
  // script's failure, and the program always ends without committing.
  // After the transaction ended inside the script, the server may have
  // none left to roll back: its complaint is no news. In a rehearsal the
  // driver rolls back to the script's own savepoint.
  std::u16string description = error;  // 470
  // A rollback given up by its watchdog ends the program from another
  // thread: what it records is still this failure.
  record_given_up_ = [&](const std::u16string& stuck) {
    RecordFailure(ruta, indice_lista, piece_index, error + u" (RollbackTrans: " + stuck + u")",
                  sql, texto, piezas, grupo);
  };
  if (ensayo_) {
    // The rehearsal's driver goes back to the script's savepoint.
  } else if (transaccion_terminada_) {
    Attempt([&] { Required(oConexion).RollbackTrans(); });
  } else {
    description = WithRollbackOutcome(error);
  }
  record_given_up_ = nullptr;
  Attempt([&] {
    RecordFailure(ruta, indice_lista, piece_index, description, sql, texto, piezas, grupo);
  });
  Attempt([&] { AppendToListLine(MainWindow(), indice_lista, kOutcomeError); });
  std::u16string text = description;
  // 480
  text += u" Actualizaci\u00F3n Cancelada. Script: ";
  text += ruta;
  text += u" - Linea: ";
  text += ToDecimal(piece_index);
  text += sql;
  Attempt([&] { MainWindow().MessageBox(text, kFailureTitle, MessageIcon::kCritical); });
  Attempt([&] { MainWindow().ClipboardClear(); });       // 490
  Attempt([&] { MainWindow().ClipboardSetText(sql); });  // 500
  if (ensayo_) throw ScriptFallidoEnEnsayo{};
  MainWindow().EndProgram(EndReason::kScriptFailed);     // 510
  // Not reached: EndProgram never returns.
  throw ProgramEnded{EndReason::kScriptFailed};
}

void ModMain::ConfirmarScript(const std::u16string& RutaScript, int32_t IndiceLista) {
  Connection& conexion = Required(oConexion);
  // A commit given up by its watchdog may have been made.
  record_given_up_ = [&](const std::u16string& description) {
    puede_quedar_aplicado_ = true;
    RecordFailure(RutaScript, IndiceLista, piezas_del_script_, description, u"", u"", {},
                  nullptr);
  };
  struct Forget {
    ModMain* self;
    ~Forget() { self->record_given_up_ = nullptr; }
  } forget{this};
  WithErrorHandler([&] { conexion.CommitTrans(); },
                   [&](const NumberedError& error) {
                     if (error.number() == kErrCommitInDoubt) {
                       transaccion_terminada_ = true;
                       puede_quedar_aplicado_ = true;
                       FallaScript(RutaScript, IndiceLista, piezas_del_script_,
                                   kCommitInDoubt + error.description(), u"", u"", {}, nullptr);
                     }
                     // The transaction is still open after a refused commit:
                     // rolled back like any failed script's.
                     FallaScript(RutaScript, IndiceLista, piezas_del_script_,
                                 kCommitFailed + error.description(), u"", u"", {}, nullptr);
                   });
}

void ModMain::RecordGivenUpBatch(const std::u16string& description) {
  if (record_given_up_) record_given_up_(description);
}

}  // namespace corvalen
