// The update module: the script catalogue, its listing, the entity
// connection, the execution of one script, and the whole update run, with the
// module-level state they share for the life of the process.
#ifndef CORVALEN_UPDATE_MOD_MAIN_H_
#define CORVALEN_UPDATE_MOD_MAIN_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/data_access.h"
#include "update/run_record.h"
#include "tsql/call_refusal.h"
#include "tsql/script_text.h"
#include "update/run_window.h"

namespace corvalen {

// Booleans kept as 16-bit integers: -1 true, 0 false.
inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

// What the run (and a rehearsal) appends to a script's line: the mark of
// the entity's first connection, and the outcome.
inline constexpr char16_t kFirstConnectionMark[] = u" \u2022";
inline constexpr char16_t kOutcomeOk[] = u" OK.";
inline constexpr char16_t kOutcomeError[] = u" ERROR!";
// What heads the failure of a commit the database refused.
inline constexpr char16_t kCommitFailed[] = u"No se pudo confirmar la transacci\u00F3n del script: ";

// One catalogue entry.
struct ScriptSql {
  std::u16string Archivo;    // bare file name, as the folder search returned it
  std::u16string Categoria;  // the family's category word; also the entity name
};

// What a rehearsal found, for its last line and its exit code.
struct ResultadoEnsayo {
  int32_t aplicarian = 0;    // scripts that ran and would apply
  int32_t fallarian = 0;     // scripts that failed (and were rolled back)
  int32_t no_ensayados = 0;  // scripts not rehearsed: their entity's rehearsal stopped
  // An entity's rehearsal had to stop before its last script.
  bool entidad_detenida = false;
  // Something the rehearsal ran may have stayed applied: it could not be
  // ruled out (a commit the text did not show).
  bool puede_haber_quedado = false;
};

// What a rehearsal keeps from one script to the next (ensayo.cpp).
struct EstadoEnsayo;
class Procedure;

// Thrown by FallaScript in a rehearsal, once the failure is recorded and
// shown: the rehearsal driver catches it and goes on. Not an error, so that
// error handlers let it pass.
struct ScriptFallidoEnEnsayo {};

class ModMain {
 public:
  // `main_window` receives the module's message boxes, clipboard and end of
  // program; `crear_componente` makes a new data-access component instance.
  ModMain(RunWindow& main_window, ComponentFactory crear_componente);
  ModMain(const ModMain&) = delete;
  ModMain& operator=(const ModMain&) = delete;
  // Releases the objects; an open transaction is rolled back, never committed.
  ~ModMain();

  // ---- Module state ----
  std::u16string CarpetaScripts;
  // Element 0 always exists and never holds a script; scripts are 1..upper bound.
  std::vector<ScriptSql> ListadoSql;
  int16_t HuboErrores = kFalse;
  int16_t Finalizado = kFalse;
  std::shared_ptr<DataAccessComponent> oComponente;
  std::shared_ptr<Connection> oConexion;
  std::shared_ptr<Command> oComando;
  // When set, the data-access component reads this configuration file instead
  // of the one under the program-files folder.
  std::optional<std::u16string> ConfigPathOverride;
  // The current entity's PiecesPerCall: how many pieces go in one call.
  int32_t PiezasPorLlamada = kDefaultPiecesPerCall;
  // The current entity's Dialect: by whose rules its scripts' text is read.
  Dialect DialectoEntidad = Dialect::kSqlServer;
  // Whether the entity's server reads backslash escapes in plain strings
  // (PostgreSQL's standard_conforming_strings off), as last asked: when a
  // script starts, and after each group whose text names the setting.
  bool BarrasEnTextos = false;
  // How the current entity's connection reads the text it is sent.
  TextRules ReglasDeTexto() const { return TextRules{DialectoEntidad, BarrasEnTextos}; }
  // What happened in the run so far (outcomes, the failure), for reports.
  RunRecord run_record;

  // ---- Procedures ----
  // Fills ListadoSql from CarpetaScripts: the six families in fixed order.
  // On failure: report, then end the program.
  void ObtenerListadoSql();
  // Writes the catalogue into the window's list, caption and progress range.
  // On failure: report, then end the program.
  void ListarActualizacionesEnPantalla(RunWindow& frm);
  // Makes oConexion the entity's open connection and binds a new oComando to
  // it. False after reporting a failure; ends the program for the tag "ACCESS".
  bool EstablecerEntidad(const std::u16string& entidad);
  // Runs one script file on oConexion inside the caller's transaction, marking
  // progress on list line IndiceLista. True when every group ran; on failure
  // rolls back, reports, puts the failing text on the clipboard and ends the
  // program. A group that leaves the transaction closed (the script's own
  // COMMIT, ROLLBACK or END, as far as the connection can tell) is a failure
  // that says whether part of the script may have stayed applied; so is a
  // script that leaves a transaction of its own open at its end.
  bool EjecutarScript(const std::u16string& RutaScript, int32_t IndiceLista);
  // Commits the transaction of the script that EjecutarScript just ran. A
  // refused commit makes the script a failed one, handled as EjecutarScript
  // handles its failures (the program ends).
  void ConfirmarScript(const std::u16string& RutaScript, int32_t IndiceLista);
  // The whole update run. Returns only when it finished with errors (waiting
  // for Esc); otherwise ends the program.
  void EjecutarActualizaciones(RunWindow& frm);
  // The update rehearsed: the same catalogue, order, connections, groups,
  // messages and EjecutarScript as a run, but each entity's scripts run in
  // one transaction that is always rolled back, each script at a savepoint
  // of its own; a failed script is rolled back to it and the entity's next
  // script runs. Its last line says what it found. Ends the program as a
  // run does for the tag "ACCESS" and for a failure of its own; otherwise
  // returns. Nothing it runs is ever committed.
  ResultadoEnsayo EnsayarActualizaciones(RunWindow& frm);
  // Called in a rehearsal after each failed script has been shown, with its
  // failure (the console writes where it is and its text).
  std::function<void(const FailureRecord&)> AlFallarEnEnsayo;

