#include "platform/ansi_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/numbered_error.h"

namespace corvalen {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The first CR in [begin, end), or end. Eight code units are tested at a
// time with the vector extensions of GCC and Clang (SIMD on every target they
// support); only the group that holds a CR is searched one by one.
const char16_t* FindCr(const char16_t* begin, const char16_t* end) {
  using Lanes = uint16_t __attribute__((vector_size(16)));
  using LaneMask = int16_t __attribute__((vector_size(16)));
  constexpr size_t kLanes = 8;
  const char16_t* p = begin;
  while (static_cast<size_t>(end - p) >= kLanes) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    const LaneMask m = v == kCr;
    uint64_t w[2];
    std::memcpy(w, &m, sizeof w);
    if ((w[0] | w[1]) != 0) break;
    p += kLanes;
  }
  return std::find(p, end, kCr);
}

}  // namespace

LineInput::LineInput(const std::u16string& path, size_t chunk_bytes)
    : file_(path), chunk_bytes_(std::max(chunk_bytes, kLongestByteOrderMark)) {}

LineInput::~LineInput() = default;

void LineInput::Close() { file_.Close(); }

void LineInput::Decode(size_t byte_count) {
  std::string_view bytes(bytes_.get(), byte_count);
  if (!encoding_) {
    DetectedEncoding detected = DetectEncoding(bytes);
    encoding_ = detected.encoding;
    decoder_ = std::make_unique<TextDecoder>(detected.encoding);
    bytes.remove_prefix(detected.mark_length);
  }
  pos_ = 0;
  end_ = decoder_->Decode(bytes, text_.get());
}

bool LineInput::Fill() {
  while (pos_ == end_) {
    if (bytes_exhausted_) return false;
    if (!bytes_) {
      // Filled before they are read: no need to clear them first.
      bytes_ = std::make_unique_for_overwrite<char[]>(chunk_bytes_);
      text_ = std::make_unique_for_overwrite<char16_t[]>(TextDecoder::MaxOutput(chunk_bytes_));
    }
    size_t got = file_.Read(bytes_.get(), chunk_bytes_);
    if (!encoding_) {
      // The byte-order mark must be seen whole: short reads are topped up.
      while (got > 0 && got < kLongestByteOrderMark) {
        size_t more = file_.Read(bytes_.get() + got, chunk_bytes_ - got);
        if (more == 0) break;
        got += more;
      }
    }
    if (got == 0) {
      bytes_exhausted_ = true;
      if (!decoder_) return false;  // an empty file
      pos_ = 0;
      end_ = decoder_->Finish(text_.get());
      continue;
    }
    Decode(got);
  }
  return true;
}

bool LineInput::AtEnd() {
  if (!Fill()) return true;
  if (skip_lf_) {
    skip_lf_ = false;
    if (text_[pos_] == kLf) {
      ++pos_;
      return !Fill();
    }
  }
  return false;
}

void LineInput::ReadLine(std::u16string* line) {
  line->clear();
  if (AtEnd()) throw NumberedError(kErrInputPastEnd);
  for (;;) {
    const char16_t* begin = text_.get() + pos_;
    const char16_t* end = text_.get() + end_;
    const char16_t* cr = FindCr(begin, end);
    line->append(begin, cr);
    if (cr != end) {
      pos_ = static_cast<size_t>(cr - text_.get()) + 1;
      skip_lf_ = true;
      return;
    }
    pos_ = end_;
    if (!Fill()) return;  // the last line, without a line end
  }
}

}  // namespace corvalen
