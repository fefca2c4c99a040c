#include "db/quorvex_config.h"

#include <algorithm>
#include <array>
#include <functional>
#include <new>

#include "platform/ansi_file_bytes.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/wide_string.h"

namespace corvalen {
namespace {

constexpr std::array<const char16_t*, 8> kKnownKeys = {
    kKeyTag,         kKeyProvider,       kKeyConnection,    kKeyLoginTimeout,
    kKeyBusyTimeout, kKeyCommandTimeout, kKeyPiecesPerCall, kKeyDialect};

bool IsNameStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
bool IsNameChar(char16_t c) { return IsNameStart(c) || (c >= u'0' && c <= u'9'); }

// Splits `value` into literal text and ${NAME} references, in order. Returns
// false, having stopped, at a "${" without a valid name and closing brace.
bool WalkReferences(std::u16string_view value,
                    const std::function<void(std::u16string_view)>& literal,
                    const std::function<void(std::u16string_view)>& variable) {
  size_t i = 0;
  while (i < value.size()) {
    size_t at = value.find(u"${", i);
    if (at == std::u16string_view::npos) {
      literal(value.substr(i));
      return true;
    }
    literal(value.substr(i, at - i));
    size_t name_begin = at + 2;
    size_t k = name_begin;
    if (k >= value.size() || !IsNameStart(value[k])) return false;
    while (k < value.size() && IsNameChar(value[k])) ++k;
    if (k >= value.size() || value[k] != u'}') return false;
    variable(value.substr(name_begin, k - name_begin));
    i = k + 1;
  }
  return true;
}

std::u16string Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  return std::u16string(s.substr(b, e - b));
}

std::u16string FoldedName(std::u16string_view name);

struct ParseState {
  std::vector<EntitySection>* sections;
  std::unordered_map<std::u16string, size_t>* index;
  std::u16string reason;  // why the handler refused its line
};

// The section of that name, added when it is new.
EntitySection& SectionNamed(ParseState& state, const std::u16string& name) {
  auto [it, added] = state.index->try_emplace(FoldedName(name), state.sections->size());
  if (added) state.sections->push_back(EntitySection{name, {}});
  return (*state.sections)[it->second];
}

// Takes one "key = value" line of section `section` (all three as the file
// writes them, in UTF-8); false, with the reason in `state`, when the line is
// refused.
bool OnKeyValue(ParseState& state, std::string_view section, std::string_view name,
                std::string_view value) {
  const std::u16string section_name = Trim(Utf8ToUtf16(section));
  const std::u16string key = Utf8ToUtf16(name);
  if (section_name.empty()) {
    state.reason = u"la clave \"" + key + u"\" está fuera de una sección [Entidad]";
    return false;
  }
  const char16_t* known = nullptr;
  for (const char16_t* k : kKnownKeys) {
    if (SameNameIgnoringCase(k, key)) known = k;
  }
  if (known == nullptr) {
    state.reason = u"clave desconocida \"" + key + u"\"";
    return false;
  }
  EntitySection& entity = SectionNamed(state, section_name);
  if (entity.values.count(known) != 0) {
    state.reason = u"la clave " + std::u16string(known) + u" ya figura en la sección [" +
                   entity.name + u"]";
    return false;
  }
  std::u16string text = Utf8ToUtf16(value);
  if (!WalkReferences(text, [](std::u16string_view) {}, [](std::u16string_view) {})) {
    state.reason = u"referencia a variable mal formada; se escribe ${NOMBRE}";
    return false;
  }
  entity.values.emplace(known, std::move(text));
  return true;
}

// The blanks around a line, its name and its value: space, tab, CR, LF,
// vertical tab and form feed.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads `text` line by line (lines end at LF; a UTF-8 byte-order mark may
// open the first) and hands each "key = value" line to OnKeyValue. Blank
// lines and lines whose first character is ';' or '#' are comments; ';'
// further on belongs to the value (every ODBC connection string holds one).
// "[name]" opens a section (what follows the ']' is ignored); otherwise the
// first '=' or ':' parts key from value. Returns the number of the first line
// refused (with its reason in `state` when OnKeyValue refused it), or 0. One
// pass over the text, which is read in place: lines may be of any length.
int ReadLines(std::string_view text, ParseState& state) {
  std::string_view section;
  int number = 0;
  while (!text.empty()) {
    const size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    ++number;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    line = TrimLeft(TrimRight(line));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']', 1);
      if (close == std::string_view::npos) return number;
      section = line.substr(1, close - 1);
      continue;
    }
    const size_t separator = line.find_first_of("=:");
    if (separator == std::string_view::npos) return number;
    if (!OnKeyValue(state, section, TrimRight(line.substr(0, separator)),
                    TrimLeft(line.substr(separator + 1)))) {
      return number;
    }
  }
  return 0;
}

