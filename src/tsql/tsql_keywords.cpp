// Which keyword a word is: one lookup in a small open-addressing table.
#include <array>
#include <cstring>

#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

struct Keyword {
  const char* name;
  TsqlWord word;
};

constexpr Keyword kKeywords[] = {
    {"ALTER", TsqlWord::kAlter}, {"BACKUP", TsqlWord::kBackup}, {"BEGIN", TsqlWord::kBegin},
    {"BREAK", TsqlWord::kBreak}, {"BULK", TsqlWord::kBulk},
    {"CHECKPOINT", TsqlWord::kCheckpoint}, {"CLOSE", TsqlWord::kClose},
    {"COMMIT", TsqlWord::kCommit},
    {"CONTINUE", TsqlWord::kContinue}, {"CREATE", TsqlWord::kCreate}, {"DBCC", TsqlWord::kDbcc},
    {"DEALLOCATE", TsqlWord::kDeallocate}, {"DECLARE", TsqlWord::kDeclare},
    {"DELETE", TsqlWord::kDelete}, {"DENY", TsqlWord::kDeny}, {"DROP", TsqlWord::kDrop},
    {"ELSE", TsqlWord::kElse}, {"END", TsqlWord::kEnd}, {"EXEC", TsqlWord::kExec},
    {"EXECUTE", TsqlWord::kExecute}, {"FETCH", TsqlWord::kFetch}, {"GOTO", TsqlWord::kGoto},
    {"GRANT", TsqlWord::kGrant}, {"IF", TsqlWord::kIf}, {"INSERT", TsqlWord::kInsert},
    {"KILL", TsqlWord::kKill},
    {"MERGE", TsqlWord::kMerge}, {"OPEN", TsqlWord::kOpen}, {"PRINT", TsqlWord::kPrint},
    {"RAISERROR", TsqlWord::kRaiserror}, {"RECONFIGURE", TsqlWord::kReconfigure},
    {"RESTORE", TsqlWord::kRestore}, {"RETURN", TsqlWord::kReturn}, {"REVERT", TsqlWord::kRevert},
    {"REVOKE", TsqlWord::kRevoke}, {"ROLLBACK", TsqlWord::kRollback},
    {"SAVE", TsqlWord::kSave}, {"SELECT", TsqlWord::kSelect}, {"SET", TsqlWord::kSet},
    {"THROW", TsqlWord::kThrow}, {"TRUNCATE", TsqlWord::kTruncate},
    {"UPDATE", TsqlWord::kUpdate}, {"USE", TsqlWord::kUse}, {"WAITFOR", TsqlWord::kWaitfor},
    {"WHILE", TsqlWord::kWhile},
    {"ADD", TsqlWord::kAdd}, {"AFTER", TsqlWord::kAfter}, {"AUDIT", TsqlWord::kAudit},
    {"CASE", TsqlWord::kCase}, {"CATALOG", TsqlWord::kCatalog}, {"CATCH", TsqlWord::kCatch},
    {"CHECK", TsqlWord::kCheck}, {"CONSTRAINT", TsqlWord::kConstraint},
    {"CONVERSATION", TsqlWord::kConversation}, {"CURSOR", TsqlWord::kCursor},
    {"DATABASE", TsqlWord::kDatabase}, {"DATEFIRST", TsqlWord::kDateFirst},
    {"DATEFORMAT", TsqlWord::kDateFormat}, {"DEFAULT", TsqlWord::kDefault},
    {"DIALOG", TsqlWord::kDialog}, {"DISTRIBUTED", TsqlWord::kDistributed},
    {"ENCRYPTION", TsqlWord::kEncryption}, {"FOR", TsqlWord::kFor},
    {"FOREIGN", TsqlWord::kForeign}, {"FROM", TsqlWord::kFrom},
    {"FULLTEXT", TsqlWord::kFulltext}, {"FUNCTION", TsqlWord::kFunction}, {"GO", TsqlWord::kGo},
    {"IMPLICIT_TRANSACTIONS", TsqlWord::kImplicitTransactions}, {"INDEX", TsqlWord::kIndex},
    {"INSENSITIVE", TsqlWord::kInsensitive}, {"INTO", TsqlWord::kInto},
    {"JOIN", TsqlWord::kJoin}, {"LANGUAGE", TsqlWord::kLanguage}, {"LOG", TsqlWord::kLog},
    {"MEMORY_OPTIMIZED", TsqlWord::kMemoryOptimized}, {"NOEXEC", TsqlWord::kNoExec},
    {"OF", TsqlWord::kOf}, {"OFF", TsqlWord::kOff}, {"ON", TsqlWord::kOn}, {"OR", TsqlWord::kOr},
    {"PERIOD", TsqlWord::kPeriod}, {"PRIMARY", TsqlWord::kPrimary}, {"PROC", TsqlWord::kProc},
    {"PROCEDURE", TsqlWord::kProcedure}, {"RULE", TsqlWord::kRule},
    {"SCHEMA", TsqlWord::kSchema}, {"SCOPED", TsqlWord::kScoped},
    {"SCROLL", TsqlWord::kScroll}, {"TABLE", TsqlWord::kTable}, {"TO", TsqlWord::kTo},
    {"TRAN", TsqlWord::kTran}, {"TRANSACTION", TsqlWord::kTransaction},
    {"TRIGGER", TsqlWord::kTrigger}, {"TRY", TsqlWord::kTry}, {"UNIQUE", TsqlWord::kUnique},
    {"VIEW", TsqlWord::kView}, {"WITH", TsqlWord::kWith}, {"WORK", TsqlWord::kWork},
    {"XACT_ABORT", TsqlWord::kXactAbort},
    {"ALL", TsqlWord::kAll}, {"AND", TsqlWord::kAnd}, {"EXCEPT", TsqlWord::kExcept},
    {"INTERSECT", TsqlWord::kIntersect}, {"ISOLATION", TsqlWord::kIsolation},
    {"NOT", TsqlWord::kNot}, {"ROW", TsqlWord::kRow}, {"ROWS", TsqlWord::kRows},
    {"STATISTICS", TsqlWord::kStatistics}, {"THEN", TsqlWord::kThen},
    {"UNION", TsqlWord::kUnion}, {"VALUES", TsqlWord::kValues},
};

