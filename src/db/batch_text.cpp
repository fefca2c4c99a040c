#include "db/batch_text.h"

#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {

void RefuseNulCharacter(std::u16string_view text) {
  const size_t nul = text.find(u'\0');
  if (nul == std::u16string_view::npos) return;
  long long line = 1;
  for (size_t i = 0; i < nul; ++i) {
    if (text[i] == u'\n' || (text[i] == u'\r' && text[i + 1] != u'\n')) ++line;
  }
  throw NumberedError(kErrDatabase, u"El texto SQL contiene un carácter nulo en la línea " +
                                        ToDecimal(line) + u" del lote.");
}

}  // namespace corvalen
