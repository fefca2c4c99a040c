#include "tsql/script_reader.h"

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/ansi_file.h"
#include "platform/ansi_file_bytes.h"
#include "text/string_builder.h"
#include "tsql/tsql_reader.h"

namespace corvalen {

std::u16string ReadScriptText(const std::u16string& path, std::optional<TextEncoding>* encoding) {
  auto builder = std::make_unique<clsStringBuilder>();
  LineInput file(path);
  std::u16string line;
  while (!file.AtEnd()) {
    file.ReadLine(&line);
    line += u"\r\n";
    builder->Append(line);
  }
  if (encoding != nullptr) *encoding = file.encoding();
  file.Close();
  return builder->ToString();
}

std::u16string ReadScriptTextDirect(const std::u16string& path,
                                    std::optional<TextEncoding>* encoding) {
  constexpr size_t kChunk = 1 << 20;
  FileBytes file(path);
  std::u16string text;
  try {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::path(path), error);
    // Each byte gives at most one code unit; only a lone CR gains an LF.
    if (!error) text.reserve(static_cast<size_t>(size) + size / 64 + 64);
  } catch (const std::exception&) {
    // A name the library cannot convert: the text grows as it is read.
  }
  auto bytes = std::make_unique<char[]>(kChunk);
  auto units = std::make_unique<char16_t[]>(TextDecoder::MaxOutput(kChunk));
  std::unique_ptr<TextDecoder> decoder;
  bool cr_last = false;  // the last unit appended was a CR: an LF next is its
  // Appends decoded text with every line end made CR LF; an LF alone stays.
  auto append = [&](const char16_t* p, const char16_t* end) {
    if (p == end) return;
    if (cr_last) {
      cr_last = false;
      text += u'\n';
      if (*p == u'\n') ++p;
    }
    while (p < end) {
      const char16_t* cr = tsql_detail::FindEither(p, end, u'\r', u'\r');
      if (cr == end) {
        text.append(p, end);
        return;
      }
      text.append(p, cr + 1);
      p = cr + 1;
      if (p == end) {
        cr_last = true;
        return;
      }
      text += u'\n';
      if (*p == u'\n') ++p;
    }
  };
  for (;;) {
    size_t got = file.Read(bytes.get(), kChunk);
    std::string_view chunk(bytes.get(), got);
    if (!decoder) {
      // The byte-order mark must be seen whole: short reads are topped up.
      while (got > 0 && got < kLongestByteOrderMark) {
        const size_t more = file.Read(bytes.get() + got, kChunk - got);
        if (more == 0) break;
        got += more;
      }
      if (got == 0) break;  // an empty file
      chunk = std::string_view(bytes.get(), got);
      const DetectedEncoding detected = DetectEncoding(chunk);
      if (encoding != nullptr) *encoding = detected.encoding;
      decoder = std::make_unique<TextDecoder>(detected.encoding);
      chunk.remove_prefix(detected.mark_length);
    }
    if (got == 0) {
      append(units.get(), units.get() + decoder->Finish(units.get()));
      break;
    }
    append(units.get(), units.get() + decoder->Decode(chunk, units.get()));
  }
  // The last line ends with CR LF whether or not the file ends with a line end.
  if (cr_last) {
    text += u'\n';
  } else if (!text.empty() && !(text.size() >= 2 && text[text.size() - 2] == u'\r' &&
                                text.back() == u'\n')) {
    text += u"\r\n";
  }
  return text;
}

}  // namespace corvalen
