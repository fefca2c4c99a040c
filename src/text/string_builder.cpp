#include "text/string_builder.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

#include "platform/numbered_error.h"
#include "platform/private_heap.h"
#include "platform/wide_string.h"

namespace corvalen {

namespace {

constexpr int32_t kBaseChunk = 1048576;

[[noreturn]] void RaiseOverflow() { throw NumberedError(kErrOverflow); }

// 32-bit signed arithmetic that raises error 6 instead of wrapping.
int32_t Add(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) RaiseOverflow();
  return r;
}
int32_t Sub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) RaiseOverflow();
  return r;
}
int32_t Mul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) RaiseOverflow();
  return r;
}

// The character count of a string, which must fit in 32 bits.
int32_t CharCount(std::u16string_view s) {
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    RaiseOverflow();
  }
  return static_cast<int32_t>(s.size());
}

// The byte length of a string, which must fit in 32 bits.
int32_t ByteCount(std::u16string_view s) { return Mul(CharCount(s), 2); }

// Equality of two strings in the mode of a Find call (the general string
// comparison): exact code units, or the locale comparison ignoring case.
bool StringsEqual(const std::u16string& a, const std::u16string& b,
                  bool ignore_case) {
  if (!ignore_case) return a == b;
  return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

}  // namespace

clsStringBuilder::clsStringBuilder() : clsStringBuilder(Options{}) {}

clsStringBuilder::clsStringBuilder(const Options& options) {
  int64_t page = options.page_size ? *options.page_size : SystemPageSize();
  if (page <= 0 || page > std::numeric_limits<int32_t>::max()) {
    throw NumberedError(kErrInvalidArgument, u"Cannot obtain page size");
  }
  switch (options.compare) {
    case CompareChoice::kPlatform:
      ordinal_compare_ = OrdinalComparisonAvailable();
      break;
    case CompareChoice::kOrdinal:
      ordinal_compare_ = true;
      break;
    case CompareChoice::kLocale:
      ordinal_compare_ = false;
      break;
  }
  chunk_size_ = RoundUp(kBaseChunk, static_cast<int32_t>(page));
  heap_ = PrivateHeap::Create(static_cast<size_t>(chunk_size_),
                              options.heap_limit);
  if (!heap_) {
    throw NumberedError(kErrInvalidArgument, u"Cannot create new heap");
  }
  ResizeBuffer(chunk_size_);
}

// The heap goes with heap_, and the block with it.
clsStringBuilder::~clsStringBuilder() = default;

int32_t clsStringBuilder::RoundUp(int32_t value, int32_t multiple) {
  if (multiple <= 0) throw NumberedError(kErrInvalidArgument);
  int32_t q = Mul(value / multiple, multiple);
  return q < value ? Add(q, multiple) : q;
}

void clsStringBuilder::ResizeBuffer(int32_t size) {
  void* block = buffer_ == nullptr
                    ? heap_->Allocate(static_cast<size_t>(size))
                    : heap_->Reallocate(buffer_, static_cast<size_t>(size));
  // On failure the old block is still there and still ours.
  if (block == nullptr) throw NumberedError(kErrOutOfMemory);
  buffer_ = static_cast<char16_t*>(block);
  capacity_ = size;
}

int32_t clsStringBuilder::GrowthSize(int32_t capacity, int32_t incoming) const {
  // 1.6 times the block plus the incoming text, rounded half to even (the
  // default floating-point rounding mode), then to whole chunks.
  double target = std::nearbyint(static_cast<double>(capacity) * 1.6 +
                                 static_cast<double>(incoming));
  if (target > std::numeric_limits<int32_t>::max()) RaiseOverflow();
  return RoundUp(static_cast<int32_t>(target), chunk_size_);
}

void clsStringBuilder::EnsureCapacity(int32_t needed, int32_t incoming) {
  if (needed > capacity_) ResizeBuffer(GrowthSize(capacity_, incoming));
}

namespace {

// When `str` lies inside the builder's own block, a growth or move would pull
// it away under the copy: such text is copied out first.
std::u16string_view Detach(std::u16string_view str, const char16_t* block,
                           int32_t capacity, std::u16string& holder) {
  const char16_t* begin = block;
  const char16_t* end = block + capacity / 2;
  if (block != nullptr && !str.empty() &&
      std::less_equal<const char16_t*>()(begin, str.data()) &&
      std::less<const char16_t*>()(str.data(), end)) {
    holder.assign(str);
    return holder;
  }
  return str;
}

}  // namespace

std::u16string clsStringBuilder::ToString() const {
  if (byte_length_ == 0) return std::u16string();
  const auto n = static_cast<size_t>(byte_length_ / 2);
  std::u16string text;
  // The copy of a large text goes to fresh memory: let the system back it
  // with large pages before it is written (see AdviseLargeBuffer).
  text.reserve(n);
  AdviseLargeBuffer(text.data(), (text.capacity() + 1) * sizeof(char16_t));
  text.assign(buffer_, n);
  return text;
}

