#include "update/script_text.h"

#include <unicode/uchar.h>

#include <array>

namespace corvalen {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr size_t kBlock = 16;

// The next position from `i` that holds a CR or an LF, or `n`. Whole blocks
// are tested without an early exit so that the compiler vectorises the test.
size_t NextLineBreak(const char16_t* t, size_t i, size_t n) {
  while (n - i >= kBlock) {
    bool any = false;
    for (size_t k = 0; k < kBlock; ++k) any |= (t[i + k] == kCr) | (t[i + k] == kLf);
    if (any) break;
    i += kBlock;
  }
  while (i < n && t[i] != kCr && t[i] != kLf) ++i;
  return i;
}

// The next position from `i` that holds a CR, or `n`.
size_t NextCr(const char16_t* t, size_t i, size_t n) {
  while (n - i >= kBlock) {
    bool any = false;
    for (size_t k = 0; k < kBlock; ++k) any |= (t[i + k] == kCr);
    if (any) break;
    i += kBlock;
  }
  while (i < n && t[i] != kCr) ++i;
  return i;
}

// "go", "Go" or "gO": the spellings that the replacements look for.
bool IsMixedCaseGo(char16_t a, char16_t b) {
  return (a == u'g' && (b == u'o' || b == u'O')) || (a == u'G' && b == u'o');
}

// Whether a replacement starts at `i`, which holds a CR or an LF.
//
// Why one pass gives the result of the replacements applied one after the
// other: every pattern is a CR or LF followed by a spelling of "go" with at
// least one lower-case letter, or CR LF before such a spelling. The text that
// replaces a match, CR LF "GO", cannot take part in any later match: its only
// letters are upper case, and a pattern starting at its CR or LF would need
// lower-case letters next. So each replacement acts on the original text,
// minus what earlier rows took. The rows of CR and of LF can never overlap
// (the character after a CR or LF of one match is a letter, never the CR or
// LF of another), and every CR LF "go" already had its LF "go" replaced, so
// the CR LF rows never find anything. What remains is: a CR or LF followed by
// "go", "Go" or "gO" becomes CR LF "GO". The final row (an upper-case "GO"
// after an LF that no CR precedes) looks at the character before the LF; had
// that character been replaced it would be a letter, so the original text
// decides it too, and the upper-case "GO" it needs is never part of a match.
bool ReplacementAt(const char16_t* t, size_t i, size_t n) {
  if (n - i < 3) return false;
  const char16_t a = t[i + 1];
  const char16_t b = t[i + 2];
  if (IsMixedCaseGo(a, b)) return true;
  return t[i] == kLf && a == u'G' && b == u'O' && (i == 0 || t[i - 1] != kCr);
}

// Code unit -> the upper-case ASCII letter that its simple upper-case mapping
// gives, or 0.
struct UpperAsciiTable {
  std::array<char, 0x10000> letter{};
  // Whether only 'c', 'a', 'p', 'f' (either case) map to the first letters of
  // the four words, which lets the scan skip ahead with a plain ASCII test.
  bool ascii_first_letters = true;

  UpperAsciiTable() {
    for (UChar32 c = 0; c < 0x10000; ++c) {
      UChar32 upper = u_toupper(c);
      if (upper < u'A' || upper > u'Z') continue;
      letter[static_cast<size_t>(c)] = static_cast<char>(upper);
      bool first = upper == u'C' || upper == u'A' || upper == u'P' || upper == u'F';
      if (first && c != upper && c != upper + 0x20) ascii_first_letters = false;
    }
  }
};

const UpperAsciiTable& UpperAscii() {
  static const UpperAsciiTable table;
  return table;
}

bool IsFirstLetter(char16_t c) {
  const char16_t lower = c | 0x20;
  return lower == u'c' || lower == u'a' || lower == u'p' || lower == u'f';
}

// The next position from `i` whose code unit may begin one of the words.
size_t NextCandidate(const char16_t* t, size_t i, size_t n) {
  while (n - i >= kBlock) {
    bool any = false;
    for (size_t k = 0; k < kBlock; ++k) any |= IsFirstLetter(t[i + k]);
    if (any) break;
    i += kBlock;
  }
  while (i < n && !IsFirstLetter(t[i])) ++i;
  return i;
}

bool WordAt(const std::array<char, 0x10000>& upper, const char16_t* t, size_t i, size_t n,
            std::string_view word) {
  if (n - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (upper[t[i + k]] != word[k]) return false;
  }
  return true;
}

}  // namespace

void NormaliseSeparators(std::u16string* text) {
  const char16_t* t = text->data();
  const size_t n = text->size();
  size_t replacements = 0;
  for (size_t i = NextLineBreak(t, 0, n); i < n; i = NextLineBreak(t, i + 1, n)) {
    if (ReplacementAt(t, i, n)) ++replacements;
  }
  if (replacements == 0) return;

  // Each replacement turns three code units into four.
  std::u16string out;
  out.reserve(n + replacements);
  size_t copied = 0;
  for (size_t i = NextLineBreak(t, 0, n); i < n; i = NextLineBreak(t, i + 1, n)) {
    if (!ReplacementAt(t, i, n)) continue;
    out.append(t + copied, i - copied);
    out.append(kSeparator);
    copied = i + 3;
    i += 2;
  }
  out.append(t + copied, n - copied);
  *text = std::move(out);
}

std::vector<std::u16string_view> SplitAtSeparators(std::u16string_view text) {
  std::vector<std::u16string_view> pieces;
  if (text.empty()) return pieces;
  const char16_t* t = text.data();
  const size_t n = text.size();
  size_t start = 0;
  for (size_t i = NextCr(t, 0, n); i < n; i = NextCr(t, i + 1, n)) {
    if (text.compare(i, kSeparator.size(), kSeparator) != 0) continue;
    pieces.emplace_back(t + start, i - start);
    start = i + kSeparator.size();
    i = start - 1;
  }
  pieces.emplace_back(t + start, n - start);
  return pieces;
}

bool CreatesRoutine(std::u16string_view piece) {
  const UpperAsciiTable& table = UpperAscii();
  const auto& upper = table.letter;
  const char16_t* t = piece.data();
  const size_t n = piece.size();
  bool verb = false;    // CREATE or ALTER
  bool object = false;  // PROCEDURE or FUNCTION
  for (size_t i = table.ascii_first_letters ? NextCandidate(t, 0, n) : 0; i < n;
       i = table.ascii_first_letters ? NextCandidate(t, i + 1, n) : i + 1) {
    switch (upper[t[i]]) {
      case 'C': verb = verb || WordAt(upper, t, i, n, "CREATE"); break;
      case 'A': verb = verb || WordAt(upper, t, i, n, "ALTER"); break;
      case 'P': object = object || WordAt(upper, t, i, n, "PROCEDURE"); break;
      case 'F': object = object || WordAt(upper, t, i, n, "FUNCTION"); break;
      default: break;
    }
    if (verb && object) return true;
  }
  return false;
}

}  // namespace corvalen
