#include "check/go_lines.h"

#include <string>

namespace corvalen {
namespace {

bool IsIdentifierChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

}  // namespace

void JudgeGoLine(std::u16string_view text, std::u16string_view piece, FoundList* found) {
  const size_t go = static_cast<size_t>(piece.data() - text.data()) - 2;
  const std::u16string go_text(text.substr(go, 2));
  if (!piece.empty() && IsIdentifierChar(piece.front())) {
    size_t end = 0;
    while (end < piece.size() && end < 30 && IsIdentifierChar(piece[end])) ++end;
    found->Add({go, FindingLevel::kError,
                u"la línea empieza con \"" + go_text + std::u16string(piece.substr(0, end)) +
                    u"\": separa como un GO, en medio de lo que sea parte",
                std::nullopt});
    return;
  }
  size_t i = 0;
  while (i < piece.size() && (piece[i] == u' ' || piece[i] == u'\t')) ++i;
  if (i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9') {
    size_t end = i;
    while (end < piece.size() && end < i + 30 && piece[end] >= u'0' && piece[end] <= u'9') ++end;
    found->Add({go, FindingLevel::kError,
                go_text + u" " + std::u16string(piece.substr(i, end - i)) +
                    u": la ejecución no repite el lote; el número queda al principio de la "
                    u"pieza siguiente y SQL Server da error de sintaxis",
                std::nullopt});
  } else if (i < piece.size() && piece[i] == u';') {
    found->Add({go, FindingLevel::kNote,
                go_text + u";: el ; queda al principio de la pieza siguiente, donde no hace daño",
                std::nullopt});
  }
}

void JudgeGoInside(std::u16string_view text, const TsqlReader& reader, size_t go, bool call_ends,
                   FoundList* found) {
  const size_t opened = static_cast<size_t>(reader.opened_at() - text.data());
  if (reader.open() == TsqlOpen::kBlockComment) {
    if (call_ends) {
      found->Add({go, FindingLevel::kError,
                  u"línea GO dentro de un comentario /* abierto en la línea {línea}: la llamada "
                  u"termina dentro del comentario y la ejecución la rechaza",
                  opened});
    } else {
      found->Add({go, FindingLevel::kNote,
                  u"línea GO dentro de un comentario /* abierto en la línea {línea}: el corte lo "
                  u"parte, pero ambas mitades van en la misma llamada",
                  opened});
    }
    return;
  }
  found->Add({go, FindingLevel::kError,
              std::u16string(reader.open() == TsqlOpen::kString
                                 ? u"línea GO dentro de un texto entre comillas"
                                 : u"línea GO dentro de un nombre entre delimitadores") +
                  u" abierto en la línea {línea}: el corte lo parte" +
                  (call_ends ? u" y la ejecución rechaza la llamada" : u" y el GO se pierde"),
              opened});
}

void IndentedGo::Check(const TsqlToken& t) {
  if (t.word != TsqlWord::kGo || !t.line_start) return;
  const size_t at = static_cast<size_t>(t.text.data() - text_.data());
  if (at == 0) {
    found_->Add({at, FindingLevel::kError,
                 u"GO en la primera línea del archivo: no separa; la primera llamada empieza con "
                 u"GO, que SQL Server lee como la llamada a un procedimiento llamado GO (Msg "
                 u"2812). Quite esa línea",
                 std::nullopt});
  } else if (text_[at - 1] == u' ' || text_[at - 1] == u'\t') {
    found_->Add({at, FindingLevel::kError, u"GO con blancos delante: no separa", std::nullopt});
  }
}

}  // namespace corvalen
