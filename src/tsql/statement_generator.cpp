#include "tsql/statement_generator.h"

#include "tsql/tsql_reader.h"

#include <iterator>
#include <string_view>

namespace corvalen {

std::vector<size_t> ReadStatementStarts(std::u16string_view text) {
  struct Starts {
    const char16_t* base;
    std::vector<size_t> at;
    void Token(const TsqlToken& t) {
      if (t.statement) at.push_back(static_cast<size_t>(t.text.data() - base));
    }
    void Comment(const char16_t*, const char16_t*) {}
  } found{text.data(), {}};
  TsqlReader reader;
  reader.Read(text, found);
  return std::move(found.at);
}
namespace {

enum FormFlags : unsigned {
  kAny = 0,
  kSimple = 1,           // may stand alone as the body of IF, WHILE or ELSE
  kSemicolonBefore = 2,  // T-SQL wants ';' after the statement before it
  kSemicolonAfter = 4,   // T-SQL wants it ended by ';'
  kBatchFirst = 8,       // only as the batch's first statement
  kCompound = 16,        // holds statements of its own
};

struct Form {
  const char* pattern;  // tokens split by ' ', '~' a blank inside one; '!' marks a start
  unsigned flags;
};

// Every form with the rule it follows where T-SQL asks for one.
constexpr Form kForms[] = {
    // Definitions.
    {"!CREATE TABLE {t} ( id INT NOT NULL PRIMARY KEY , {c} NVARCHAR(50) NULL DEFAULT N'x' )", kSimple},
    {"!CREATE TABLE {t} ( a INT , CONSTRAINT fk FOREIGN KEY ( a ) REFERENCES {t} ( id ) ON DELETE CASCADE "
     "ON UPDATE NO ACTION )", kSimple},
    {"!ALTER TABLE {t} ADD {c} INT NULL", kSimple},
    {"!ALTER TABLE {t} ADD CONSTRAINT df DEFAULT 0 FOR {c}", kSimple},
    {"!ALTER TABLE {t} ALTER COLUMN {c} NVARCHAR(100) NOT NULL", kSimple},
    {"!ALTER TABLE {t} DROP COLUMN {c}", kSimple},
    {"!ALTER TABLE {t} DROP CONSTRAINT fk_x", kSimple},
    {"!ALTER TABLE {t} WITH CHECK ADD CONSTRAINT fk_y FOREIGN KEY ( a ) REFERENCES {t} ( id ) ON DELETE SET NULL",
     kSimple},
    {"!ALTER TABLE {t} SET ( LOCK_ESCALATION = AUTO )", kSimple},
    {"!ALTER TABLE {t} DISABLE TRIGGER ALL", kSimple},
    {"!ALTER TABLE {t} ENABLE TRIGGER ALL", kSimple},
    {"!CREATE NONCLUSTERED INDEX ix ON {t} ( {c} ) INCLUDE ( b ) WITH ( ONLINE = ON )", kSimple},
    {"!DROP INDEX ix ON {t}", kSimple},
    {"!DROP TABLE IF EXISTS {t}", kSimple},
    {"!DROP TABLE {t}", kSimple},
    {"!TRUNCATE TABLE {t}", kSimple},
    {"!CREATE STATISTICS st ON {t} ( {c} )", kSimple},
    {"!UPDATE STATISTICS {t}", kSimple},
    {"!ALTER INDEX ALL ON {t} REBUILD", kSimple},
    {"!ALTER INDEX ix ON {t} SET ( ALLOW_PAGE_LOCKS = ON )", kSimple},
    {"!GRANT SELECT , INSERT , UPDATE ON {t} TO app_user", kSimple},
    {"!DENY DELETE ON {t} TO app_user", kSimple},
    {"!REVOKE EXECUTE ON SCHEMA :: dbo FROM app_user", kSimple},
    {"!CREATE SYNONYM syn FOR {t}", kSimple},
    {"!CREATE TYPE tipo FROM NVARCHAR(20) NOT NULL", kSimple},
    {"!ALTER DATABASE CURRENT SET ANSI_NULLS ON", kSimple},
    {"!CREATE ROLE rol AUTHORIZATION dbo", kSimple},
    {"!ALTER ROLE rol ADD MEMBER app_user", kSimple},
    {"!ALTER ROLE rol DROP MEMBER app_user", kSimple},
    // Data.
    {"!SELECT {c} , b FROM {t} WHERE {c} = {e} ORDER BY {c} DESC", kSimple},
    {"!SELECT @v = COUNT ( * ) FROM {t}", kSimple},
    {"!SELECT a FROM {t} UNION ALL SELECT a FROM {t}", kSimple},
    {"!SELECT a FROM {t} EXCEPT SELECT a FROM {t}", kSimple},
    {"!SELECT a FROM {t} UNION SELECT a FROM {t} INTERSECT SELECT a FROM {t}", kSimple},
    {"!SELECT * INTO #tmp FROM {t} WITH ( NOLOCK )", kSimple},
    {"!SELECT a FROM {t} ORDER BY a OFFSET 0 ROWS FETCH NEXT 5 ROWS ONLY", kSimple},
    {"!SELECT STUFF ( ( SELECT ',' + a FROM {t} FOR XML PATH ( '' ) ) , 1 , 1 , '' )", kSimple},
    {"!SELECT CASE WHEN {c} = 1 THEN 'a' ELSE 'b' END FROM {t}", kSimple},
    {"!INSERT INTO {t} ( a , {c} ) VALUES ( 1 , {e} ) , ( 2 , {e} )", kSimple},
    {"!INSERT INTO {t} ( a ) SELECT a FROM {t} WHERE a > 0", kSimple},
    {"!INSERT {t} SELECT * FROM {t}", kSimple},
    {"!INSERT INTO #tmp EXEC dbo.usp_lista 1", kSimple},
    {"!INSERT INTO {t} DEFAULT VALUES", kSimple},
    {"!UPDATE {t} SET {c} = {e} WHERE id = 1", kSimple},
    {"!UPDATE TOP ( 10 ) {t} SET {c} = {c} + 1", kSimple},
    {"!UPDATE x SET x.a = y.a FROM {t} x JOIN {t} y ON x.id = y.id", kSimple},
    {"!UPDATE {t} WITH ( ROWLOCK ) SET a = 0", kSimple},
    {"!DELETE FROM {t} WHERE {c} IS NULL", kSimple},
    {"!DELETE TOP ( 100 ) FROM {t} OUTPUT deleted.id INTO @borrados", kSimple},
    // MERGE must be ended by ';'.
    {"!MERGE INTO {t} AS d USING {t} AS s ON d.id = s.id WHEN MATCHED THEN UPDATE SET d.a = s.a "
     "WHEN NOT MATCHED THEN INSERT ( id , a ) VALUES ( s.id , s.a ) WHEN NOT MATCHED BY SOURCE THEN DELETE",
     kSemicolonAfter},
    // A common table expression's WITH wants ';' after the statement before it.
    {"!WITH c AS ( SELECT a FROM {t} ) SELECT * FROM c", kSemicolonBefore},
    {"!WITH c ( x ) AS ( SELECT 1 ) UPDATE {t} SET a = 1", kSemicolonBefore},
    {"!WITH c AS ( SELECT 1 AS a ) INSERT INTO {t} ( a ) SELECT a FROM c", kSemicolonBefore},
    {"!WITH c AS ( SELECT TOP 1 * FROM {t} ) DELETE FROM c", kSemicolonBefore},
    // Variables and settings.
    {"!DECLARE @v INT = 1 , @w NVARCHAR(10) = N'x'", kAny},
    {"!DECLARE @t TABLE ( id INT PRIMARY KEY , a NVARCHAR(10) )", kAny},
    {"!SET @v = {e}", kSimple},
    {"!SET @v = ( SELECT MAX ( id ) FROM {t} )", kSimple},
    {"!SET NOCOUNT ON", kSimple},
    {"!SET XACT_ABORT OFF", kSimple},
    {"!SET ANSI_NULLS , QUOTED_IDENTIFIER ON", kSimple},
    {"!SET NUMERIC_ROUNDABORT , IMPLICIT_TRANSACTIONS , XACT_ABORT OFF", kSimple},
    {"!SET TRANSACTION ISOLATION LEVEL READ COMMITTED", kSimple},
    {"!SET IDENTITY_INSERT {t} ON", kSimple},
    {"!SET DATEFORMAT dmy", kSimple},
    {"!SET DEADLOCK_PRIORITY LOW", kSimple},
    // Cursors.
    {"!DECLARE cur CURSOR LOCAL FAST_FORWARD FOR SELECT a FROM {t} ORDER BY a", kAny},
    {"!DECLARE cur2 CURSOR FOR SELECT a FROM {t} FOR UPDATE OF a", kAny},
    {"!OPEN cur", kSimple},
    {"!FETCH NEXT FROM cur INTO @v", kSimple},
    {"!CLOSE cur", kSimple},
    {"!DEALLOCATE cur", kSimple},
    // Transactions and savepoints.
    {"!BEGIN TRAN", kSimple},
    {"!BEGIN TRANSACTION t1 WITH MARK 'm'", kSimple},
    {"!COMMIT TRAN", kSimple},
    {"!COMMIT", kSimple},
    {"!SAVE TRAN sp1", kSimple},
    {"!ROLLBACK TRANSACTION sp1", kSimple},
    {"!ROLLBACK", kSimple},
    // Procedures and dynamic text.
    {"!EXEC dbo.usp_x @a = 1 , @b = N'y' , @c = @v OUTPUT", kSimple},
    {"!EXECUTE ( N'SELECT ''x''' )", kSimple},
    {"!EXEC sp_executesql N'UPDATE~t~SET~a~=~@p' , N'@p~INT' , @p = 1", kSimple},
    {"!EXEC @rc = dbo.usp_x 1", kSimple},
    // EXEC's keyword may be left out only for the batch's first statement.
    {"!dbo.usp_inicio 1 , 'a'", kBatchFirst},
    // Control of flow and messages.
    {"!PRINT N'Hecho:~' + CAST ( @v AS NVARCHAR(10) )", kSimple},
    {"!RAISERROR ( N'x~%d' , 16 , 1 , @v ) WITH NOWAIT", kSimple},
    // THROW wants ';' after the statement before it.
    {"!THROW 50001 , N'error' , 1", kSemicolonBefore},
    {"!WAITFOR DELAY '00:00:01'", kSimple},
    {"!RETURN", kSimple},
    {"!RETURN 0", kSimple},
    {"!GOTO fin", kSimple},
    // A label is read as one where a statement must start: after ';'.
    {"!fin:", kSemicolonBefore},
    {"!DBCC CHECKIDENT ( 'dbo.t' , RESEED , 0 ) WITH NO_INFOMSGS", kSimple},
    {"!CHECKPOINT", kSimple},
    {"!USE [Base~De~Datos]", kSimple},
    {"!BULK INSERT {t} FROM 'c:\\datos.csv' WITH ( FIELDTERMINATOR = ';' )", kSimple},
    {"!IF {cond} {s}", kSimple | kCompound},
    {"!IF {cond} {s} !ELSE {s}", kSimple | kCompound},
    {"!IF {cond} !BEGIN {b} !END !ELSE !BEGIN {b} !END", kSimple | kCompound},
    {"!WHILE {cond} !BEGIN {b} !BREAK !END", kSimple | kCompound},
    {"!WHILE {cond} !BEGIN {b} !CONTINUE !END", kSimple | kCompound},
    {"!BEGIN {b} !END", kSimple | kCompound},
    {"!BEGIN TRY {b} !END TRY !BEGIN CATCH {b} !END CATCH", kCompound},
};

constexpr const char* kTables[] = {"t1", "dbo.Clientes", "[dbo].[Pedidos~Viejos]", "\"Cuenta\"",
                                   "#tmp", "[Select]", "[a]]b]", "Artículos", "dbo . t2"};
constexpr const char* kColumns[] = {"a", "[Columna~Uno]", "\"col\"", "[End]", "nombre", "año"};
constexpr const char* kExpressions[] = {
    "1", "N'ñandú'", "'it''s~--~no~comment'", "'/*~no~comment~*/'", "@v + 1", "GETDATE ( )",
    "CASE WHEN @v > 0 THEN 1 ELSE 0 END", "( SELECT MAX ( a ) FROM {t} )", "'línea\r\nde~texto'",
    "NULL", "CAST ( @v AS INT )", "- 1"};
constexpr const char* kConditions[] = {
    "@v = 1", "@@ERROR <> 0", "@@TRANCOUNT > 0", "EXISTS ( SELECT 1 FROM {t} WHERE a = 1 )",
    "NOT EXISTS ( SELECT * FROM #tmpErrors )", "XACT_STATE ( ) <> 1",
    "@v IS NULL AND @w IN ( N'a' , N'b' )", "OBJECT_ID ( N'dbo.t' ) IS NOT NULL",
    "@v BETWEEN 1 AND 10"};
// What may stand where a blank may: blanks, line breaks and comments.
constexpr const char16_t* kSeparators[] = {
    u" ", u" ", u" ", u" ", u"\t", u"\r\n", u"\n", u"  \r\n\t", u" /* comentario */ ", u"/*x*/",
    u" -- nota\r\n", u"/* anidado /* dentro */ fin */", u"\r\n/* varias\r\nlíneas */\r\n", u"\r\n\r\n"};

std::u16string Widen(std::string_view utf8) {
  std::u16string out;
  for (size_t k = 0; k < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[k]);
    if (c < 0x80) {
      out += static_cast<char16_t>(c == '~' ? ' ' : c);
      ++k;
    } else {  // two-byte sequences: the generator's letters are Latin-1
      out += static_cast<char16_t>(((c & 0x1F) << 6) | (utf8[k + 1] & 0x3F));
      k += 2;
    }
  }
  return out;
}

bool StartsWithGo(std::u16string_view token) {
  return token.size() >= 2 && (token[0] | 0x20) == u'g' && (token[1] | 0x20) == u'o';
}

}  // namespace

