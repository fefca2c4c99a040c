// T-SQL as SQL Server reads one batch, in a single pass: comments (`--` to
// the line's end, `/* */` nested), string literals ('...' with '' inside,
// N'...'), quoted names ([...] with ]] inside, "..." with "" inside), words
// and variables; which keywords stand where a statement starts; and the
// nesting of BEGIN ... END, BEGIN TRY / CATCH and CASE ... END.
//
// It judges and never cuts: the run's cutting at GO lines is done by
// CutIntoPieces. A batch may be read in parts (the pieces of one call, with
// the CR LF the run puts between them read as a part of its own): comments,
// strings and nesting carry over from one part to the next.
#ifndef CORVALEN_TSQL_TSQL_READER_H_
#define CORVALEN_TSQL_TSQL_READER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tsql/sql_scanner.h"

namespace corvalen {

// The keywords the checks look for; every other word is kOther.
enum class TsqlWord : uint8_t {
  kOther,
  // Statement keywords: a statement may start with them.
  kAlter, kBackup, kBegin, kBreak, kBulk, kCheckpoint, kClose, kCommit, kContinue, kCreate,
  kDbcc, kDeallocate, kDeclare, kDelete, kDeny, kDrop, kElse, kEnd, kExec, kExecute, kFetch,
  kGoto, kGrant, kIf, kInsert, kKill, kMerge, kOpen, kPrint, kRaiserror, kReconfigure,
  kRestore, kReturn, kRevert, kRevoke, kRollback, kSave, kSelect, kSet, kThrow, kTruncate,
  kUpdate, kUse, kWaitfor, kWhile,
  kStatementLast = kWhile,
  // Other keywords.
  kAdd, kAfter, kAudit, kCase, kCatalog, kCatch, kCheck, kConstraint, kConversation, kCursor,
  kDatabase, kDateFirst, kDateFormat, kDefault, kDialog, kDistributed, kEncryption, kFor,
  kForeign, kFrom, kFulltext, kFunction, kGo, kImplicitTransactions, kIndex, kInsensitive,
  kInto, kJoin, kLanguage, kLog, kMemoryOptimized, kNoExec, kOf, kOff, kOn, kOr, kPeriod,
  kPrimary, kProc, kProcedure, kRule, kSchema, kScoped, kScroll, kTable, kTo, kTran,
  kTransaction, kTrigger, kTry, kUnique, kView, kWith, kWork, kXactAbort,
  // Words of the statement grammar (what ties a keyword to what came before).
  kAll, kAnd, kExcept, kIntersect, kIsolation, kNot, kRow, kRows, kStatistics, kThen, kUnion,
  kValues,
};

// The keyword `word` spells (any letter case), or kOther.
TsqlWord KeywordOf(std::u16string_view word);

struct TsqlToken {
  enum Kind : uint8_t {
    kWord,      // letters, digits, '_', '#', '$', '@@...' and numbers
    kVariable,  // @name
    kString,    // '...' or N'...', quotes included
    kName,      // [...] or "...", brackets or quotes included
    kSymbol,    // one character
    kSqlcmdVariable,  // $(name), a sqlcmd variable
  };
  Kind kind;
  TsqlWord word;    // for kWord
  // The first token of a statement: a statement keyword (or a CTE's WITH)
  // where a statement starts, and where one must start (after ';', BEGIN,
  // ELSE, END, a label, at the batch's start) any word or quoted name (a
  // procedure called without EXEC, a label).
  bool statement;
  bool line_start;  // the first token on its line (blanks may stand before it)
  int32_t paren;    // open parentheses before it, in the batch
  int32_t depth;    // open BEGIN/TRY/CATCH/CASE blocks before it
  int32_t catches;  // of those, CATCH blocks
  // The token; a string or name that the part's end cuts runs to that end.
  std::u16string_view text;
};

// Whether `t` is the symbol `c`.
bool IsSymbol(const TsqlToken& t, char16_t c);
// Whether `t` is the word `lower`, in any letter case (`lower` is ASCII).
bool IsWord(const TsqlToken& t, std::u16string_view lower);
// Appends the text of the string literal `literal` ('...' or N'...') to
// `*out`: quotes off, '' undoubled, as EXEC('...') runs it.
void AppendLiteralText(std::u16string_view literal, std::u16string* out);

// What a batch is inside of at the end of what was read so far (a
// backquoted name or a dollar string only by another database's rules).
using TsqlOpen = TextOpen;

class TsqlReader {
 public:
  // Comments, strings and names are read by `rules` (another database's,
  // for its entities); words and the statement grammar are T-SQL's.
  explicit TsqlReader(const LexicalRules& rules = kTsqlRules) : scanner_(rules) {}
  TsqlReader(const TsqlReader&) = delete;
  TsqlReader& operator=(const TsqlReader&) = delete;

