#include "db/quorvex_config.h"

// Debian builds its libinih with INI_HANDLER_LINENO=1 (its patch "Force
// INI_HANDLER_LINENO"), and scripts/windows-deps.sh builds the Windows one
// the same way, but the installed ini.h defaults to 0: the handler is
// declared here as the library calls it, with the line number.
#define INI_HANDLER_LINENO 1
#include <ini.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <mutex>

#include "platform/ansi_file_bytes.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/wide_string.h"

namespace corvalen {
namespace {

constexpr std::array<const char16_t*, 7> kKnownKeys = {
    kKeyTag,         kKeyProvider,       kKeyConnection,   kKeyLoginTimeout,
    kKeyBusyTimeout, kKeyCommandTimeout, kKeyPiecesPerCall};

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

int OnKeyValue(void* user, const char* section, const char* name, const char* value,
               int /*line*/) {
  auto* state = static_cast<ParseState*>(user);
  const std::u16string section_name = Trim(Utf8ToUtf16(section));
  const std::u16string key = Utf8ToUtf16(name);
  if (section_name.empty()) {
    state->reason = u"la clave \"" + key + u"\" está fuera de una sección [Entidad]";
    return 0;
  }
  const char16_t* known = nullptr;
  for (const char16_t* k : kKnownKeys) {
    if (SameNameIgnoringCase(k, key)) known = k;
  }
  if (known == nullptr) {
    state->reason = u"clave desconocida \"" + key + u"\"";
    return 0;
  }
  EntitySection& entity = SectionNamed(*state, section_name);
  if (entity.values.count(known) != 0) {
    state->reason = u"la clave " + std::u16string(known) + u" ya figura en la sección [" +
                    entity.name + u"]";
    return 0;
  }
  std::u16string text = Utf8ToUtf16(value);
  if (!WalkReferences(text, [](std::u16string_view) {}, [](std::u16string_view) {})) {
    state->reason = u"referencia a variable mal formada; se escribe ${NOMBRE}";
    return 0;
  }
  entity.values.emplace(known, std::move(text));
  return 1;
}

// The longest line of `text` in bytes, its line end included, and the
// number of that line.
std::pair<size_t, int> LongestLine(const std::string& text) {
  std::pair<size_t, int> longest{0, 1};
  size_t begin = 0;
  int line = 1;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end + 1;
    if (end - begin > longest.first) longest = {end - begin, line};
    begin = end;
    ++line;
  }
  return longest;
}

// Runs inih over `text` with the settings this file format needs. The
// library keeps its settings in process-wide variables, hence the lock.
int ParseWithInih(const std::string& text, int max_line, ParseState& state) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  // Lines of any length (long connection strings), read whole: inih reads a
  // line longer than ini_max_line as several lines, so the limit is set from
  // the text itself; the buffer grows as long lines come.
  ini_use_stack = false;
  ini_allow_realloc = true;
  ini_max_line = max_line;
  // ';' is part of every ODBC connection string: comments only start lines.
  ini_allow_inline_comments = false;
  // An indented line is an error rather than a silent continuation.
  ini_allow_multiline = false;
  ini_allow_no_value = false;
  ini_allow_bom = true;
  // The first bad line is the one reported, and the handler's reason must
  // belong to it.
  ini_stop_on_first_error = true;
  return ini_parse_string(text.c_str(), OnKeyValue, &state);
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
  // inih reads up to the first NUL; a NUL in the file is a bad line.
  const size_t nul = text.find('\0');
  std::string content(text.substr(0, nul));
  ParseState state{&config.sections_, &config.index_, {}};
  // Room for the longest line, its line end and the terminating NUL.
  const auto [longest, longest_line] = LongestLine(content);
  int line = 0;
  if (longest > static_cast<size_t>(INT_MAX) - 2) {
    line = longest_line;
    state.reason = u"la línea es demasiado larga";
  } else {
    line = ParseWithInih(content, std::max(200, static_cast<int>(longest) + 2), state);
  }
  if (line == 0 && nul != std::string_view::npos) {
    line = 1 + static_cast<int>(std::count(content.begin(), content.end(), '\n'));
    state.reason = u"contiene un carácter nulo";
  }
  if (line < 0) throw NumberedError(kErrOutOfMemory);
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
