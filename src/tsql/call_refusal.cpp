#include "tsql/call_refusal.h"

#include "platform/utf.h"
#include "tsql/script_lines.h"
#include "tsql/tsql_reader.h"

namespace corvalen {

std::optional<CallRefusal> RefuseCall(std::u16string_view text,
                                      const std::vector<std::u16string_view>& pieces,
                                      const PieceGroup& group, const TextRules&) {
  // Only where comments and strings open and close matters here.
  TsqlReader reader;
  for (size_t k = group.first; k <= group.last; ++k) {
    reader.Follow(pieces[k]);
    reader.Follow(u"\r\n");
  }
  const char16_t* what = nullptr;
  const char16_t* msg = nullptr;
  switch (reader.open()) {
    case TsqlOpen::kNothing:
      return std::nullopt;
    case TsqlOpen::kBlockComment:
      what = u"un comentario /*";
      msg = u"113";
      break;
    case TsqlOpen::kString:
      what = u"un texto entre comillas";
      msg = u"105";
      break;
    case TsqlOpen::kBracketName:
      what = u"un nombre entre corchetes";
      msg = u"105";
      break;
    case TsqlOpen::kQuotedName:
      what = u"un nombre entre comillas dobles";
      msg = u"105";
      break;
  }
  // "renglón", not "línea": the failure's record reads "línea N" in a
  // message as a line of the call's text.
  const size_t opened = static_cast<size_t>(reader.opened_at() - text.data());
  return CallRefusal{opened, u"El lote termina dentro de " + std::u16string(what) +
                                u" abierto en el rengl\u00F3n " +
                                ToDecimal(LineCounter(text).LineAt(opened)) +
                                u" del archivo: SQL Server rechaza un lote as\u00ED (Msg " + msg +
                                u") y no se env\u00EDa."};
}

}  // namespace corvalen
