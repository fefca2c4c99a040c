#include "check/sqlcmd_rules.h"

#include <string>

namespace corvalen {
namespace {

// The first $(name) inside a string or a quoted name, or an empty view.
std::u16string_view SqlcmdVariableIn(std::u16string_view text) {
  for (size_t at = text.find(u"$("); at != std::u16string_view::npos;
       at = text.find(u"$(", at + 2)) {
    size_t end = at + 2;
    while (end < text.size() && tsql_detail::IsWordChar(text[end])) ++end;
    if (end > at + 2 && end < text.size() && text[end] == u')') {
      return text.substr(at, end + 1 - at);
    }
  }
  return {};
}

bool IsAgentToken(std::u16string_view variable) {
  return variable.size() > 9 && variable.substr(2, 7) == u"ESCAPE_";
}

}  // namespace

void SqlcmdRules::Check(const TsqlToken& t) {
  if (reporter_.inner()) return;
  switch (t.kind) {
    case TsqlToken::kName: case TsqlToken::kString: {
      if (t.text.find(u'$') == std::u16string_view::npos) return;
      const std::u16string_view variable = SqlcmdVariableIn(t.text);
      if (variable.empty() || IsAgentToken(variable)) return;
      const size_t at = reporter_.Pos(variable.data());
      if (t.kind == TsqlToken::kName) {
        reporter_.Error(at, u"variable de sqlcmd " + std::u16string(variable) +
                                u" dentro del nombre " + std::u16string(t.text) +
                                u": la ejecución no la sustituye y el nombre queda tal cual");
      } else {
        reporter_.Note(at, u"variable de sqlcmd " + std::u16string(variable) +
                               u" dentro de un texto: la ejecución no la sustituye y el texto va "
                               u"tal cual");
      }
      return;
    }
    case TsqlToken::kSqlcmdVariable:
      reporter_.Error(reporter_.Pos(t.text.data()),
                      u"variable de sqlcmd " + std::u16string(t.text) +
                          u": la ejecución no la sustituye y SQL Server da error de sintaxis");
      return;
    case TsqlToken::kSymbol: {
      if (!t.line_start) return;
      const char16_t* p = t.text.data();
      const bool colon = p[0] == u':' && ((p[1] | 0x20) >= u'a' && (p[1] | 0x20) <= u'z');
      const bool bang = p[0] == u'!' && p[1] == u'!';
      if (!colon && !bang) return;
      size_t end = 1;
      while (p[end] != u'\r' && p[end] != u'\n' && p[end] != 0 && end < 20) ++end;
      reporter_.Error(reporter_.Pos(p), u"directiva de sqlcmd (" + std::u16string(p, end) +
                                            u"): la ejecución la manda tal cual a la base de "
                                            u"datos, que da error de sintaxis");
      return;
    }
    default:
      return;
  }
}

}  // namespace corvalen