constexpr size_t kLongestKeyword = 21;
constexpr size_t kSlots = 512;

size_t Hash(const char* up, size_t n) {
  return (n * 131 + static_cast<size_t>(up[0]) * 31 + static_cast<size_t>(up[n - 1]) * 7 +
          static_cast<size_t>(up[1])) %
         kSlots;
}

// Open addressing over kSlots; a slot holds an index into kKeywords plus one.
struct KeywordTable {
  std::array<uint8_t, kSlots> slot{};
  std::array<uint8_t, kSlots> length{};  // of the slot's keyword
  KeywordTable() {
    for (size_t k = 0; k < std::size(kKeywords); ++k) {
      const char* name = kKeywords[k].name;
      size_t h = Hash(name, std::strlen(name));
      while (slot[h] != 0) h = (h + 1) % kSlots;
      slot[h] = static_cast<uint8_t>(k + 1);
      length[h] = static_cast<uint8_t>(std::strlen(name));
    }
  }
};

const KeywordTable& Table() {
  static const KeywordTable table;
  return table;
}

}  // namespace

TsqlWord KeywordOf(std::u16string_view word) {
  const size_t n = word.size();
  if (n < 2 || n > kLongestKeyword) return TsqlWord::kOther;
  char up[kLongestKeyword];
  for (size_t k = 0; k < n; ++k) {
    char16_t c = word[k];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (!((c >= u'A' && c <= u'Z') || c == u'_')) return TsqlWord::kOther;
    up[k] = static_cast<char>(c);
  }
  const KeywordTable& table = Table();
  for (size_t h = Hash(up, n); table.slot[h] != 0; h = (h + 1) % kSlots) {
    const Keyword& k = kKeywords[table.slot[h] - 1];
    if (table.length[h] == n && std::memcmp(k.name, up, n) == 0) return k.word;
  }
  return TsqlWord::kOther;
}

}  // namespace corvalen
