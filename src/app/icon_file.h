// Windows icon files (.ico) holding several sizes of one picture.
#ifndef CORVALEN_APP_ICON_FILE_H_
#define CORVALEN_APP_ICON_FILE_H_

#include <span>
#include <string>

#include "app/corvalen_artwork.h"

namespace corvalen {

// The bytes of an .ico file with one 32-bit image (colour with alpha, and
// the mask that older readers use) per entry of `images`, in that order.
// Each image is at most 256 pixels.
std::string IconFileBytes(std::span<const IconImage> images);

}  // namespace corvalen

#endif  // CORVALEN_APP_ICON_FILE_H_
