#include "update/script_check.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/ansi_file_bytes.h"
#include "platform/numbered_error.h"
#include "update/script_reader.h"
#include "update/script_text.h"
#include "update/sql_scan.h"

namespace corvalen {
namespace {

bool IsIdentifierChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

bool IsGo(char16_t a, char16_t b) { return (a | 0x20) == u'g' && (b | 0x20) == u'o'; }

// Position of the first token (outside comments) in `piece`, or npos.
size_t FirstSignificant(std::u16string_view piece) {
  size_t at = std::u16string_view::npos;
  ScanSql(piece, [&](const SqlToken& t) {
    at = t.position;
    return false;
  });
  return at;
}

// The line of the first multi-byte character of a file that is valid UTF-8
// and holds one, or 0. Read in chunks, and only as far as the first byte
// that is not UTF-8.
int32_t FirstUtf8MultibyteLine(const std::u16string& path) {
  FileBytes file(path);
  std::string pending;  // what the last chunk left: a sequence cut short
  char buffer[1 << 16];
  int32_t line = 1, first = 0;
  unsigned char previous = 0;
  for (;;) {
    const size_t n = file.Read(buffer, sizeof buffer);
    pending.append(buffer, n);
    const auto* p = reinterpret_cast<const unsigned char*>(pending.data());
    const size_t size = pending.size();
    size_t i = 0;
    while (i < size) {
      const unsigned char b = p[i];
      if (b < 0x80) {
        // CR, LF and CR LF each end one line.
        if (b == '\r' || (b == '\n' && previous != '\r')) ++line;
        previous = b;
        ++i;
        continue;
      }
      const size_t length = b >= 0xC2 && b <= 0xDF   ? 2
                            : b >= 0xE0 && b <= 0xEF ? 3
                            : b >= 0xF0 && b <= 0xF4 ? 4
                                                     : 0;
      if (length == 0) return 0;
      if (i + length > size) {
        if (n == 0) return 0;  // the file ends inside the sequence
        break;
      }
      for (size_t k = 1; k < length; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
      }
      // Overlong forms, surrogates and code points past U+10FFFF.
      if ((b == 0xE0 && p[i + 1] < 0xA0) || (b == 0xED && p[i + 1] >= 0xA0) ||
          (b == 0xF0 && p[i + 1] < 0x90) || (b == 0xF4 && p[i + 1] >= 0x90)) {
        return 0;
      }
      if (first == 0) first = line;
      previous = 0;
      i += length;
    }
    pending.erase(0, i);
    if (n == 0) return first;
  }
}

// Indented GO lines: blanks, then GO as a word.
void FindIndentedGo(std::u16string_view text, std::vector<size_t>* positions) {
  for (size_t start = 0; start < text.size();) {
    size_t i = start;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i > start && i + 1 < text.size() && IsGo(text[i], text[i + 1]) &&
        (i + 2 == text.size() || !IsIdentifierChar(text[i + 2]))) {
      positions->push_back(i);
    }
    const size_t lf = text.find(u'\n', start);
    if (lf == std::u16string_view::npos) break;
    start = lf + 1;
  }
}

// Statements of a piece that must stand alone in a batch, or that end or
// open a transaction: their positions and messages.
void FindStatements(std::u16string_view piece, bool shares_group,
                    std::vector<std::pair<size_t, std::u16string>>* found) {
  std::u16string_view previous;
  ScanSql(piece, [&](const SqlToken& t) {
    if (t.kind != SqlToken::kWord) {
      previous = {};
      return true;
    }
    const std::u16string_view w = t.text;
    const size_t at = static_cast<size_t>(previous.data() != nullptr ? previous.data() - piece.data()
                                                                     : t.position);
    if (shares_group && WordIs(previous, u"CREATE") &&
        (WordIs(w, u"SCHEMA") || WordIs(w, u"RULE") || WordIs(w, u"DEFAULT"))) {
      found->emplace_back(at, u"CREATE " + std::u16string(w) +
                                  u" debe ir solo en su lote, pero comparte el grupo con otras "
                                  u"piezas: SQL Server lo rechaza");
    } else if (WordIs(previous, u"BEGIN") && (WordIs(w, u"TRAN") || WordIs(w, u"TRANSACTION") ||
                                              WordIs(w, u"DISTRIBUTED"))) {
      found->emplace_back(at, u"BEGIN " + std::u16string(w) +
                                  u" abre una transacción dentro de la del script: si algo falla "
                                  u"después, parte del script puede quedar aplicada");
    } else if (WordIs(w, u"COMMIT") || WordIs(w, u"ROLLBACK")) {
      found->emplace_back(t.position, std::u16string(w) +
                                          u" termina la transacción del script: si algo falla "
                                          u"después, lo anterior queda aplicado");
    }
    previous = w;
    return true;
  });
}

}  // namespace

