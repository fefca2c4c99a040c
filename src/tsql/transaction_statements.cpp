#include "tsql/transaction_statements.h"

#include <cstdint>

namespace corvalen {
namespace {

// The words that matter here.
enum class Word : uint8_t {
  kOther, kAbort, kBegin, kCase, kCommit, kCreate, kEnd, kFor, kFunction, kIf, kLoop, kPrepare,
  kPrepared, kProcedure, kRepeat, kRollback, kStart, kTo, kTransaction, kTrigger, kWhile, kWork
};

Word WordOf(std::u16string_view text) {
  static constexpr struct {
    std::u16string_view name;
    Word word;
  } kWords[] = {
      {u"ABORT", Word::kAbort},       {u"BEGIN", Word::kBegin},
      {u"CASE", Word::kCase},         {u"COMMIT", Word::kCommit},
      {u"CREATE", Word::kCreate},     {u"END", Word::kEnd},
      {u"FOR", Word::kFor},           {u"FUNCTION", Word::kFunction},
      {u"IF", Word::kIf},             {u"LOOP", Word::kLoop},
      {u"PREPARE", Word::kPrepare},   {u"PREPARED", Word::kPrepared},
      {u"PROCEDURE", Word::kProcedure}, {u"REPEAT", Word::kRepeat},
      {u"ROLLBACK", Word::kRollback}, {u"START", Word::kStart},
      {u"TO", Word::kTo},             {u"TRANSACTION", Word::kTransaction},
      {u"TRIGGER", Word::kTrigger},   {u"WHILE", Word::kWhile},
      {u"WORK", Word::kWork},
  };
  if (text.size() < 2 || text.size() > 11) return Word::kOther;
  for (const auto& entry : kWords) {
    if (entry.name.size() != text.size()) continue;
    size_t k = 0;
    while (k < text.size() && (text[k] & ~char16_t{0x20}) == entry.name[k]) ++k;
    if (k == text.size()) return entry.word;
  }
  return Word::kOther;
}

// One token of code: a word, a symbol, or a string or name (kOther).
struct Token {
  Word word = Word::kOther;
  char16_t symbol = 0;  // ';', '(' or ')'
  const char16_t* at = nullptr;
};

// Reads a call's statements token by token and keeps the transaction ones.
class StatementReader {
 public:
  StatementReader(std::u16string_view text, const LexicalRules& rules)
      : text_(text), scanner_(rules) {}

  void Read(std::u16string_view part) {
    const char16_t* p = part.data();
    const char16_t* const end = p + part.size();
    const char16_t* begin = p;
    const SqlScanner::Lexeme resumed = scanner_.Resume(p, end);
    if (resumed != SqlScanner::kCode && resumed != SqlScanner::kComment &&
        scanner_.open() == TextOpen::kNothing) {
      Take(Token{Word::kOther, 0, begin});
    }
    while (p < end) {
      const char16_t c = *p;
      const char16_t* const start = p;
      if (scanner_.MayOpen(c)) {
        const SqlScanner::Lexeme lexeme = scanner_.Open(part.data(), p, end);
        if (lexeme == SqlScanner::kComment) continue;
        if (lexeme != SqlScanner::kCode) {
          Take(Token{Word::kOther, 0, start});
          continue;
        }
      }
      if (scan_detail::IsWordChar(c)) {
        ++p;
        while (p < end && scan_detail::IsWordChar(*p)) ++p;
        Take(Token{WordOf(std::u16string_view(start, static_cast<size_t>(p - start))), 0, start});
        continue;
      }
      ++p;
      if (c == u';' || c == u'(' || c == u')') Take(Token{Word::kOther, c, start});
      else if (c > u' ') Take(Token{Word::kOther, u'.', start});
    }
  }

  // The call's end ends its last statement.
  std::vector<TransactionStatement> End() {
    EndStatement();
    return std::move(found_);
  }