void clsStringBuilder::StringData(std::u16string_view str) {
  if (str.empty()) {
    Clear();
    return;
  }
  std::u16string holder;
  str = Detach(str, buffer_, capacity_, holder);
  // Clear would bring a non-empty builder back to one chunk and Append would
  // grow from there; the block goes to that final size in one resize, so that
  // an overflow or a failed allocation finds the old content still there.
  int32_t bytes = ByteCount(str);
  int32_t needed = Add(bytes, 2);
  int32_t base = byte_length_ == 0 ? capacity_ : chunk_size_;
  int32_t size = needed > base ? GrowthSize(base, bytes) : base;
  if (size != capacity_) ResizeBuffer(size);
  std::memcpy(buffer_, str.data(), static_cast<size_t>(bytes));
  buffer_[str.size()] = u'\0';
  byte_length_ = bytes;
}

const char16_t* clsStringBuilder::ToStringPtr() const {
  return byte_length_ == 0 ? nullptr : buffer_;
}

std::u16string clsStringBuilder::ToStringLeft(int32_t Length) const {
  if (byte_length_ == 0) return std::u16string();
  int32_t c = Length < this->Length() ? Length : this->Length();
  if (c < 0) throw NumberedError(kErrInvalidArgument);
  return std::u16string(buffer_, static_cast<size_t>(c));
}

std::u16string clsStringBuilder::ToStringRight(int32_t Length) const {
  if (byte_length_ == 0) return std::u16string();
  int32_t n = this->Length();
  int32_t c = Length < n ? Length : n;
  if (c < 0) throw NumberedError(kErrInvalidArgument);
  return std::u16string(buffer_ + (n - c), static_cast<size_t>(c));
}

std::u16string clsStringBuilder::ToStringMid(int32_t StartPos,
                                             int32_t Length) const {
  int32_t s0 = Sub(StartPos, 1);
  int32_t n = this->Length();
  // A start before the content is a position outside it, like one past its
  // end: nothing is read and the result is empty.
  if (byte_length_ == 0 || StartPos > n || StartPos < 1) return std::u16string();
  int32_t c = Length;
  if (Add(s0, c) > n) c = n - s0;
  if (c < 0) throw NumberedError(kErrInvalidArgument);
  return std::u16string(buffer_ + s0, static_cast<size_t>(c));
}

void clsStringBuilder::Clear() {
  if (byte_length_ == 0) return;
  // Shrink first: should that fail, the content is still whole.
  ResizeBuffer(chunk_size_);
  byte_length_ = 0;
}

void clsStringBuilder::Append(std::u16string_view str) {
  if (str.empty()) return;
  int32_t bytes = ByteCount(str);
  int32_t needed = Add(Add(byte_length_, bytes), 2);
  std::u16string holder;
  str = Detach(str, buffer_, capacity_, holder);
  EnsureCapacity(needed, bytes);
  char16_t* end = buffer_ + byte_length_ / 2;
  std::memcpy(end, str.data(), static_cast<size_t>(bytes));
  end[str.size()] = u'\0';
  byte_length_ += bytes;
}

void clsStringBuilder::AppendLine(std::u16string_view str) {
  int32_t bytes = ByteCount(str);
  int32_t needed = Add(Add(Add(byte_length_, bytes), 4), 2);
  std::u16string holder;
  str = Detach(str, buffer_, capacity_, holder);
  EnsureCapacity(needed, bytes);
  char16_t* end = buffer_ + byte_length_ / 2;
  if (bytes > 0) std::memcpy(end, str.data(), static_cast<size_t>(bytes));
  end += str.size();
  end[0] = u'\r';
  end[1] = u'\n';
  end[2] = u'\0';
  byte_length_ += bytes + 4;
}

void clsStringBuilder::Insert(int32_t pos, std::u16string_view str) {
  int32_t p0 = Sub(pos, 1);
  int32_t n = Length();
  if (str.empty() || p0 < 0 || p0 > n) return;
  int32_t bytes = ByteCount(str);
  int32_t needed = Add(Add(byte_length_, bytes), 2);
  std::u16string holder;
  str = Detach(str, buffer_, capacity_, holder);
  EnsureCapacity(needed, bytes);
  // The tail moves up by the inserted length; the terminator is written
  // afresh, since an empty builder has none to move.
  std::memmove(buffer_ + p0 + str.size(), buffer_ + p0,
               static_cast<size_t>(byte_length_ - 2 * p0));
  std::memcpy(buffer_ + p0, str.data(), static_cast<size_t>(bytes));
  byte_length_ += bytes;
  buffer_[byte_length_ / 2] = u'\0';
}

