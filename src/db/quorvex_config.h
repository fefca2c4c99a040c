// The data-access component's configuration file, quorvexconfig.ini: one
// section per entity, keys Tag, Provider, Connection, LoginTimeout and
// BusyTimeout; lines starting with ';' or '#' are comments; ${NAME} in a
// value stands for the environment variable NAME.
#ifndef CORVALEN_DB_QUORVEX_CONFIG_H_
#define CORVALEN_DB_QUORVEX_CONFIG_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// Key names as the file may write them (in any letter case).
inline constexpr char16_t kKeyTag[] = u"Tag";
inline constexpr char16_t kKeyProvider[] = u"Provider";
inline constexpr char16_t kKeyConnection[] = u"Connection";
inline constexpr char16_t kKeyLoginTimeout[] = u"LoginTimeout";
inline constexpr char16_t kKeyBusyTimeout[] = u"BusyTimeout";

// One entity's section: its name as written (blanks trimmed) and its values
// as written, variables not yet replaced, keyed by the names above.
struct EntitySection {
  std::u16string name;
  std::map<std::u16string, std::u16string> values;

  // The value of `key`, or null when the section does not set it.
  const std::u16string* Get(std::u16string_view key) const;
};

class QuorvexConfig {
 public:
  // Reads and checks the file (UTF-8). Raises NumberedError with a Spanish
  // description that names the file: 53 when it does not exist, 75 when it
  // cannot be read, 5 for the first bad line (with its number): a line that
  // is neither a section, a "key = value" pair, a comment nor blank; a key
  // outside any section, unknown or repeated in its section; a malformed
  // ${...} reference.
  static QuorvexConfig Load(const std::u16string& path);
  // The same checks on text already read; `path` names the file in messages.
  static QuorvexConfig Parse(std::string_view text, const std::u16string& path);

  // The entity's section, its name matched without regard to letter case
  // (a section that appears twice is one section); null when there is none.
  const EntitySection* Find(std::u16string_view entity) const;
  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  std::vector<EntitySection> sections_;
};

// `value` with every ${NAME} replaced by the value of the environment
// variable NAME (a variable set to the empty string counts as defined).
// Raises NumberedError(5) when a variable is not defined; the message names
// the variable, `key` and `entity`, never a value. Appends each value it put
// in to `secrets`, so that callers can keep them out of their messages.
std::u16string ExpandVariables(std::u16string_view value, std::u16string_view key,
                               std::u16string_view entity, std::vector<std::u16string>* secrets);

// Whether two names are equal without regard to letter case.
bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace corvalen

#endif  // CORVALEN_DB_QUORVEX_CONFIG_H_