 private:
  void Take(const Token& token) {
    if (pending_end_) {
      pending_end_ = false;
      const Word w = token.word;
      if (w != Word::kIf && w != Word::kLoop && w != Word::kWhile && w != Word::kRepeat &&
          w != Word::kFor && depth_ > 0) {
        --depth_;
      }
    }
    if (lead_ == Word::kOther && !first_) {
      Body(token);
    } else if (first_) {
      first_ = false;
      lead_ = token.word;
      lead_at_ = token.at;
      if (lead_ == Word::kBegin || lead_ == Word::kEnd || lead_ == Word::kAbort) {
        Found(lead_ == Word::kBegin ? u"BEGIN" : lead_ == Word::kEnd ? u"END" : u"ABORT");
      } else if (lead_ != Word::kStart && lead_ != Word::kPrepare && lead_ != Word::kCommit &&
                 lead_ != Word::kRollback && lead_ != Word::kCreate) {
        lead_ = Word::kOther;
      }
      if (token.symbol == u';') EndStatement();
      if (token.symbol == u'(') ++paren_;
    } else {
      Decide(token);
      Body(token);
    }
  }

  // The second and later tokens of a statement whose first word may make it
  // a transaction statement.
  void Decide(const Token& token) {
    const Word w = token.word;
    switch (lead_) {
      case Word::kStart:
        if (w == Word::kTransaction) Found(u"START TRANSACTION");
        break;
      case Word::kPrepare:
        if (w == Word::kTransaction) Found(u"PREPARE TRANSACTION");
        break;
      case Word::kCommit:
        Found(w == Word::kPrepared ? u"COMMIT PREPARED" : u"COMMIT");
        break;
      case Word::kRollback:
        if (w == Word::kWork || w == Word::kTransaction) return;  // still undecided
        if (w != Word::kTo) Found(w == Word::kPrepared ? u"ROLLBACK PREPARED" : u"ROLLBACK");
        break;
      case Word::kCreate:
        if (w == Word::kFunction || w == Word::kProcedure || w == Word::kTrigger) routine_ = true;
        return;  // stays a CREATE for the body's words
      default:
        return;
    }
    lead_ = Word::kOther;
  }

  // Parentheses, routine bodies and the statement's end.
  void Body(const Token& token) {
    if (token.symbol == u'(') {
      ++paren_;
    } else if (token.symbol == u')') {
      if (paren_ > 0) --paren_;
    } else if (token.symbol == u';') {
      if (paren_ == 0 && depth_ == 0) EndStatement();
    } else if (routine_ && paren_ == 0) {
      if (token.word == Word::kBegin || (token.word == Word::kCase && depth_ > 0)) ++depth_;
      if (token.word == Word::kEnd && depth_ > 0) pending_end_ = true;
    }
  }

  void EndStatement() {
    if (!first_) {
      if (lead_ == Word::kCommit) Found(u"COMMIT");
      if (lead_ == Word::kRollback) Found(u"ROLLBACK");
    }
    first_ = true;
    lead_ = Word::kOther;
    routine_ = false;
    pending_end_ = false;
    depth_ = 0;
    paren_ = 0;
  }

  void Found(const char16_t* name) {
    found_.push_back(TransactionStatement{static_cast<size_t>(lead_at_ - text_.data()), name});
    lead_ = Word::kOther;
  }

  std::u16string_view text_;
  SqlScanner scanner_;
  std::vector<TransactionStatement> found_;
  bool first_ = true;               // the next token starts a statement
  Word lead_ = Word::kOther;        // its first word, while it may still matter
  const char16_t* lead_at_ = nullptr;
  bool routine_ = false;            // a CREATE FUNCTION, PROCEDURE or TRIGGER
  bool pending_end_ = false;        // an END inside its body, closing what follows decides
  int32_t depth_ = 0;               // open BEGIN and CASE blocks of its body
  int32_t paren_ = 0;
};

}  // namespace

std::vector<TransactionStatement> TransactionStatements(
    std::u16string_view text, const std::vector<std::u16string_view>& pieces,
    const PieceGroup& group, const TextRules& rules) {
  if (rules.dialect == Dialect::kSqlServer) return {};
  StatementReader reader(text, LexicalRulesOf(rules));
  for (size_t k = group.first; k <= group.last; ++k) {
    reader.Read(pieces[k]);
    reader.Read(u"\r\n");
  }
  return reader.End();
}

}  // namespace corvalen