  // ---- Helpers ----
  // The catalogue's upper bound: the number of scripts.
  int32_t UpperBound() const { return static_cast<int32_t>(ListadoSql.size()) - 1; }
  // The configuration file the data-access component is pointed at.
  std::u16string ConfigPath() const;
  // Gives up the three object references (rolling back any open transaction).
  void ReleaseObjects();
  RunWindow& MainWindow() { return main_window_; }
  // Rolls back the transaction on oConexion as a failure handler's first
  // step. Returns `description`, with " (RollbackTrans: <why>)" added when
  // the rollback failed (no connection, no open transaction): the failure
  // being handled is always the one reported.
  std::u16string WithRollbackOutcome(std::u16string description);
  // Statements 10 to 30 of a run and of a rehearsal, under `proc`: reads the
  // catalogue, lists it on `frm`, and starts run_record with the folder and
  // every script in catalogue order. Returns how many scripts there are.
  int32_t PrepararCatalogo(RunWindow& frm, Procedure& proc);
  // Keeps the outcome of the script on list line `line` in run_record, with
  // why it did not end OK.
  void SetOutcome(int32_t line, ScriptOutcome outcome, const std::u16string& message = u"");
  // Keeps in run_record that the script on list line `indice_lista` failed,
  // and where: `grupo` is the group being sent (null before the first).
  void RecordFailure(const std::u16string& ruta, int32_t indice_lista, int32_t piece_index,
                     const std::u16string& message, const std::u16string& group_text,
                     std::u16string_view texto, const std::vector<std::u16string_view>& piezas,
                     const PieceGroup* grupo);
  // Keeps in run_record that the batch being sent was given up by its
  // watchdog (db/command_watchdog.h), with `description`. Called from the
  // watchdog's thread while the run's thread is blocked in that batch; does
  // nothing when no script is running.
  void RecordGivenUpBatch(const std::u16string& description);

 private:
  // A failed script: rolls back, keeps the failure, marks the line
  // " ERROR!", shows the failure with the group's text, leaves that text on
  // the clipboard and ends the program.
  [[noreturn]] void FallaScript(const std::u16string& ruta, int32_t indice_lista,
                                int32_t piece_index, const std::u16string& error,
                                const std::u16string& sql, std::u16string_view texto,
                                const std::vector<std::u16string_view>& piezas,
                                const PieceGroup* grupo);

  // Rehearsal steps (ensayo.cpp).
  void EnsayarEntrada(RunWindow& frm, int32_t i, EstadoEnsayo& estado);
  bool ConectarEntidadDeEnsayo(RunWindow& frm, const ScriptSql& entry, int32_t linea,
                               EstadoEnsayo& estado);
  void EmpezarEnsayoDeEntidad();
  // Runs one script at its savepoint; false when the entity's rehearsal
  // must stop after it.
  bool EnsayarScript(const std::u16string& ruta, int32_t linea, bool tras_fallido,
                     ResultadoEnsayo& resultado);
  bool VolverAlPuntoDeGuardado();
  void QuedoAplicado(int32_t linea, ResultadoEnsayo& resultado);
  void ComprobarRestriccionesDiferidas();
  void TerminarEnsayoDeEntidad();

  // Why the latest EstablecerEntidad failed.
  std::u16string error_entidad_;
  // A rehearsal is going on: a failed script is handed back to its driver.
  bool ensayo_ = false;
  // A rehearsal on SQL Server holds a transaction level of its own beneath
  // the scripts'.
  bool NivelPropioDeEnsayo() const { return ensayo_ && DialectoEntidad == Dialect::kSqlServer; }
  // The latest group sent in a rehearsal on SQL Server may have run code its
  // text does not show (which may commit).
  bool codigo_oculto_ = false;
  // One past the last piece the latest script ran: where its commit stands.
  int32_t piezas_del_script_ = 0;
  // Whether the latest script's transaction ended before the run ended it
  // (nothing may be left to roll back), and whether part of the script may
  // have stayed applied (its own COMMIT, a commit in doubt).
  bool transaccion_terminada_ = false;
  bool puede_quedar_aplicado_ = false;
  // Records a given-up batch of the script being run.
  std::function<void(const std::u16string&)> record_given_up_;
  RunWindow& main_window_;
  ComponentFactory crear_componente_;
};

// Whether a file of this bare name in the scripts folder is a script of the
// catalogue: a category word, '_', any text and ".sql", letter case ignored.
bool IsScriptName(std::u16string_view name);
// The six category words, in the order of the run.
std::vector<std::u16string> Categorias();

// The reference's object, or error 91 when the reference is empty.
template <class T>
T& Required(const std::shared_ptr<T>& reference);

// A list index as the list box takes it: error 6 when it exceeds 16 bits.
int16_t ToListIndex(int32_t index);

// Appends `piece` to line `index` of the window's list, keeping what earlier
// steps wrote there; error 6 when the index exceeds 16 bits.
void AppendToListLine(RunWindow& window, int32_t index, std::u16string_view piece);

}  // namespace corvalen

#include "update/mod_main_inl.h"

#endif  // CORVALEN_UPDATE_MOD_MAIN_H_
