// clsStringBuilder: a growable UTF-16 text buffer kept as one contiguous block
// in a private heap of its own, with in-place editing and searches.
//
// A character is one UTF-16 code unit; positions are 1-based. Once the builder
// holds text, the code unit right after the content is U+0000, so the block
// can be handed to NUL-terminated string functions. The content may itself
// contain U+0000: every copy goes by length, only Find stops at the first one.
//
// Errors are raised as corvalen::NumberedError:
//   5  invalid argument (negative length on a non-empty builder; construction
//      failures "Cannot obtain page size" and "Cannot create new heap"),
//   6  "Overflow" when a sum, difference or product of positions, lengths or
//      sizes leaves the 32-bit signed range; raised before anything changes,
//   7  "Out of memory" when the block cannot be allocated or grown; the
//      content and the block stay as they were.
//
// One thread per instance; nothing locks.
#ifndef CORVALEN_TEXT_STRING_BUILDER_H_
#define CORVALEN_TEXT_STRING_BUILDER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvalen {

class PrivateHeap;

class clsStringBuilder {
 public:
  // How CompareChars (used by the field search of Find) compares two ranges.
  enum class CompareChoice {
    kPlatform,  // ordinal when the platform offers it (always on POSIX)
    kOrdinal,   // ordinal comparison of counted ranges
    kLocale,    // the locale comparison of NUL-terminated copies
  };

  // Construction settings. The defaults are what the program uses; the other
  // values exist so that tests can reach every path.
  struct Options {
    CompareChoice compare = CompareChoice::kPlatform;
    // Page size to round the chunk to instead of the platform's; 0 makes
    // construction fail with "Cannot obtain page size".
    std::optional<int64_t> page_size;
    // Upper bound of the private heap in bytes (0 = grows without limit).
    // Lets tests make an allocation fail.
    size_t heap_limit = 0;
  };

  // An empty builder whose block is one chunk. Raises error 5 "Cannot obtain
  // page size" or "Cannot create new heap", or 7 when the first block cannot
  // be allocated.
  clsStringBuilder();
  explicit clsStringBuilder(const Options& options);
  // Destroys the private heap and the block with it.
  ~clsStringBuilder();

  clsStringBuilder(const clsStringBuilder&) = delete;
  clsStringBuilder& operator=(const clsStringBuilder&) = delete;

  // The whole content as a new string; empty when the builder is empty.
  std::u16string ToString() const;
  // Replaces the whole content with `str`: the result of Clear, then Append.
  // Checked and sized before anything changes, so a failure (error 6 or 7)
  // leaves the old content in place.
  void StringData(std::u16string_view str);
  // Address of the first code unit of the content, NUL-terminated, or null
  // when the builder is empty. Valid until the next Clear, StringData, growth
  // of the block, or destruction.
  const char16_t* ToStringPtr() const;
  // The first `Length` characters (all if fewer). Empty builder: empty string
  // for any `Length`; otherwise a negative `Length` raises error 5.
  std::u16string ToStringLeft(int32_t Length) const;
  // Up to `Length` characters from position `StartPos`. Empty string when the
  // builder is empty, when `StartPos` > Length() or when `StartPos` < 1 (a
  // position before the content; nothing outside the content is read).
  // Otherwise a negative `Length` raises error 5. `StartPos` - 1 and
  // `StartPos` - 1 + `Length` must fit in 32 bits (error 6).
  std::u16string ToStringMid(int32_t StartPos, int32_t Length) const;
  // The last `Length` characters (all if fewer); errors as ToStringLeft.
  std::u16string ToStringRight(int32_t Length) const;

  // Empties the builder and shrinks the block back to one chunk. Does nothing
  // (and keeps the block's size) when the builder is already empty.
  void Clear();
  // Appends `str`; the empty string changes nothing.
  void Append(std::u16string_view str);
  // Appends `str` followed by CR LF; the empty string appends CR LF alone.
  void AppendLine(std::u16string_view str);
  // Inserts `str` before position `pos` (1 .. Length() + 1; Length() + 1
  // appends). Other positions and the empty string change nothing.
  void Insert(int32_t pos, std::u16string_view str);
  // Writes `str` over the content from `pos` (1 .. Length() + 1), extending
  // the content when it runs past the end. Other positions and the empty
  // string change nothing.
  void Overwrite(int32_t pos, std::u16string_view str);
  // Removes up to `Length` characters from `pos` (1 .. Length() + 1). Nothing
  // happens for `Length` <= 0 or other positions. The block never shrinks.
  void Remove(int32_t pos, int32_t Length);

  // The number of characters.
  int32_t Length() const { return byte_length_ / 2; }

  // The position (counted from the start of the content) of `StrSearch`, or
  // 0. With an empty `Delimiter` a plain substring search from `StartPos`;
  // otherwise the search for a whole field of a list delimited by
  // `Delimiter`, whose result is the position of the field itself. An empty
  // `StrSearch` with a delimiter looks for an empty field. `CompareMethod` 1
  // ignores case; any other value counts case, as 0 does. The scan stops
  // at the first U+0000 of the content. `StartPos` > Length() + 1 and
  // `StartPos` < 1 give 0. Never changes the builder; may raise error 6.
  int32_t Find(int32_t StartPos, std::u16string_view StrSearch,
               std::u16string_view Delimiter = u"",
               int32_t CompareMethod = 0) const;

  // Size of the block in bytes: ChunkSize() or a whole multiple of it.
  int32_t Capacity() const { return capacity_; }
  // The allocation granule: 1,048,576 rounded up to whole pages.
  int32_t ChunkSize() const { return chunk_size_; }
  // Whether CompareChars uses the ordinal comparison.
  bool OrdinalCompare() const { return ordinal_compare_; }

  // `value` rounded up to a whole multiple of `multiple` (> 0); an exact
  // multiple comes back unchanged. Raises error 6 when the result does not
  // fit in 32 bits.
  static int32_t RoundUp(int32_t value, int32_t multiple);

 private:
  // Makes the block exactly `size` bytes, keeping the content; may move it.
  // Raises error 7 and changes nothing when the heap cannot provide it.
  void ResizeBuffer(int32_t size);
  // The block size after one growth step from `capacity` for a text of
  // `incoming` bytes: capacity x 1.6 + incoming, in whole chunks. Raises
  // error 6 when that does not fit in 32 bits.
  int32_t GrowthSize(int32_t capacity, int32_t incoming) const;
  // Grows the block by one step when `needed` bytes exceed the capacity;
  // `incoming` is the byte length of the text being added.
  void EnsureCapacity(int32_t needed, int32_t incoming);
  // 1-based position of the first occurrence of the NUL-terminated `search`
  // in the NUL-terminated text from `StartPos`, counted from the start of the
  // block; 0 when not found.
  int32_t FindInBuffer(int32_t StartPos, const char16_t* search,
                       const char16_t* base, int32_t CompareMethod) const;
  // True when the `count` code units at `p1` and at `p2` differ.
  bool CompareChars(const char16_t* p1, const char16_t* p2, int32_t count,
                    int32_t CompareMethod) const;

  char16_t* buffer_ = nullptr;  // the block; null before the first allocation
  int32_t capacity_ = 0;        // block size in bytes
  int32_t byte_length_ = 0;     // content length in bytes, always even
  std::unique_ptr<PrivateHeap> heap_;
  int32_t chunk_size_ = 0;
  bool ordinal_compare_ = true;
};

}  // namespace corvalen

#endif  // CORVALEN_TEXT_STRING_BUILDER_H_