void clsStringBuilder::Overwrite(int32_t pos, std::u16string_view str) {
  int32_t p0 = Sub(pos, 1);
  int32_t n = Length();
  if (str.empty() || p0 < 0 || p0 > n) return;
  int32_t bytes = ByteCount(str);
  int32_t end_bytes = Add(Mul(p0, 2), bytes);
  int32_t needed = Add(end_bytes, 2);
  std::u16string holder;
  str = Detach(str, buffer_, capacity_, holder);
  EnsureCapacity(needed, bytes);
  std::memmove(buffer_ + p0, str.data(), static_cast<size_t>(bytes));
  if (end_bytes > byte_length_) {
    byte_length_ = end_bytes;
    buffer_[byte_length_ / 2] = u'\0';
  }
}

void clsStringBuilder::Remove(int32_t pos, int32_t Length) {
  int32_t p0 = Sub(pos, 1);
  int32_t n = this->Length();
  if (Length <= 0 || p0 < 0 || p0 > n) return;
  int32_t k = Length;
  if (Add(p0, k) > n) k = n - p0;
  int32_t tail = byte_length_ - 2 * (p0 + k);
  if (tail != 0) {
    std::memmove(buffer_ + p0, buffer_ + p0 + k, static_cast<size_t>(tail));
  }
  byte_length_ -= 2 * k;
  buffer_[byte_length_ / 2] = u'\0';
}

int32_t clsStringBuilder::FindInBuffer(int32_t StartPos, const char16_t* search,
                                       const char16_t* base,
                                       int32_t CompareMethod) const {
  const char16_t* start = base + Sub(StartPos, 1);
  const char16_t* found =
      CompareMethod == 1 ? StrStrIW(start, search) : StrStrW(start, search);
  if (found == nullptr) return 0;
  return static_cast<int32_t>(found - base) + 1;
}

bool clsStringBuilder::CompareChars(const char16_t* p1, const char16_t* p2,
                                    int32_t count,
                                    int32_t CompareMethod) const {
  if (ordinal_compare_) {
    return CompareStringOrdinal(p1, count, p2, count, CompareMethod != 0) !=
           kCstrEqual;
  }
  // The locale comparison takes NUL-terminated texts: a side whose text ends
  // exactly after `count` units is used in place, any other is copied. The
  // length is only looked at up to count + 1 units, which is all the test
  // needs and never reads past the side's own terminator.
  auto terminated = [count](const char16_t* p, std::u16string& copy) {
    const char16_t* nul =
        std::char_traits<char16_t>::find(p, static_cast<size_t>(count) + 1, u'\0');
    if (nul == p + count) return p;
    copy.assign(p, static_cast<size_t>(count));
    return copy.c_str();
  };
  std::u16string copy1, copy2;
  const char16_t* a = terminated(p1, copy1);
  const char16_t* b = terminated(p2, copy2);
  int r = CompareMethod == 1 ? lstrcmpiW(a, b) : lstrcmpW(a, b);
  return r != 0;
}

int32_t clsStringBuilder::Find(int32_t StartPos, std::u16string_view StrSearch,
                               std::u16string_view Delimiter,
                               int32_t CompareMethod) const {
  int32_t s0 = Sub(StartPos, 1);
  int32_t n = Length();
  if (s0 > n) return 0;
  // A start before the content finds nothing; the scan never begins outside
  // the block.
  if (StartPos < 1) return 0;
  // Only 1 ignores case; every other value is the binary comparison.
  int32_t method = CompareMethod == 1 ? 1 : 0;
  int32_t ns = CharCount(StrSearch);
  int32_t nd = CharCount(Delimiter);
  const std::u16string s(StrSearch);
  const std::u16string d(Delimiter);
  const char16_t* block = buffer_;

  if (ns > 0) {
    if (n == 0) return 0;
    if (nd == 0) return FindInBuffer(StartPos, s.c_str(), block, method);
    int32_t field = Add(ns, nd);
    if (StartPos == 1 && ns == n && !CompareChars(block, s.c_str(), n, method)) {
      return 1;
    }
    if (StartPos == 1 && n >= field &&
        !CompareChars(block, (s + d).c_str(), field, method)) {
      return 1;
    }
    int32_t p = FindInBuffer(StartPos, (d + s + d).c_str(), block, method);
    if (p != 0) return Add(p, nd);
    if (Add(Add(s0, nd), ns) > n) return 0;
    if (!CompareChars(block + (n - field), (d + s).c_str(), field, method)) {
      return n - ns + 1;
    }
    return 0;
  }

  if (nd == 0) return 1;
  if (n == 0) return 0;
  if (StartPos == 1 && n >= nd && StringsEqual(ToStringLeft(nd), d, method == 1)) {
    return 1;
  }
  int32_t p = FindInBuffer(StartPos, (d + d).c_str(), block, method);
  if (p != 0) return Add(p, nd);
  if (Add(s0, nd) > n) return 0;
  if (StringsEqual(ToStringRight(nd), d, method == 1)) return Add(n, 1);
  return 0;
}

}  // namespace corvalen
