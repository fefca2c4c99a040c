#include "check/scripts_folder_check.h"

#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/file_info.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

constexpr std::array<std::u16string_view, 6> kCategories = {
    u"CATALOGOS", u"INTERNOS", u"NCM", u"SYSTABLAS", u"HISTORIAL", u"PERSONAL"};

// The run's counter of scripts stops here.
constexpr size_t kMostScripts = 32767;

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool StartsWithIgnoringCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k) {
    if (Upper(s[k]) != prefix[k]) return false;
  }
  return true;
}

bool EndsWithSql(std::u16string_view name) {
  return name.size() >= 4 && name[name.size() - 4] == u'.' &&
         StartsWithIgnoringCase(name.substr(name.size() - 3), u"SQL");
}

// The category's length plus the underscore, or 0 when the name has none.
size_t CategoryPrefix(std::u16string_view name) {
  for (std::u16string_view category : kCategories) {
    if (StartsWithIgnoringCase(name, category) && name.size() > category.size() &&
        name[category.size()] == u'_') {
      return category.size() + 1;
    }
  }
  return 0;
}

// The number right after the category's underscore, if digits stand there.
std::optional<long long> NumberOf(std::u16string_view name) {
  size_t i = CategoryPrefix(name);
  if (i == 0 || i >= name.size() || name[i] < u'0' || name[i] > u'9') return std::nullopt;
  long long value = 0;
  for (int digits = 0; i < name.size() && name[i] >= u'0' && name[i] <= u'9' && digits < 15;
       ++i, ++digits) {
    value = value * 10 + (name[i] - u'0');
  }
  return value;
}

}  // namespace

std::vector<FolderFinding> CheckScriptsFolder(const std::u16string& folder,
                                              const std::vector<ScriptSql>& catalogue) {
  std::vector<FolderFinding> out;
  std::error_code error;
  try {
    for (std::filesystem::directory_iterator it(std::filesystem::path(folder), error), end;
         !error && it != end; it.increment(error)) {
      std::u16string name;
      try {
        name = it->path().filename().u16string();
      } catch (const std::exception&) {
        continue;  // a name the library cannot show
      }
      if (!EndsWithSql(name)) continue;
      if (CategoryPrefix(name) == 0) {
        out.push_back({name, FindingLevel::kError,
                       u"el nombre no empieza con una categoría y un guion bajo (CATALOGOS_, "
                       u"INTERNOS_, NCM_, SYSTABLAS_, HISTORIAL_, PERSONAL_): la ejecución no "
                       u"lo toma"});
        continue;
      }
      const FileKind kind = KindOfFile(JoinPath(folder, name));
      if (kind == FileKind::kMissing) {
        out.push_back({name, FindingLevel::kError,
                       u"es un enlace que no lleva a ningún archivo: la ejecución no lo toma"});
      } else if (kind != FileKind::kFile) {
        out.push_back({name, FindingLevel::kError,
                       u"no es un archivo común: la ejecución no lo toma"});
      }
    }
  } catch (const std::exception&) {
    // A folder that cannot be listed: the catalogue says what the run takes.
  }
  // Numbers without zeros in front, in the order the run takes the scripts.
  for (size_t i = 2; i < catalogue.size(); ++i) {
    const ScriptSql& before = catalogue[i - 1];
    const ScriptSql& entry = catalogue[i];
    if (before.Categoria != entry.Categoria) continue;
    const auto a = NumberOf(before.Archivo);
    const auto b = NumberOf(entry.Archivo);
    if (a && b && *b < *a) {
      out.push_back({before.Archivo, FindingLevel::kError,
                     u"corre antes que " + entry.Archivo +
                         u": el orden es el de los nombres, no el de sus números; ponga ceros "
                         u"delante del número"});
    }
  }
  if (catalogue.size() > kMostScripts + 1) {
    out.push_back({u"", FindingLevel::kError,
                   u"hay " + ToDecimal(static_cast<long long>(catalogue.size() - 1)) +
                       u" scripts: la ejecución cuenta hasta 32767 y se detiene en el siguiente"});
  }
  return out;
}

}  // namespace corvalen
