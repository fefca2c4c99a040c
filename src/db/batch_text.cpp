#include "db/batch_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {

namespace {

// Whether `text` holds a NUL. Every batch passes here before it is sent, so
// eight code units are tested at a time (GCC's and Clang's vector extensions).
bool HoldsNul(std::u16string_view text) {
  using Lanes = uint16_t __attribute__((vector_size(16)));
  using LaneMask = int16_t __attribute__((vector_size(16)));
  constexpr size_t kLanes = 8;
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  LaneMask zero{};
  for (; static_cast<size_t>(end - p) >= kLanes; p += kLanes) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    zero |= v == 0;
  }
  uint64_t w[2];
  std::memcpy(w, &zero, sizeof w);
  if ((w[0] | w[1]) != 0) return true;
  return std::find(p, end, u'\0') != end;
}

}  // namespace

void RefuseNulCharacter(std::u16string_view text) {
  if (!HoldsNul(text)) return;
  const size_t nul = text.find(u'\0');
  long long line = 1;
  for (size_t i = 0; i < nul; ++i) {
    if (text[i] == u'\n' || (text[i] == u'\r' && text[i + 1] != u'\n')) ++line;
  }
  throw NumberedError(kErrDatabase, u"El texto SQL contiene un carácter nulo en la línea " +
                                        ToDecimal(line) + u" del lote.");
}

}  // namespace corvalen
