// The data-access component's configuration file, quorvexconfig.ini: one
// section per entity, keys Tag, Provider, Connection, LoginTimeout,
// BusyTimeout, CommandTimeout, PiecesPerCall and Dialect; lines starting with ';' or '#' are
// comments; ${NAME} in a value stands for the environment variable NAME.
// Lines, and so values, may be of any length.
#ifndef CORVALEN_DB_QUORVEX_CONFIG_H_
#define CORVALEN_DB_QUORVEX_CONFIG_H_

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvalen {

// Key names as the file may write them (in any letter case).
inline constexpr char16_t kKeyTag[] = u"Tag";
inline constexpr char16_t kKeyProvider[] = u"Provider";
inline constexpr char16_t kKeyConnection[] = u"Connection";
inline constexpr char16_t kKeyLoginTimeout[] = u"LoginTimeout";
inline constexpr char16_t kKeyBusyTimeout[] = u"BusyTimeout";
inline constexpr char16_t kKeyCommandTimeout[] = u"CommandTimeout";
inline constexpr char16_t kKeyPiecesPerCall[] = u"PiecesPerCall";
inline constexpr char16_t kKeyDialect[] = u"Dialect";

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
  // Reads and checks the file (UTF-8 text; `path` as NativeToUtf16 gives
  // names, so that it reaches the file system byte for byte). Raises
  // NumberedError with a Spanish description that names the file (shown with
  // DisplayName): 53 when it (or its folder) does not exist, 75 when it cannot
  // be read or is no regular file (a folder, a FIFO, a device), 5 for
  // the first bad line (with its number): a line that is neither a section,
  // a "key = value" pair, a comment nor blank; a key outside any section,
  // unknown or repeated in its section; a malformed ${...} reference.
  // Linear in the size of the text.
  static QuorvexConfig Load(const std::u16string& path);
  // The same checks on text already read; `path` names the file in messages.
  static QuorvexConfig Parse(std::string_view text, const std::u16string& path);

  // The entity's section, its name matched as SameNameIgnoringCase matches
  // (a section that appears twice is one section); null when there is none.
  // Constant time on average.
  const EntitySection* Find(std::u16string_view entity) const;
  const std::u16string& path() const { return path_; }
  // Every section, in the order of their first line.
  const std::vector<EntitySection>& sections() const { return sections_; }

 private:
  std::u16string path_;
  std::vector<EntitySection> sections_;  // in the order of their first line
  // Position in sections_ by the case-folded name.
  std::unordered_map<std::u16string, size_t> index_;
};

// A variable's value as ExpandVariables put it in.
struct PutVariable {
  size_t begin = 0;      // where the value starts in the expanded text
  std::u16string value;  // the variable's value (may be empty)
};

// `value` with every ${NAME} replaced by the value of the environment
// variable NAME (a variable set to the empty string counts as defined).
// Raises NumberedError(5) when a variable is not defined; the message names
// the variable, `key` and `entity`, never a value. Appends each value it put
// in, with its place, to `put` (when not null), so that callers can decide
// which of them to keep out of their messages.
std::u16string ExpandVariables(std::u16string_view value, std::u16string_view key,
                               std::u16string_view entity, std::vector<PutVariable>* put);

// Whether two names are equal without regard to letter case, as
// EqualIgnoringCase (platform/wide_string.h) compares them: full case folding
// on POSIX ("Straße" and "STRASSE" are equal), letter by letter on Windows
// ("ß" stays "ß"); "Año" and "AÑO" are equal on both.
bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace corvalen

#endif  // CORVALEN_DB_QUORVEX_CONFIG_H_
