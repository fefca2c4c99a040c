// Reading a script file into the text that the run cuts into pieces.
#ifndef CORVALEN_TSQL_SCRIPT_READER_H_
#define CORVALEN_TSQL_SCRIPT_READER_H_

#include <optional>
#include <string>

#include "platform/ansi_file_decoder.h"

namespace corvalen {

// The script text of the file at `path`: its lines read in the system's ANSI
// code page (or in the encoding its byte-order mark announces), each followed
// by CR LF, the last one included, gathered in a clsStringBuilder. `encoding`,
// when given, receives the encoding the file was read in. Raises
// NumberedError when the file cannot be opened or read.
std::u16string ReadScriptText(const std::u16string& path,
                              std::optional<TextEncoding>* encoding = nullptr);

// The same text as ReadScriptText, decoded a chunk at a time straight into
// one string whose room is the file's size: no string builder, no per-line
// copy, and memory near twice the file's size. For reading a script without
// running it.
std::u16string ReadScriptTextDirect(const std::u16string& path,
                                    std::optional<TextEncoding>* encoding = nullptr);

}  // namespace corvalen

#endif  // CORVALEN_TSQL_SCRIPT_READER_H_
