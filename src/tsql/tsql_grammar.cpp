// The statement grammar of TsqlReader, as far as the checks need it: which
// keywords a word is, where a statement starts, and the nesting of BEGIN ...
// END, TRY / CATCH and CASE.
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
    {"BREAK", TsqlWord::kBreak}, {"CLOSE", TsqlWord::kClose}, {"COMMIT", TsqlWord::kCommit},
    {"CONTINUE", TsqlWord::kContinue}, {"CREATE", TsqlWord::kCreate}, {"DBCC", TsqlWord::kDbcc},
    {"DEALLOCATE", TsqlWord::kDeallocate}, {"DECLARE", TsqlWord::kDeclare},
    {"DELETE", TsqlWord::kDelete}, {"DENY", TsqlWord::kDeny}, {"DROP", TsqlWord::kDrop},
    {"ELSE", TsqlWord::kElse}, {"END", TsqlWord::kEnd}, {"EXEC", TsqlWord::kExec},
    {"EXECUTE", TsqlWord::kExecute}, {"FETCH", TsqlWord::kFetch}, {"GOTO", TsqlWord::kGoto},
    {"GRANT", TsqlWord::kGrant}, {"IF", TsqlWord::kIf}, {"INSERT", TsqlWord::kInsert},
    {"MERGE", TsqlWord::kMerge}, {"OPEN", TsqlWord::kOpen}, {"PRINT", TsqlWord::kPrint},
    {"RAISERROR", TsqlWord::kRaiserror}, {"RECONFIGURE", TsqlWord::kReconfigure},
    {"RESTORE", TsqlWord::kRestore}, {"RETURN", TsqlWord::kReturn},
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

// Tokens after which a statement keyword is part of what came before:
// `WITH ROLLBACK IMMEDIATE`, `GRANT CREATE TABLE`, `CREATE OR ALTER`,
// `ON DELETE`, `INSERT INTO`, `x.UPDATE`, `(SELECT ...`.
bool Binds(const TsqlToken& t) {
  if (t.kind == TsqlToken::kSymbol) {
    switch (t.text[0]) {
      case u'.': case u'(': case u',': case u'=': case u'<': case u'>': case u'!': case u'+':
      case u'-': case u'*': case u'/': case u'%': case u'&': case u'|': case u'^': case u'~':
      case u':':
        return true;
      default:
        return false;
    }
  }
  if (t.kind != TsqlToken::kWord) return false;
  switch (t.word) {
    case TsqlWord::kWith: case TsqlWord::kGrant: case TsqlWord::kDeny: case TsqlWord::kRevoke:
    case TsqlWord::kOn: case TsqlWord::kFor: case TsqlWord::kAfter: case TsqlWord::kOf:
    case TsqlWord::kInto: case TsqlWord::kFrom: case TsqlWord::kJoin: case TsqlWord::kTo:
    case TsqlWord::kOr:
      return true;
    default:
      return false;
  }
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

void TsqlReader::Classify(TsqlToken::Kind kind, const char16_t* text, size_t size,
                          TsqlToken* t) {
  const std::u16string_view word(text, size);
  t->kind = kind;
  t->text = word;
  t->line_start = line_start_;
  line_start_ = false;
  t->word = kind == TsqlToken::kWord ? KeywordOf(word) : TsqlWord::kOther;
  t->statement = false;
  const TsqlWord w = t->word;
  bool starts = expect_statement_;
  bool consumed = false;  // the word completes BEGIN or END
  expect_statement_ = false;
  auto push = [&](Frame f) {
    if (depth_ < kMaxFrames) frames_[depth_] = f;
    ++depth_;
    if (f == kCatchFrame) ++catches_;
  };
  if (pending_begin_) {
    pending_begin_ = false;
    if (w == TsqlWord::kTry || w == TsqlWord::kCatch) {
      push(w == TsqlWord::kTry ? kTryFrame : kCatchFrame);
      consumed = true;
    } else if (w != TsqlWord::kTran && w != TsqlWord::kTransaction &&
               w != TsqlWord::kDistributed && w != TsqlWord::kDialog &&
               w != TsqlWord::kConversation) {
      push(kBlock);
      starts = true;
    }
  } else if (pending_end_) {
    pending_end_ = false;
    if (w != TsqlWord::kConversation && depth_ > 0) {
      --depth_;
      if (depth_ < kMaxFrames && frames_[depth_] == kCatchFrame) --catches_;
      if (w == TsqlWord::kTry || w == TsqlWord::kCatch) {
        consumed = true;
      } else {
        starts = true;
      }
    }
  }
  t->paren = paren_;
  t->depth = depth_;
  t->catches = catches_;
  if (consumed) {
    expect_statement_ = true;
  } else if (kind == TsqlToken::kWord) {
    if (w != TsqlWord::kOther && w <= TsqlWord::kStatementLast) {
      t->statement = starts || !binding_previous_;
    }
    if (w == TsqlWord::kCase) {
      push(kCaseFrame);
    } else if (w == TsqlWord::kEnd) {
      if (depth_ > 0 && depth_ <= kMaxFrames && frames_[depth_ - 1] == kCaseFrame) {
        --depth_;  // the END of a CASE expression
        t->statement = false;
      } else {
        pending_end_ = true;
      }
    } else if (w == TsqlWord::kBegin && t->statement) {
      pending_begin_ = true;
    } else if (w == TsqlWord::kElse) {
      expect_statement_ = true;
    }
  } else if (kind == TsqlToken::kSymbol) {
    const char16_t c = text[0];
    if (c == u';') {
      expect_statement_ = true;
    } else if (c == u'(') {
      ++paren_;
    } else if (c == u')' && paren_ > 0) {
      --paren_;
    }
  }
  binding_previous_ = Binds(*t);
}

}  // namespace corvalen
