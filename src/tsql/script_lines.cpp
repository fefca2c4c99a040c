#include "tsql/script_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/utf.h"
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

// The LFs in [p, end), eight code units at a time with the vector
// extensions of GCC and Clang.
size_t CountLf(const char16_t* p, const char16_t* end) {
  using Lanes = uint16_t __attribute__((vector_size(16)));
  size_t count = 0;
  while (end - p >= 8) {
    // Each lane counts up to 0x7FFF blocks before it is added up.
    Lanes sum = {};
    for (int blocks = 0; blocks < 0x7FFF && end - p >= 8; ++blocks, p += 8) {
      Lanes v;
      std::memcpy(&v, p, sizeof v);
      sum -= reinterpret_cast<Lanes>(v == u'\n');
    }
    for (int k = 0; k < 8; ++k) count += sum[k];
  }
  return count + static_cast<size_t>(std::count(p, end, u'\n'));
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

int32_t LineCounter::LineAt(size_t position) {
  position = std::min(position, text_.size());
  if (position < position_) {
    position_ = 0;
    line_ = 1;
  }
  line_ += static_cast<int32_t>(CountLf(text_.data() + position_, text_.data() + position));
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
