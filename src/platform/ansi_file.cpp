#include "platform/ansi_file.h"

#include <algorithm>

#include "platform/numbered_error.h"

namespace corvalen {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The first CR in [begin, end), or end.
const char16_t* FindCr(const char16_t* begin, const char16_t* end) {
  // Whole blocks are tested without an early exit so that the compiler can
  // vectorise the test; a block that holds a CR is then searched one by one.
  constexpr size_t kBlock = 16;
  const char16_t* p = begin;
  while (static_cast<size_t>(end - p) >= kBlock) {
    bool any = false;
    for (size_t k = 0; k < kBlock; ++k) any |= (p[k] == kCr);
    if (any) break;
    p += kBlock;
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
      bytes_ = std::make_unique<char[]>(chunk_bytes_);
      text_ = std::make_unique<char16_t[]>(TextDecoder::MaxOutput(chunk_bytes_));
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
  if (AtEnd()) throw NumberedError(kErrInputPastEnd, u"Input past end of file");
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
