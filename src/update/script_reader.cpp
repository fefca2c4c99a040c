#include "update/script_reader.h"

#include <memory>

#include "platform/ansi_file.h"
#include "text/string_builder.h"

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

}  // namespace corvalen
