// The program's icon artwork, drawn as plain pixels so that the Qt window
// and the Windows icon file (made at build time) show the same picture.
#ifndef CORVALEN_APP_CORVALEN_ARTWORK_H_
#define CORVALEN_APP_CORVALEN_ARTWORK_H_

#include <cstdint>
#include <vector>

namespace corvalen {

// The sizes, in pixels, in which the icon is drawn.
inline constexpr int kIconSizes[] = {16, 24, 32, 48};

// A square image, rows from the top, each pixel 0xAARRGGBB (alpha not
// premultiplied).
struct IconImage {
  int size = 0;
  std::vector<uint32_t> pixels;
};

// A database drum with a green up arrow, drawn on a 48-unit grid scaled to
// `size` pixels, edges smoothed, outlines about one pixel wide at any size.
IconImage DrawCorvalenArtwork(int size);

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_ARTWORK_H_
