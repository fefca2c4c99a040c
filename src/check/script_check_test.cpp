#include "check/script_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/utf.h"

namespace corvalen {
namespace {

ScriptCheck Check(const std::string& name, int32_t pieces_per_call = kMaxPiecesPerCall,
                  Dialect dialect = Dialect::kSqlServer) {
  return CheckScript(Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/check/" + name),
                     pieces_per_call, TextRules{dialect, false});
}

// Findings as "line: first two words of the text", notes marked "(nota)".
std::vector<std::string> Lines(const ScriptCheck& check) {
  std::vector<std::string> out;
  for (const Finding& f : check.findings) {
    const std::string text = Utf16ToUtf8(f.text);
    out.push_back(std::to_string(f.line) + ": " + text.substr(0, text.find(' ', text.find(' ') + 1)) +
                  (f.level == FindingLevel::kNote ? " (nota)" : ""));
  }
  return out;
}

// The finding at `line` whose text holds `part`, for messages that name lines.
bool Says(const ScriptCheck& check, int32_t line, const std::string& part) {
  for (const Finding& f : check.findings) {
    if (f.line == line && Utf16ToUtf8(f.text).find(part) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> Ranges(const ScriptCheck& check) {
  std::vector<std::string> out;
  for (const GroupLines& g : check.groups) out.push_back(std::to_string(g.first) + "-" + std::to_string(g.last));
  return out;
}

TEST(ScriptCheckTest, EveryTrapIsFoundOnItsLineAndNothingInCommentsOrStrings) {
  const ScriptCheck check = Check("trampas.sql");
  EXPECT_EQ(check.pieces, 5u);
  // CREATE SCHEMA opens its own call; BEGIN TRAN ... COMMIT nests harmlessly.
  EXPECT_EQ(Ranges(check), (std::vector<std::string>{"1-2", "4-4", "6-10"}));
  EXPECT_EQ(Lines(check), (std::vector<std::string>{"7: la línea", "8: GO con", "12: texto después"}));
  EXPECT_NE(Utf16ToUtf8(check.findings[0].text).find("\"GOTO\""), std::string::npos);
}

TEST(ScriptCheckTest, TransactionsAsSqlServerTakesThem) {
  const ScriptCheck check = Check("transacciones.sql");
  // Nothing for the balanced pair, the routine's body, WITH ROLLBACK, the
  // words in texts and comments, the rollback to a savepoint, or the
  // ROLLBACK of a CATCH block (it runs only after an error); the CATCH
  // block that swallows the error is one.
  EXPECT_EQ(Lines(check), (std::vector<std::string>{
                              "6: ALTER DATABASE", "29: el bloque", "32: COMMIT confirma",
                              "34: dentro de", "36: CREATE TABLE", "39: BACKUP no",
                              "41: dentro de"}));
  EXPECT_TRUE(Says(check, 34, "CREATE FULLTEXT CATALOG no se admite"));
  EXPECT_TRUE(Says(check, 41, "RESTORE no se admite"));
  EXPECT_TRUE(Says(check, 36, "(Msg 12331)"));
}

TEST(ScriptCheckTest, PiecesThatShareACall) {
  const ScriptCheck check = Check("llamadas.sql");
  EXPECT_EQ(Lines(check), (std::vector<std::string>{
                              "3: la variable", "9: la columna", "11: la variable (nota)",
                              "13: RETURN termina", "17: CREATE DATABASE", "19: USE Archivo",
                              "19: USE cambia (nota)", "22: CREATE SCHEMA", "24: la variable"}));
  EXPECT_TRUE(Says(check, 3, "ya se declaró en la línea 1"));
  EXPECT_TRUE(Says(check, 9, "se agrega a clientes en la línea 7"));
  EXPECT_TRUE(Says(check, 13, "(desde la línea 15)"));
  EXPECT_TRUE(Says(check, 19, "(línea 17)"));
  // A call of its own per piece: each batch stands alone, as SQL Server's
  // tools send them, and what only sharing a call allowed is an error.
  const ScriptCheck alone = Check("llamadas.sql", 1);
  EXPECT_EQ(Lines(alone), (std::vector<std::string>{
                              "11: la variable", "17: CREATE DATABASE",
                              "19: USE cambia (nota)", "22: CREATE SCHEMA", "24: la variable"}));
}

TEST(ScriptCheckTest, ColumnsAddedToATableCreatedInTheSameCall) {
  // CREATE TABLE or SELECT ... INTO earlier in the call: what names the table
  // is compiled when it runs. Only the table that already existed is Msg 207.
  // A column renamed by sp_rename is new to the call just the same; a table
  // or an index renamed is not a column.
  EXPECT_EQ(Lines(Check("renombrar.sql")), (std::vector<std::string>{"3: la columna"}));
  EXPECT_TRUE(Says(Check("renombrar.sql"), 3, "Correo toma ese nombre (sp_rename) en Cliente en la línea 1"));
  EXPECT_EQ(Lines(Check("tabla_nueva.sql")),
            (std::vector<std::string>{"15: la columna", "18: la columna"}));
}

TEST(ScriptCheckTest, SettingsLeftForTheScriptsThatFollow) {
  // ROWCOUNT 0 and IDENTITY_INSERT ... OFF put things back; a variable's SET
  // is no option.
  EXPECT_EQ(Lines(Check("ajustes.sql")),
            (std::vector<std::string>{"10: SET QUOTED_IDENTIFIER (nota)", "10: SET ANSI_NULLS (nota)",
                                      "11: SET FMTONLY", "13: SET ROWCOUNT", "13: la variable (nota)",
                                      "15: EXECUTE AS (nota)"}));
}

TEST(ScriptCheckTest, SystemProceduresThatRefuseATransaction) {
  // Full-text search's and sp_dboption, by any path, in EXEC's text too; not
  // another procedure, nor on the way to a failure.
  EXPECT_EQ(Lines(Check("texto_completo.sql")),
            (std::vector<std::string>{"1: EXEC sp_fulltext_database", "2: EXEC [sp_fulltext_catalog]",
                                      "3: EXEC sp_dboption", "6: dentro de"}));
}

TEST(ScriptCheckTest, StatementsThatWantASemicolon) {
  // A CTE or XMLNAMESPACES after a statement without ';', and a MERGE without
  // its own, even on the way to a failure: the call does not compile. Table
  // hints, a join hint and a cursor's query are no such WITH or MERGE. A
  // THROW after SELECT without ';' is the SELECT's alias; after BEGIN CATCH
  // or ELSE it is fine.
  EXPECT_EQ(Lines(Check("terminadores.sql")),
            (std::vector<std::string>{"3: WITH de", "5: WITH de", "7: WITH de",
                                      "12: el cursor (nota)", "15: MERGE sin", "29: THROW sin"}));
}

TEST(ScriptCheckTest, WhatFollowsTheEndOfARoutinesBody) {
  // After the END of a BEGIN ... END body: a GRANT, a PRINT. Not a ';', nor
  // what follows the END of a CASE, a TRY or a CATCH, END CONVERSATION, a
  // parameter's AS or EXECUTE AS; a body that opens with BEGIN TRAN is not
  // a block.
  EXPECT_EQ(Lines(Check("cuerpos.sql")), (std::vector<std::string>{"6: esto sigue", "18: esto sigue"}));
  EXPECT_TRUE(Says(Check("cuerpos.sql"), 6, "cuerpo de PROCEDURE (BEGIN en la línea 2)"));
}

TEST(ScriptCheckTest, AGoInsideABlock) {
  // Pieces in one call read the block whole (a note at each GO); one piece a
  // call leaves each half refused: the open BEGIN or BEGIN TRY, the stray END.
  EXPECT_EQ(Lines(Check("go_en_bloque.sql")),
            (std::vector<std::string>{"4: línea GO (nota)", "10: línea GO (nota)"}));
  EXPECT_EQ(Lines(Check("go_en_bloque.sql", 1)),
            (std::vector<std::string>{"2: la llamada", "6: END que", "8: la llamada", "11: END que"}));
  EXPECT_TRUE(Says(Check("go_en_bloque.sql", 1), 8, "dentro de este BEGIN TRY"));
}

TEST(ScriptCheckTest, GlobalCursorsOutliveTheirCall) {
  // One piece a call: a global cursor closed but not deallocated is still
  // there two calls later (a LOCAL one of that name does not clash); one
  // left at the end is a note.
  const ScriptCheck check = Check("cursores.sql", 1);
  EXPECT_EQ(Lines(check), (std::vector<std::string>{"7: el cursor", "10: el cursor (nota)"}));
  EXPECT_TRUE(Says(check, 7, "ya se declaró en la línea 1 y sigue en la conexión"));
}

TEST(ScriptCheckTest, GoLinesThatDoNotDoWhatTheySeem) {
  const ScriptCheck check = Check("go_trampas.sql");
  EXPECT_EQ(Lines(check), (std::vector<std::string>{"3: línea GO (nota)", "6: GO 60:",
                                                    "8: go;: el (nota)", "10: línea GO"}));
  EXPECT_TRUE(Says(check, 3, "abierto en la línea 1"));
  // Where the comment ends a call, the run refuses it.
  EXPECT_TRUE(Says(Check("go_trampas.sql", 1), 3, "la ejecución la rechaza"));
  EXPECT_EQ(Lines(Check("sqlcmd.sql")),
            (std::vector<std::string>{"1: directiva de", "2: USE cambia (nota)", "2: variable de",
                                      "4: SET DATEFORMAT (nota)", "5: SET IMPLICIT_TRANSACTIONS",
                                      "6: SET NOEXEC", "9: directiva de", "11: variable de"}));
}

TEST(ScriptCheckTest, NoSeparatorAndUtf8WithoutMark) {
  EXPECT_EQ(Lines(Check("sin_go.sql")), (std::vector<std::string>{"1: no hay"}));
  EXPECT_EQ(Lines(Check("utf8_en_comentario.sql")), std::vector<std::string>{});
  EXPECT_EQ(Lines(Check("mezcla.sql")), (std::vector<std::string>{"2: el archivo"}));
  EXPECT_TRUE(Says(Check("mezcla.sql"), 2, "mezcla UTF-8 y Windows-1252 (línea 1)"));
  const ScriptCheck utf8 = Check("utf8_sin_bom.sql");
  EXPECT_EQ(Lines(utf8), (std::vector<std::string>{"2: el archivo"}));
  // Readable and well cut all the same.
  EXPECT_EQ(Ranges(utf8), (std::vector<std::string>{"1-2"}));
}

TEST(ScriptCheckTest, ANulCharacterThatTheRunRefusesOnAnyDatabase) {
  // In a comment it is refused all the same; in the text after the last GO
  // it is never sent.
  for (Dialect dialect : {Dialect::kSqlServer, Dialect::kSqlite, Dialect::kPostgresql}) {
    EXPECT_EQ(Lines(Check("nulo.sql", 1, dialect)),
              (std::vector<std::string>{"3: carácter nulo:", "5: texto después"}));
  }
}

TEST(ScriptCheckTest, LiteralsWithoutNThatLoseTheirCharacters) {
  // A Unicode file: a literal without N loses what Windows-1252 lacks, in a
  // routine's body too; N'…', accents and € are kept, comments hold nothing,
  // and a message (PRINT, RAISERROR) only shows it.
  const ScriptCheck check = Check("sin_n.sql");
  EXPECT_EQ(Lines(check), (std::vector<std::string>{"1: texto sin", "1: texto sin", "4: texto sin"}));
  EXPECT_TRUE(Says(check, 1, "(😀)"));
  EXPECT_TRUE(Lines(Check("sin_n.sql", kMaxPiecesPerCall, Dialect::kPostgresql)).empty());
}

TEST(ScriptCheckTest, GroupLinesAreTheFilesWhateverItsLineEnds) {
  for (const char* name : {"rangos_crlf.sql", "rangos_lf.sql", "rangos_mixto.sql"}) {
    SCOPED_TRACE(name);
    const ScriptCheck check = Check(name);
    EXPECT_EQ(Ranges(check), (std::vector<std::string>{"1-3", "6-6", "8-8"}));
    EXPECT_TRUE(check.findings.empty()) << Lines(check).front();
  }
}

TEST(ScriptCheckTest, AStatementStartsAfterACompleteOneWithOrWithoutSemicolon) {
  EXPECT_EQ(Lines(Check("sin_punto_y_coma.sql")),
            (std::vector<std::string>{"3: COMMIT confirma", "6: ROLLBACK deshace", "9: CREATE DATABASE",
                                      "13: la variable", "16: RETURN termina", "19: SET NOEXEC"}));
  EXPECT_EQ(Lines(Check("lista_opciones.sql")),
            (std::vector<std::string>{"1: SET IMPLICIT_TRANSACTIONS", "3: SET XACT_ABORT (nota)"}));
}

// Code that runs only after an error is judged for what outlives the
// failure; DDL naming a column added in the call is resolved when it runs.
TEST(ScriptCheckTest, WhatTheRunCanReach) {
  EXPECT_EQ(Lines(Check("despliegue_generado.sql")),
            (std::vector<std::string>{"8: SET XACT_ABORT (nota)"}));
  EXPECT_EQ(Lines(Check("catch.sql")), (std::vector<std::string>{"19: el bloque", "26: el bloque"}));
  EXPECT_EQ(Lines(Check("columna_ddl.sql")), (std::vector<std::string>{"7: la columna"}));
  // A label that only error branches jump to, which nothing falls through to.
  EXPECT_EQ(Lines(Check("goto_error.sql")), (std::vector<std::string>{"17: ROLLBACK deshace"}));
}

TEST(ScriptCheckTest, SavepointsRoutinesSettingsPlaceholdersAndCodePages) {
  EXPECT_EQ(Lines(Check("mas_clases.sql")),
            (std::vector<std::string>{"1: BEGIN TRAN", "7: otra definición",
                                      "9: SET TRANSACTION (nota)", "11: variable de (nota)"}));
  EXPECT_TRUE(Says(Check("go_inicio.sql"), 1, "(Msg 2812). Quite esa línea"));
  EXPECT_TRUE(Says(Check("cirilico.sql"), 2, "Windows-1251"));
}

TEST(ScriptCheckTest, TheExecTextWithoutDoubledQuotesAndAReturnBeforeTheLastPiece) {
  EXPECT_EQ(Lines(Check("exec_comillas.sql")), (std::vector<std::string>{"3: dentro de"}));
  EXPECT_EQ(Lines(Check("return_penultima.sql")), (std::vector<std::string>{"3: RETURN termina"}));
}

// For PostgreSQL and SQLite the T-SQL families give way to what the run
// refuses of each call by that database's rules.
TEST(ScriptCheckTest, OtherDatabasesAreJudgedByWhatTheRunRefuses) {
  EXPECT_EQ(Lines(Check("postgres.sql", kMaxPiecesPerCall, Dialect::kPostgresql)),
            (std::vector<std::string>{"1: BEGIN en", "5: El lote"}));
  // SQLite's connection refuses them as they run; the check tells them first.
  EXPECT_EQ(Lines(Check("postgres.sql", kMaxPiecesPerCall, Dialect::kSqlite)),
            (std::vector<std::string>{"1: BEGIN en", "5: El lote"}));
  // Read as T-SQL, `BEGIN;` opens a block that the GO of line 4 cuts.
  EXPECT_EQ(Lines(Check("postgres.sql", kMaxPiecesPerCall, Dialect::kSqlServer)),
            (std::vector<std::string>{"3: COMMIT confirma", "4: línea GO (nota)", "6: línea GO"}));
}

TEST(ScriptCheckTest, FindingsAreCappedPerFile) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "corvalen_muchos.sql";
  {
    std::ofstream out(file, std::ios::binary);
    for (int k = 0; k < 1500; ++k) out << "COMMIT\r\n";
    out << "GO\r\n";
  }
  const ScriptCheck check = CheckScript(Utf8ToUtf16(file.string()));
  std::filesystem::remove(file);
  ASSERT_EQ(check.findings.size(), FoundList::kMaxFindings + 1);
  EXPECT_EQ(check.findings.back().text, u"y 500 hallazgos más que no se muestran");
  EXPECT_EQ(check.findings.back().level, FindingLevel::kError);
}

TEST(ScriptCheckTest, AnUnreadableFileIsAFinding) {
  const ScriptCheck check = Check("no_existe.sql");
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_EQ(check.findings[0].line, 0);
  EXPECT_EQ(check.findings[0].text, u"no se puede leer: File not found");
}

}  // namespace
}  // namespace corvalen
