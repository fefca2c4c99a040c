#include "db/secret_scrub.h"

#include <algorithm>

namespace corvalen {
namespace {

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Whether `c` belongs to a word: an ASCII letter or digit, '_', or any
// character past ASCII (accented letters and the like).
bool IsWordUnit(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c >= 0x80;
}

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
  // Marks the code units to hide, then writes each marked stretch as one
  // "***": secrets that overlap or touch leave no part of either behind.
  std::vector<bool> hidden(text.size(), false);
  std::vector<size_t> run;  // run[j + 1]: common length ending at text[i], secret[j]
  for (const std::u16string& secret : secrets) {
    if (secret.empty()) continue;
    // A short secret is hidden where it stands whole, never as a piece of
    // another word: starring "ist" inside "exist" would give it away.
    if (secret.size() < kSecretRun) {
      for (size_t at = text.find(secret); at != std::u16string_view::npos;
           at = text.find(secret, at + 1)) {
        const size_t end = at + secret.size();
        if ((at > 0 && IsWordUnit(text[at - 1]) && IsWordUnit(secret.front())) ||
            (end < text.size() && IsWordUnit(text[end]) && IsWordUnit(secret.back()))) {
          continue;
        }
        std::fill(hidden.begin() + at, hidden.begin() + end, true);
      }
      continue;
    }
    // Longest common suffixes of text[..i] and secret[..j], one text
    // position at a time: O(text size x secret size).
    run.assign(secret.size() + 1, 0);
    for (size_t i = 0; i < text.size(); ++i) {
      for (size_t j = secret.size(); j-- > 0;) {
        const size_t length = text[i] == secret[j] ? run[j] + 1 : 0;
        run[j + 1] = length;
        if (length == kSecretRun) {
          std::fill(hidden.begin() + (i + 1 - length), hidden.begin() + i + 1, true);
        } else if (length > kSecretRun) {
          hidden[i] = true;  // the run's earlier units are marked already
        }
      }
    }
  }
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (!hidden[i]) {
      out += text[i];
    } else if (i == 0 || !hidden[i - 1]) {
      out += kHiddenSecret;
    }
  }
  HidePasswordAttributes(out);
  return out;
}

std::vector<TextSpan> PasswordValueSpans(std::u16string_view connection_string) {
  std::vector<TextSpan> spans;
  size_t i = 0;
  while (i < connection_string.size()) {
    size_t eq = connection_string.find(u'=', i);
    if (eq == std::u16string_view::npos) break;
    std::u16string key = Trim(connection_string.substr(i, eq - i));
    std::transform(key.begin(), key.end(), key.begin(), Lower);
    size_t begin = eq + 1;
    while (begin < connection_string.size() && connection_string[begin] == u' ') ++begin;
    size_t end = ValueEnd(connection_string, begin);
    if ((key == u"pwd" || key == u"password") && end > begin) spans.push_back({begin, end});
    i = connection_string.find(u';', end);
    if (i == std::u16string_view::npos) break;
    ++i;
  }
  return spans;
}

std::vector<std::u16string> ConnectionStringSecrets(std::u16string_view connection_string) {
  std::vector<std::u16string> secrets;
  for (const TextSpan& span : PasswordValueSpans(connection_string)) {
    const std::u16string_view value = connection_string.substr(span.begin, span.end - span.begin);
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
  return secrets;
}

}  // namespace corvalen
