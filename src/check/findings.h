// Where the rules of --check put what they find: each finding at its place
// in the script text, the first kMaxFindings of a file kept and the rest
// counted, so that a hostile file cannot fill the memory with them.
#ifndef CORVALEN_CHECK_FINDINGS_H_
#define CORVALEN_CHECK_FINDINGS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// An error: the run will fail, or apply something other than what the
// script says. A note: worth knowing, harmless as the script stands.
enum class FindingLevel { kError, kNote };

// A finding before it has its line: its place in the text, and a second
// place whose line the text names (as "{línea}").
struct Found {
  size_t at;
  FindingLevel level;
  std::u16string text;  // Spanish
  std::optional<size_t> named;
};

class FoundList {
 public:
  static constexpr size_t kMaxFindings = 1000;
  FoundList() = default;
  FoundList(const FoundList&) = delete;
  FoundList& operator=(const FoundList&) = delete;

  void Add(Found found);
  std::vector<Found>& kept() { return kept_; }
  size_t dropped() const { return dropped_; }
  bool dropped_error() const { return dropped_error_; }

 private:
  std::vector<Found> kept_;
  size_t dropped_ = 0;
  bool dropped_error_ = false;
};

// How the rules of one text report: at places in the script text; for the
// text of an EXEC('...'), every finding at the EXEC's place, and only what
// the rules say holds inside it too (Always).
class Reporter {
 public:
  Reporter(std::u16string_view text, FoundList* found, std::optional<size_t> exec_at = std::nullopt)
      : text_(text), found_(found), exec_at_(exec_at) {}
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;

  std::u16string_view text() const { return text_; }
  FoundList* found() const { return found_; }
  // Whether this is the text of an EXEC.
  bool inner() const { return exec_at_.has_value(); }
  // Where `p`, in the script text, stands; for an EXEC's text, the EXEC.
  size_t Pos(const char16_t* p) const {
    return exec_at_ ? *exec_at_ : static_cast<size_t>(p - text_.data());
  }
  // Outside an EXEC's text only.
  void Error(size_t at, std::u16string text, std::optional<size_t> named = std::nullopt);
  void Note(size_t at, std::u16string text, std::optional<size_t> named = std::nullopt);
  // Inside an EXEC's text too.
  void Always(size_t at, FindingLevel level, std::u16string text);

 private:
  std::u16string_view text_;
  FoundList* found_;
  std::optional<size_t> exec_at_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_FINDINGS_H_
