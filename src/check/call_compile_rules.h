// What compiles together in one call: SQL Server compiles a whole call (its
// pieces joined) before any of it runs.
#ifndef CORVALEN_CHECK_CALL_COMPILE_RULES_H_
#define CORVALEN_CHECK_CALL_COMPILE_RULES_H_

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "check/statements.h"

namespace corvalen {

// Errors: a column added by ALTER TABLE ... ADD and read later in the call
// (its own piece included) by DML or a condition naming its table (Msg 207; DDL that names
// it is resolved when it runs and is fine, and so is everything about a
// table created earlier in the call by CREATE TABLE or SELECT ... INTO:
// SQL Server defers compiling what names a table that does not exist yet);
// a column renamed by EXEC sp_rename ... 'COLUMN' is read so too; a
// batch-level RETURN with pieces
// after it in the call; USE of a database created in the call (Msg 911);
// CREATE SCHEMA, RULE, DEFAULT and CREATE/ALTER PROCEDURE, FUNCTION,
// TRIGGER, VIEW that are not the call's first statement, a second one in a
// routine's body included (Msg 111).
class CallCompileRules : public Rules {
 public:
  explicit CallCompileRules(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override;
  void StartCall(const CallInfo& call) override;
  void StartPiece(const PieceInfo& piece) override;
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndStatement(const StatementInfo& s) override;
  void BodyToken(const TsqlToken& t) override;
  void EndPiece() override;

 private:
  struct AddedColumn {
    std::u16string table, table_key, column, column_key;
    size_t piece, at;
    bool table_seen = false, reported = false;
    bool renamed = false;  // named so by sp_rename ... 'COLUMN', not added
    std::optional<size_t> used_at;
  };
  void Ddl(const TsqlToken& t, const StatementInfo& s);
  void MustOpenCall(const StatementInfo& s, std::u16string_view kind);
  void Uses(const TsqlToken& t, const StatementInfo& s);
  void Created(const std::u16string& table_key);
  void Rename(const TsqlToken& t, const StatementInfo& s);
  void AddColumn(std::u16string_view table, std::u16string_view column, size_t at, bool renamed);

  static constexpr size_t kMaxColumns = 256;  // added columns followed in one call
  Reporter& reporter_;
  size_t piece_ = 0;
  size_t call_last_ = 0;
  size_t next_piece_at_ = 0;
  bool reported_return_ = false;
  std::vector<AddedColumn> columns_;
  std::unordered_map<std::u16string, size_t> databases_;
  std::unordered_set<std::u16string> created_tables_;
  // The statement.
  bool kind_read_ = false;
  TsqlWord kind_ = TsqlWord::kOther;
  NameReader name_;
  bool named_ = false;
  bool add_next_ = false;  // ALTER TABLE ... ADD: a column's name comes next
  bool into_next_ = false;  // SELECT ... INTO: the new table's name comes next
  // EXEC sp_rename 'table.column', 'new', 'COLUMN': its arguments so far.
  uint8_t rename_step_ = 0;
  std::u16string rename_args_[3];
  std::u16string key_;
  // A routine's body: CREATE or ALTER [OR ALTER] read, its kind next.
  size_t body_create_at_ = 0;
  bool body_kind_next_ = false;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_CALL_COMPILE_RULES_H_
