#include "tsql/call_refusal.h"

#include "platform/utf.h"
#include "tsql/script_lines.h"
#include "tsql/transaction_statements.h"

namespace corvalen {
namespace {

// "renglón", not "línea": the failure's record reads "línea N" in a message
// as a line of the call's text.
std::u16string LineOf(std::u16string_view text, size_t at) {
  return u"rengl\u00F3n " + ToDecimal(LineCounter(text).LineAt(at)) + u" del archivo";
}

// What the text ends inside of, for the message.
std::u16string OpenThing(const SqlScanner& scanner) {
  switch (scanner.open()) {
    case TextOpen::kBlockComment:
      return u"un comentario /*";
    case TextOpen::kString:
      return u"un texto entre comillas";
    case TextOpen::kBracketName:
      return u"un nombre entre corchetes";
    case TextOpen::kQuotedName:
      return u"un nombre entre comillas dobles";
    case TextOpen::kBackquoteName:
      return u"un nombre entre comillas invertidas";
    case TextOpen::kDollarString: {
      const char16_t* p = scanner.opened_at();
      size_t n = 1;
      while (p[n] != u'$') ++n;
      return u"un texto entre " + std::u16string(p, n + 1);
    }
    case TextOpen::kNothing:
      break;
  }
  return u"";
}

// Why the database would take such a text otherwise than the script says.
std::u16string WhyNotSent(Dialect dialect, TextOpen open) {
  switch (dialect) {
    case Dialect::kSqlServer:
      return std::u16string(u"SQL Server rechaza un lote as\u00ED (Msg ") +
             (open == TextOpen::kBlockComment ? u"113" : u"105") + u")";
    case Dialect::kPostgresql:
      return u"PostgreSQL rechaza un lote as\u00ED";
    case Dialect::kSqlite:
      return u"SQLite ejecutar\u00EDa lo que viene antes";
  }
  return u"";
}

}  // namespace

std::optional<CallRefusal> RefuseCall(std::u16string_view text,
                                      const std::vector<std::u16string_view>& pieces,
                                      const PieceGroup& group, const TextRules& rules) {
  // Only where comments and strings open and close matters here.
  SqlScanner scanner(LexicalRulesOf(rules));
  for (size_t k = group.first; k <= group.last; ++k) {
    scanner.Follow(pieces[k]);
    scanner.Follow(u"\r\n");
  }
  if (const char16_t* nested = scanner.nested_opener_at()) {
    const size_t at = static_cast<size_t>(nested - text.data());
    return CallRefusal{at, u"El lote tiene un /* dentro de un comentario en el " +
                               LineOf(text, at) +
                               u": comentario dentro de un comentario: SQLite lo cierra en el "
                               u"primer */ y ejecutar\u00EDa lo que sigue. No se env\u00EDa."};
  }
  if (scanner.open() != TextOpen::kNothing) {
    const size_t at = static_cast<size_t>(scanner.opened_at() - text.data());
    return CallRefusal{at, u"El lote termina dentro de " + OpenThing(scanner) +
                               u" abierto en el " + LineOf(text, at) + u": " +
                               WhyNotSent(rules.dialect, scanner.open()) +
                               u" y no se env\u00EDa."};
  }
  if (rules.dialect == Dialect::kPostgresql) {
    return RefuseTransactionStatement(text, pieces, group, rules);
  }
  return std::nullopt;
}

std::optional<CallRefusal> RefuseTransactionStatement(
    std::u16string_view text, const std::vector<std::u16string_view>& pieces,
    const PieceGroup& group, const TextRules& rules) {
  const std::vector<TransactionStatement> found = TransactionStatements(text, pieces, group, rules);
  if (found.empty()) return std::nullopt;
  const TransactionStatement& first = found.front();
  return CallRefusal{first.at, first.name + u" en el " + LineOf(text, first.at) +
                                   u": un script no puede terminar ni abrir la transacci\u00F3n "
                                   u"de la actualizaci\u00F3n, en la que corre entero; el lote "
                                   u"no se env\u00EDa."};
}

}  // namespace corvalen
