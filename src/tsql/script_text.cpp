#include "tsql/script_text.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/wide_string.h"
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// Eight code units at a time, with the vector extensions of GCC and Clang,
// which compile to SIMD instructions on every target they support. The scans
// below test whole groups of eight and look at single code units only in the
// group where something may begin.
using Lanes = uint16_t __attribute__((vector_size(16)));
using LaneMask = int16_t __attribute__((vector_size(16)));
constexpr size_t kLanes = 8;

Lanes Load(const char16_t* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool Any(LaneMask m) {
  uint64_t w[2];
  std::memcpy(w, &m, sizeof w);
  return (w[0] | w[1]) != 0;
}

bool IsLineBreak(char16_t c) { return c == kCr || c == kLf; }

// The next position from `i` that holds a CR or an LF followed by 'g' or
// 'G', or `n`: every replacement and every separator has one.
size_t NextGoCandidate(const char16_t* t, size_t i, size_t n) {
  while (n - i > kLanes) {
    const Lanes a = Load(t + i);
    const Lanes b = Load(t + i + 1) | 0x20;
    if (Any(((a == kCr) | (a == kLf)) & (b == u'g'))) break;
    i += kLanes;
  }
  for (; i + 1 < n; ++i) {
    if (IsLineBreak(t[i]) && (t[i + 1] | 0x20) == u'g') return i;
  }
  return n;
}

// "go", "Go" or "gO": the spellings that the replacements look for.
bool IsMixedCaseGo(char16_t a, char16_t b) {
  return (a == u'g' && (b == u'o' || b == u'O')) || (a == u'G' && b == u'o');
}

// Whether a replacement matches at `i`, which holds a CR or an LF; it takes
// the three code units from `i`.
bool ReplacementAt(const char16_t* t, size_t i, size_t n) {
  if (n - i < 3) return false;
  const char16_t a = t[i + 1];
  const char16_t b = t[i + 2];
  if (IsMixedCaseGo(a, b)) return true;
  return t[i] == kLf && a == u'G' && b == u'O' && (i == 0 || t[i - 1] != kCr);
}

// Whether an unchanged separator (CR LF "GO") has its LF at `i`.
bool SeparatorWithLfAt(const char16_t* t, size_t i, size_t n) {
  return i > 0 && n - i >= 3 && t[i - 1] == kCr && t[i] == kLf && t[i + 1] == u'G' &&
         t[i + 2] == u'O';
}

// Code unit -> the upper-case ASCII letter of its simple upper-case mapping,
// or 0.
struct UpperAsciiTable {
  std::array<char, 0x10000> letter{};

  UpperAsciiTable() {
    for (char32_t c = 0; c < 0x10000; ++c) {
      const char32_t upper = UpperCaseUnit(static_cast<char16_t>(c));
      if (upper >= u'A' && upper <= u'Z') letter[static_cast<size_t>(c)] = static_cast<char>(upper);
    }
  }
};

const UpperAsciiTable& UpperAscii() {
  static const UpperAsciiTable table;
  return table;
}

// The first two letters of a word, lower case.
struct Prefix {
  char16_t first;
  char16_t second;
  explicit Prefix(std::string_view word)
      : first(static_cast<char16_t>(word[0] | 0x20)),
        second(static_cast<char16_t>(word[1] | 0x20)) {}
};

// Whether a code unit may stand for the ASCII letter `lower`: the letter in
// either case, or any unit past ASCII (some of them map to an ASCII letter,
// as the dotless i maps to I; the table decides).
LaneMask MayBe(Lanes units, char16_t lower) {
  return ((units | 0x20) == lower) | ((units & 0xFF80) != 0);
}
bool MayBe(char16_t unit, char16_t lower) { return (unit | 0x20) == lower || unit >= 0x80; }

// The next position from `i` where `p` or `q` may begin, or `n`. Most text
// is skipped eight units at a time; the table checks the candidates.
size_t NextPrefix(const char16_t* t, size_t i, size_t n, Prefix p, Prefix q) {
  auto may_begin = [&](size_t at) {
    const Lanes a = Load(t + at);
    const Lanes b = Load(t + at + 1);
    return Any((MayBe(a, p.first) & MayBe(b, p.second)) | (MayBe(a, q.first) & MayBe(b, q.second)));
  };
  while (n - i > kLanes) {
    if (may_begin(i)) break;
    i += kLanes;
  }
  // The last eight positions, looked at together (again in part): most
  // pieces are short, and none of them holds a candidate.
  if (n - i <= kLanes && n > kLanes && !may_begin(n - 1 - kLanes)) return n;
  for (; i + 1 < n; ++i) {
    const char16_t a = t[i];
    const char16_t b = t[i + 1];
    if ((MayBe(a, p.first) && MayBe(b, p.second)) || (MayBe(a, q.first) && MayBe(b, q.second))) {
      return i;
    }
  }
  return n;
}

bool WordAt(const std::array<char, 0x10000>& upper, const char16_t* t, size_t i, size_t n,
            std::string_view word) {
  if (n - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (upper[t[i + k]] != word[k]) return false;
  }
  return true;
}

// Whether the upper-case text holds `v` or `w` (each of two letters or more).
bool ContainsEither(std::u16string_view text, std::string_view v, std::string_view w) {
  const UpperAsciiTable& table = UpperAscii();
  const char16_t* t = text.data();
  const size_t n = text.size();
  const Prefix p(v), q(w);
  for (size_t i = NextPrefix(t, 0, n, p, q); i < n; i = NextPrefix(t, i + 1, n, p, q)) {
    if (WordAt(table.letter, t, i, n, v) || WordAt(table.letter, t, i, n, w)) return true;
  }
  return false;
}

}  // namespace

