// What both kinds of connection check in a batch before they send it.
#ifndef CORVALEN_DB_BATCH_TEXT_H_
#define CORVALEN_DB_BATCH_TEXT_H_

#include <string_view>

namespace corvalen {

// Raises NumberedError(kErrDatabase) when `text` holds a NUL character
// (U+0000): a driver reads a batch only up to its first NUL, so the cut part
// alone would run. The message names the line of the batch that holds the
// first NUL, counted from 1; CR LF, CR and LF each end a line.
void RefuseNulCharacter(std::u16string_view text);

}  // namespace corvalen

#endif  // CORVALEN_DB_BATCH_TEXT_H_
