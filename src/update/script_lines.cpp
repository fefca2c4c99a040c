#include "update/script_lines.h"

#include <algorithm>

namespace corvalen {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

int32_t LineCounter::LineAt(size_t position) {
  position = std::min(position, text_.size());
  if (position < position_) {
    position_ = 0;
    line_ = 1;
  }
  line_ += static_cast<int32_t>(
      std::count(text_.begin() + static_cast<ptrdiff_t>(position_),
                 text_.begin() + static_cast<ptrdiff_t>(position), u'\n'));
  position_ = position;
  return line_;
}

std::vector<GroupLines> LinesOfGroups(std::u16string_view text,
                                      const std::vector<std::u16string_view>& pieces,
                                      const std::vector<PieceGroup>& groups) {
  std::vector<GroupLines> out;
  out.reserve(groups.size());
  LineCounter lines(text);
  auto offset = [&](const char16_t* p) { return static_cast<size_t>(p - text.data()); };
  for (const PieceGroup& group : groups) {
    const size_t begin = offset(pieces[group.first].data());
    const size_t end = offset(pieces[group.last].data() + pieces[group.last].size());
    size_t first = begin;
    while (first < end && IsBlank(text[first])) ++first;
    size_t last = end;
    while (last > first && IsBlank(text[last - 1])) --last;
    GroupLines g;
    g.start = lines.LineAt(begin);
    if (first == end) {
      g.first = g.last = g.start;
    } else {
      g.first = lines.LineAt(first);
      g.last = lines.LineAt(last - 1);
    }
    out.push_back(g);
  }
  return out;
}

}  // namespace corvalen