size_t StatementGenerator::FormCount() { return std::size(kForms); }

GeneratedBatch StatementGenerator::Batch(int statements) {
  batch_ = GeneratedBatch();
  needs_semicolon_ = false;
  if (Pick(3) == 0) Separator();
  for (int k = 0; k < statements; ++k) Statement(0, k == 0 ? kBatchStart : kAfter, false);
  if (needs_semicolon_) Token(u";", false);
  return std::move(batch_);
}

void StatementGenerator::Statement(int depth, Place place, bool simple_only) {
  const Form* form;
  for (;;) {
    form = &kForms[Pick(std::size(kForms))];
    if ((form->flags & kBatchFirst) && place != kBatchStart) continue;
    if (simple_only && !(form->flags & kSimple)) continue;
    if ((form->flags & kCompound) && depth >= 2) continue;
    break;
  }
  // Joined to the statement before with ';' or without, where T-SQL allows both.
  if (place == kAfter &&
      (needs_semicolon_ || (form->flags & kSemicolonBefore) || Pick(2) == 0)) {
    Token(u";", false);
  }
  needs_semicolon_ = false;
  Template(form->pattern, depth);
  if ((form->flags & kSemicolonAfter) && place == kBlockStart && simple_only) {
    Token(u";", false);  // the body of an IF or ELSE ends here
  } else {
    needs_semicolon_ = (form->flags & kSemicolonAfter) != 0;
  }
}