// Why one pass over the original text gives the pieces of the normalised one.
//
// Normalising: every pattern is a CR or LF followed by a spelling of "go"
// with at least one lower-case letter, or CR LF before such a spelling. The
// text that replaces a match, CR LF "GO", cannot take part in any later
// match: its only letters are upper case, and a pattern starting at its CR or
// LF would need lower-case letters next. So each row acts on the original
// text minus what earlier rows took. Matches of the CR rows and the LF rows
// never overlap (what follows the CR or LF of a match is a letter, never the
// CR or LF of another), and every CR LF "go" already had its LF "go" replaced,
// so the CR LF rows never find anything. What remains is: a CR or LF followed
// by "go", "Go" or "gO" becomes CR LF "GO". The last row (an upper-case "GO"
// after an LF that no CR precedes) looks at the character before the LF; had
// that character been replaced it would be a letter, so the original text
// decides it too, and the "GO" it needs is never part of another match.
//
// Cutting: every replacement is itself a separator, removed whole by the
// cut, and the only other separators are the CR LF "GO" of the original text,
// which no replacement overlaps (at their CR no spelling of "go" follows,
// their LF follows a CR). Everything else is left as it was. So the pieces
// are the stretches of the original text between replacements and original
// separators. Each of them has a CR or LF followed by 'g' or 'G' (a separator
// at its LF), so one scan for that pair finds them all.
namespace {

// Calls `cut(at, length)` for each separator of the normalised text, in order.
template <class Cut>
void ForEachSeparator(const char16_t* t, size_t n, Cut cut) {
  for (size_t i = NextGoCandidate(t, 0, n); i < n; i = NextGoCandidate(t, i + 1, n)) {
    size_t at, length;
    if (ReplacementAt(t, i, n)) {
      at = i;
      length = 3;
    } else if (SeparatorWithLfAt(t, i, n)) {
      at = i - 1;
      length = 4;
    } else {
      continue;
    }
    cut(at, length);
    i = at + length - 1;
  }
}

}  // namespace

