// make_icon_file FILE: writes the program's icon, in every size of
// kIconSizes, as a Windows .ico file. Run on the build machine when the
// Windows program is built, so that no binary icon is kept in the sources.
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/corvalen_artwork.h"
#include "app/icon_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon_file FILE.ico\n");
    return 64;
  }
  std::vector<corvalen::IconImage> images;
  for (int size : corvalen::kIconSizes) images.push_back(corvalen::DrawCorvalenArtwork(size));
  const std::string bytes = corvalen::IconFileBytes(images);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