void StatementGenerator::Template(const char* pattern, int depth) {
  std::string_view rest(pattern);
  while (!rest.empty()) {
    const size_t space = rest.find(' ');
    std::string_view token = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    const bool start = token.front() == '!';
    if (start) token.remove_prefix(1);
    if (token == "{t}") {
      Template(kTables[Pick(std::size(kTables))], depth);
    } else if (token == "{c}") {
      Template(kColumns[Pick(std::size(kColumns))], depth);
    } else if (token == "{e}") {
      Template(kExpressions[Pick(std::size(kExpressions))], depth);
    } else if (token == "{cond}") {
      Template(kConditions[Pick(std::size(kConditions))], depth);
    } else if (token == "{s}") {
      Statement(depth + 1, kBlockStart, true);
    } else if (token == "{b}") {
      const size_t count = 1 + Pick(3);
      for (size_t k = 0; k < count; ++k) Statement(depth + 1, k == 0 ? kBlockStart : kAfter, false);
      if (needs_semicolon_ || Pick(3) == 0) Token(u";", false);
      needs_semicolon_ = false;
    } else {
      Token(Widen(token), start);
    }
  }
}

void StatementGenerator::Token(std::u16string_view token, bool start) {
  std::u16string& text = batch_.text;
  if (!text.empty()) Separator();
  // The run cuts at a line that begins with "go": never write one.
  if (StartsWithGo(token) && (text.empty() || text.back() == u'\n' || text.back() == u'\r')) {
    text += u' ';
  }
  if (start) batch_.starts.push_back(text.size());
  text += token;
}

void StatementGenerator::Separator() {
  batch_.text += kSeparators[Pick(std::size(kSeparators))];
}

}  // namespace corvalen