ScriptCheck CheckScript(const std::u16string& path) {
  ScriptCheck out;
  std::u16string text;
  std::optional<TextEncoding> encoding;
  try {
    text = ReadScriptText(path, &encoding);
  } catch (const NumberedError& e) {
    out.findings.push_back({0, u"no se puede leer: " + e.description()});
    return out;
  }
  const std::vector<std::u16string_view> pieces = CutIntoPieces(text);
  const std::vector<PieceGroup> groups = GroupPieces(pieces);
  out.pieces = pieces.size();
  out.groups = LinesOfGroups(text, pieces, groups);

  // Findings are gathered with their positions, then numbered in order.
  std::vector<std::pair<size_t, std::u16string>> found;
  if (pieces.size() >= 2) {
    const std::u16string_view tail = pieces.back();
    if (size_t at = FirstSignificant(tail); at != std::u16string_view::npos) {
      found.emplace_back(static_cast<size_t>(tail.data() - text.data()) + at,
                         u"texto después del último GO: nunca se ejecuta");
    }
    for (size_t k = 1; k < pieces.size(); ++k) {
      const std::u16string_view piece = pieces[k];
      if (piece.empty() || !IsIdentifierChar(piece.front())) continue;
      size_t end = 0;
      while (end < piece.size() && end < 30 && IsIdentifierChar(piece[end])) ++end;
      const size_t go = static_cast<size_t>(piece.data() - text.data()) - 2;
      found.emplace_back(go, u"la línea empieza con \"" + std::u16string(text.substr(go, 2)) +
                                 std::u16string(piece.substr(0, end)) +
                                 u"\": separa como un GO, en medio de lo que sea parte");
    }
  } else if (FirstSignificant(text) != std::u16string_view::npos) {
    found.emplace_back(FirstSignificant(text), u"no hay ningún GO que separe: no se ejecuta nada");
  }
  std::vector<size_t> indented;
  FindIndentedGo(text, &indented);
  for (size_t at : indented) {
    found.emplace_back(at, u"GO con blancos delante: no separa");
  }
  for (const PieceGroup& group : groups) {
    for (size_t k = group.first; k <= group.last; ++k) {
      // Most pieces hold none of the words looked for: skip them quickly.
      if (!ContainsEitherWord(pieces[k], "COMMIT", "ROLLBACK") &&
          !ContainsEitherWord(pieces[k], "TRAN", "CREATE")) {
        continue;
      }
      std::vector<std::pair<size_t, std::u16string>> in_piece;
      FindStatements(pieces[k], group.first != group.last, &in_piece);
      for (auto& [at, message] : in_piece) {
        found.emplace_back(static_cast<size_t>(pieces[k].data() - text.data()) + at,
                           std::move(message));
      }
    }
  }
  // Only a file with bytes past ASCII can hold UTF-8's multi-byte
  // characters; the others are not read a second time.
  const bool past_ascii = std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; });
  if (encoding == TextEncoding::kAnsiCodePage && past_ascii) {
    try {
      if (int32_t line = FirstUtf8MultibyteLine(path); line > 0) {
        out.findings.push_back({line, u"el archivo es UTF-8 sin marca de orden de bytes: se lee "
                                      u"como Windows-1252 y sus acentos saldrán mal"});
      }
    } catch (const NumberedError&) {
      // Read a moment ago; a file gone since has nothing more to say.
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  LineCounter lines(text);
  for (auto& [at, message] : found) out.findings.push_back({lines.LineAt(at), std::move(message)});
  std::stable_sort(out.findings.begin(), out.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return out;
}

}  // namespace corvalen