std::u16string Quoted(const std::u16string& path) { return u"\"" + DisplayName(path) + u"\""; }

// The key under which a section name is indexed.
std::u16string FoldedName(std::u16string_view name) { return CaseFoldKey(name); }

}  // namespace

const std::u16string* EntitySection::Get(std::u16string_view key) const {
  auto it = values.find(std::u16string(key));
  return it == values.end() ? nullptr : &it->second;
}

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return EqualIgnoringCase(a, b);
}

QuorvexConfig QuorvexConfig::Load(const std::u16string& path) {
  if (path.empty()) {
    throw NumberedError(kErrFileNotFound,
                        u"No se indicó la ruta del archivo de configuración.");
  }
  // Only a regular file is read; opening never waits (a FIFO is refused).
  std::string text;
  try {
    FileBytes file(path);
    char buffer[1 << 16];
    while (const size_t n = file.Read(buffer, sizeof buffer)) text.append(buffer, n);
  } catch (const NumberedError& e) {
    if (e.number() == kErrFileNotFound || e.number() == kErrPathNotFound) {
      throw NumberedError(kErrFileNotFound,
                          u"No se encontró el archivo de configuración " + Quoted(path) + u".");
    }
    throw NumberedError(kErrPathFileAccess,
                        u"No se pudo leer el archivo de configuración " + Quoted(path) + u".");
  }
  return Parse(text, path);
}

QuorvexConfig QuorvexConfig::Parse(std::string_view text, const std::u16string& path) {
  QuorvexConfig config;
  config.path_ = path;
  // The text is read up to its first NUL; a NUL in the file is a bad line.
  const size_t nul = text.find('\0');
  const std::string_view content = text.substr(0, nul);
  ParseState state{&config.sections_, &config.index_, {}};
  int line = 0;
  try {
    line = ReadLines(content, state);
  } catch (const std::bad_alloc&) {
    throw NumberedError(kErrOutOfMemory);
  }
  if (line == 0 && nul != std::string_view::npos) {
    line = 1 + static_cast<int>(std::count(content.begin(), content.end(), '\n'));
    state.reason = u"contiene un carácter nulo";
  }
  if (line > 0) {
    std::u16string message;
    if (state.reason.empty()) {
      message = u"Línea " + ToDecimal(line) + u" mal formada en el archivo de configuración " +
                Quoted(path) + u".";
    } else {
      message = u"Error en la línea " + ToDecimal(line) + u" del archivo de configuración " +
                Quoted(path) + u": " + state.reason + u".";
    }
    throw NumberedError(kErrInvalidArgument, message);
  }
  return config;
}

const EntitySection* QuorvexConfig::Find(std::u16string_view entity) const {
  auto it = index_.find(FoldedName(entity));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

std::u16string ExpandVariables(std::u16string_view value, std::u16string_view key,
                               std::u16string_view entity, std::vector<PutVariable>* put) {
  std::u16string out;
  bool well_formed = WalkReferences(
      value, [&](std::u16string_view literal) { out += literal; },
      [&](std::u16string_view name) {
        const std::u16string variable(name);
        if (!EnvironmentHas(variable)) {
          throw NumberedError(kErrInvalidArgument,
                              u"La variable de entorno \"" + variable +
                                  u"\" no está definida (clave " + std::u16string(key) +
                                  u" de la entidad \"" + std::u16string(entity) + u"\").");
        }
        std::u16string replacement = EnvironmentValue(variable);
        const size_t begin = out.size();
        out += replacement;
        if (put != nullptr) put->push_back(PutVariable{begin, std::move(replacement)});
      });
  if (!well_formed) {
    throw NumberedError(kErrInvalidArgument, u"Referencia a variable mal formada en la clave " +
                                                 std::u16string(key) + u" de la entidad \"" +
                                                 std::u16string(entity) + u"\".");
  }
  return out;
}

}  // namespace corvalen