std::vector<std::u16string_view> CutIntoPieces(std::u16string_view text) {
  std::vector<std::u16string_view> pieces;
  if (text.empty()) return pieces;
  const char16_t* t = text.data();
  const size_t n = text.size();
  // Counted first, so that the index holds 16 bytes a piece and no more.
  size_t count = 1;
  ForEachSeparator(t, n, [&](size_t, size_t) { ++count; });
  pieces.reserve(count);
  size_t start = 0;
  ForEachSeparator(t, n, [&](size_t at, size_t length) {
    pieces.emplace_back(t + start, at - start);
    start = at + length;
  });
  pieces.emplace_back(t + start, n - start);
  return pieces;
}

bool ContainsEitherWord(std::u16string_view text, std::string_view a, std::string_view b) {
  return ContainsEither(text, a, b);
}

bool CreatesRoutine(std::u16string_view piece) {
  // One scan settles the pieces that create and alter nothing, most of a
  // script's (inserts, updates, deletes); the routine words need two.
  return ContainsEither(piece, "CREATE", "ALTER") &&
         (ContainsEither(piece, "PROC", "FUNCTION") || ContainsEither(piece, "TRIGGER", "VIEW"));
}

namespace {

// Finds CREATE followed by SCHEMA, RULE or DEFAULT where a statement starts.
struct SchemaRuleOrDefault {
  bool after_create = false;
  bool found = false;
  void Token(const TsqlToken& t) {
    if (after_create && (t.word == TsqlWord::kSchema || t.word == TsqlWord::kRule ||
                         t.word == TsqlWord::kDefault)) {
      found = true;
    }
    after_create = t.statement && t.word == TsqlWord::kCreate;
  }
  void Comment(const char16_t*, const char16_t*) {}
};

// Whether the piece must open its batch: CreatesRoutine, or
// CreatesSchemaRuleOrDefault. Most pieces hold neither CREATE nor ALTER, so
// that is looked for first, in one pass.
bool OpensItsBatch(std::u16string_view piece) {
  if (!ContainsEither(piece, "CREATE", "ALTER")) return false;
  return ContainsEither(piece, "PROC", "FUNCTION") || ContainsEither(piece, "TRIGGER", "VIEW") ||
         CreatesSchemaRuleOrDefault(piece);
}

}  // namespace

bool CreatesSchemaRuleOrDefault(std::u16string_view piece) {
  // Most pieces hold none of the words: only those are read.
  if (!ContainsEither(piece, "CREATE", "CREATE")) return false;
  if (!ContainsEither(piece, "SCHEMA", "RULE") && !ContainsEither(piece, "DEFAULT", "DEFAULT")) {
    return false;
  }
  TsqlReader reader;
  SchemaRuleOrDefault finder;
  reader.Read(piece, finder);
  return finder.found;
}

std::vector<PieceGroup> GroupPieces(const std::vector<std::u16string_view>& pieces,
                                    int32_t pieces_per_call) {
  // A group is closed as soon as it holds more pieces than this.
  const int32_t group_limit =
      (pieces_per_call < 1 || pieces_per_call > kMaxPiecesPerCall ? kMaxPiecesPerCall
                                                                   : pieces_per_call) -
      1;
  std::vector<PieceGroup> groups;
  if (pieces.size() < 2) return groups;
  const size_t last_to_run = pieces.size() - 2;
  int32_t counter = 0;
  size_t first = 0;
  bool routine = OpensItsBatch(pieces[0]);
  for (size_t i = 0; i <= last_to_run; ++i) {
    const bool this_is_routine = routine;
    // Look-ahead: a routine next closes the group in front of it.
    routine = i + 1 <= last_to_run && OpensItsBatch(pieces[i + 1]);
    if (routine) counter = group_limit;
    ++counter;
    // ... and a routine closes its own group right after itself.
    if (this_is_routine) counter = group_limit + 1;
    if (counter > group_limit) {
      groups.push_back({first, i, false});
      first = i + 1;
      counter = 0;
    }
  }
  if (counter > 0) groups.push_back({first, last_to_run, true});
  return groups;
}

}  // namespace corvalen
