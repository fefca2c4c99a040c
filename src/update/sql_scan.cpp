#include "update/sql_scan.h"

namespace corvalen {
namespace {

bool IsWordChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c == u'@' || c == u'#' || c == u'$' || c >= 0x80;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// End of a quoted run that starts at `i` with `open`, closed by `close`
// (doubled inside for itself), or the text's end.
size_t QuotedEnd(std::u16string_view t, size_t i, char16_t close) {
  for (++i; i < t.size(); ++i) {
    if (t[i] != close) continue;
    if (i + 1 < t.size() && t[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return t.size();
}

}  // namespace

void ScanSql(std::u16string_view t, const std::function<bool(const SqlToken&)>& token) {
  size_t i = 0;
  const size_t n = t.size();
  while (i < n) {
    const char16_t c = t[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == u'-' && i + 1 < n && t[i + 1] == u'-') {
      while (i < n && t[i] != u'\n' && t[i] != u'\r') ++i;
    } else if (c == u'/' && i + 1 < n && t[i + 1] == u'*') {
      int depth = 0;
      while (i < n) {
        if (t[i] == u'/' && i + 1 < n && t[i + 1] == u'*') {
          ++depth;
          i += 2;
        } else if (t[i] == u'*' && i + 1 < n && t[i + 1] == u'/') {
          i += 2;
          if (--depth == 0) break;
        } else {
          ++i;
        }
      }
    } else if (c == u'\'' || c == u'"' || c == u'[') {
      const size_t end = QuotedEnd(t, i, c == u'[' ? u']' : c);
      if (!token({SqlToken::kOther, t.substr(i, end - i), i})) return;
      i = end;
    } else if (IsWordChar(c)) {
      size_t end = i + 1;
      while (end < n && IsWordChar(t[end])) ++end;
      // N'...' is a string literal, not the word N.
      if (end == i + 1 && (c == u'N' || c == u'n') && end < n && t[end] == u'\'') {
        const size_t close = QuotedEnd(t, end, u'\'');
        if (!token({SqlToken::kOther, t.substr(i, close - i), i})) return;
        i = close;
        continue;
      }
      if (!token({SqlToken::kWord, t.substr(i, end - i), i})) return;
      i = end;
    } else {
      if (!token({SqlToken::kOther, t.substr(i, 1), i})) return;
      ++i;
    }
  }
}

bool WordIs(std::u16string_view word, std::u16string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    char16_t c = word[k];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (c != upper[k]) return false;
  }
  return true;
}

}  // namespace corvalen