  // Reads the next part of the batch. `visitor` receives, in text order,
  //   void Token(const TsqlToken&)
  //   void Comment(const char16_t* begin, const char16_t* end)
  // (a comment cut by the part's end is given up to it, and its rest with
  // the next part). Views point into `part`. A visitor may also have
  //   bool Skim() const
  // and while it answers true its tokens carry only kind, text, line_start
  // and the word kGo, and do not count for statements and nesting (for the
  // rest of a batch that is a routine's body).
  template <class Visitor>
  void Read(std::u16string_view part, Visitor& visitor);

  // Reads the next part of the batch for open() and opened_at() alone: only
  // comments, strings and quoted names are followed, several times faster
  // than Read. Not to be mixed with Read on one reader. Read and Follow
  // stand on one lexical core, SqlScanner, with the reader's rules.
  void Follow(std::u16string_view part) { scanner_.Follow(part); }

  // What the batch read so far ends inside of, and where that comment,
  // string or name opened (in the part that opened it; null for kNothing).
  TsqlOpen open() const { return scanner_.open(); }
  const char16_t* opened_at() const { return scanner_.opened_at(); }

  // After Read: where the outermost BEGIN ... END, TRY, CATCH or CASE block
  // still open at the end of what was read opened (null when none), and
  // that block's first word; where the first END that closed nothing stood.
  // Routine bodies (skimmed) do not count.
  const char16_t* open_block_at() const;
  std::u16string_view open_block_word() const;
  const char16_t* unmatched_end_at() const {
    return unmatched_end_at_ != nullptr || !pending_end_ || depth_ > 0 ? unmatched_end_at_
                                                                        : end_at_;
  }

 private:
  // Statement position and nesting for the token of `kind` at `text`
  // (`size` code units). Its parts go in registers, not in a record.
  void Classify(TsqlToken::Kind kind, const char16_t* text, size_t size, TsqlToken* token);
  void Skimmed(TsqlToken::Kind kind, const char16_t* text, size_t size, TsqlToken* token);
  // The statement grammar's steps (tsql_grammar.cpp).
  bool Binds(const TsqlToken& token) const;
  void StartForm(TsqlWord word);
  bool Continues(TsqlWord word);
  void Advance(TsqlToken::Kind kind, TsqlWord word, const char16_t* text);

  static constexpr int kMaxFrames = 256;
  enum Frame : uint8_t { kBlock, kTryFrame, kCatchFrame, kCaseFrame };

  SqlScanner scanner_;
  bool line_start_ = true;
  // The statement grammar, as far as the checks need it.
  bool expect_statement_ = true;
  bool binding_previous_ = false;  // the previous token ties a keyword to it
  TsqlWord previous_word_ = TsqlWord::kOther;  // of the previous token, kOther for non-words
  bool previous_colon_ = false;
  // The form of the statement in progress at its own parenthesis level, for
  // the statement keywords that continue it (tsql_grammar.cpp).
  uint8_t form_ = 0;
  uint8_t form_step_ = 0;
  bool set_clause_ = false;  // ON and OFF end a SET clause's option
  bool pending_begin_ = false;
  bool pending_end_ = false;
  int32_t paren_ = 0;
  int32_t depth_ = 0;
  int32_t catches_ = 0;
  Frame frames_[kMaxFrames] = {};
  // Where the outermost block opened, the BEGIN waiting for its next word,
  // the END waiting for its own, and the first END that closed nothing.
  const char16_t* outermost_at_ = nullptr;
  const char16_t* begin_at_ = nullptr;
  const char16_t* end_at_ = nullptr;
  const char16_t* unmatched_end_at_ = nullptr;
};

}  // namespace corvalen

#include "tsql/tsql_reader_inl.h"

#endif  // CORVALEN_TSQL_TSQL_READER_H_
