#include "db/secret_scrub.h"

#include <algorithm>

namespace corvalen {
namespace {

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Position of `word` in `text` at or after `from`, ignoring ASCII letter case.
size_t FindNoCase(std::u16string_view text, std::u16string_view word, size_t from) {
  if (word.size() > text.size()) return std::u16string_view::npos;
  for (size_t i = from; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && Lower(text[i + k]) == word[k]) ++k;
    if (k == word.size()) return i;
  }
  return std::u16string_view::npos;
}

// End of the value that starts at `begin`: a braced value ends after its
// closing brace ("}}" inside is an escaped brace); an unbraced one before the
// next ';' or line break.
size_t ValueEnd(std::u16string_view text, size_t begin) {
  if (begin < text.size() && text[begin] == u'{') {
    size_t i = begin + 1;
    while (i < text.size()) {
      if (text[i] == u'}') {
        if (i + 1 < text.size() && text[i + 1] == u'}') {
          i += 2;
          continue;
        }
        return i + 1;
      }
      ++i;
    }
    return text.size();
  }
  size_t i = begin;
  while (i < text.size() && text[i] != u';' && text[i] != u'\r' && text[i] != u'\n') ++i;
  return i;
}

// Replaces the values of "pwd=" and "password=" attributes in place.
void HidePasswordAttributes(std::u16string& text) {
  for (std::u16string_view key : {std::u16string_view(u"password"), std::u16string_view(u"pwd")}) {
    size_t at = 0;
    while ((at = FindNoCase(text, key, at)) != std::u16string::npos) {
      size_t i = at + key.size();
      while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
      if (i >= text.size() || text[i] != u'=') {
        at += key.size();
        continue;
      }
      ++i;
      while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
      size_t end = ValueEnd(text, i);
      if (end > i) text.replace(i, end - i, kHiddenSecret);
      at = i;
    }
  }
}

std::u16string Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  return std::u16string(s.substr(b, e - b));
}

}  // namespace

std::u16string ScrubSecrets(std::u16string_view text, const std::vector<std::u16string>& secrets) {
  std::u16string out(text);
  // Longer secrets first, so that a secret containing a shorter one is
  // removed whole.
  std::vector<const std::u16string*> order;
  for (const auto& s : secrets) {
    if (!s.empty()) order.push_back(&s);
  }
  std::sort(order.begin(), order.end(),
            [](const std::u16string* a, const std::u16string* b) { return a->size() > b->size(); });
  for (const std::u16string* secret : order) {
    size_t at = 0;
    while ((at = out.find(*secret, at)) != std::u16string::npos) {
      out.replace(at, secret->size(), kHiddenSecret);
      at += std::size(kHiddenSecret) - 1;
    }
  }
  HidePasswordAttributes(out);
  return out;
}

std::vector<std::u16string> ConnectionStringSecrets(std::u16string_view connection_string) {
  std::vector<std::u16string> secrets;
  size_t i = 0;
  while (i < connection_string.size()) {
    size_t eq = connection_string.find(u'=', i);
    if (eq == std::u16string_view::npos) break;
    std::u16string key = Trim(connection_string.substr(i, eq - i));
    std::transform(key.begin(), key.end(), key.begin(), Lower);
    size_t begin = eq + 1;
    while (begin < connection_string.size() && connection_string[begin] == u' ') ++begin;
    size_t end = ValueEnd(connection_string, begin);
    std::u16string_view value = connection_string.substr(begin, end - begin);
    if ((key == u"pwd" || key == u"password") && !value.empty()) {
      secrets.emplace_back(value);
      if (value.front() == u'{') {
        std::u16string inner;
        size_t stop = value.back() == u'}' ? value.size() - 1 : value.size();
        for (size_t k = 1; k < stop; ++k) {
          inner += value[k];
          if (value[k] == u'}' && k + 1 < stop && value[k + 1] == u'}') ++k;
        }
        if (!inner.empty()) secrets.push_back(inner);
      } else {
        std::u16string trimmed = Trim(value);
        if (!trimmed.empty() && trimmed != value) secrets.push_back(trimmed);
      }
    }
    i = connection_string.find(u';', end);
    if (i == std::u16string_view::npos) break;
    ++i;
  }
  return secrets;
}

}  // namespace corvalen
