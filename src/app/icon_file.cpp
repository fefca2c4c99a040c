#include "app/icon_file.h"

#include <cstdint>

namespace corvalen {
namespace {

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// One image as an icon resource: a bitmap header of twice the height (colour
// rows, then mask rows), the colour rows bottom-up as B, G, R, A, then the
// mask, one bit per pixel, set where the pixel is fully transparent.
std::string Resource(const IconImage& image) {
  const uint32_t size = static_cast<uint32_t>(image.size);
  const uint32_t mask_row = (size + 31) / 32 * 4;
  std::string out;
  Put32(out, 40);        // header size
  Put32(out, size);      // width
  Put32(out, size * 2);  // height of colour and mask together
  Put16(out, 1);         // planes
  Put16(out, 32);        // bits per pixel
  Put32(out, 0);         // uncompressed
  Put32(out, size * size * 4 + mask_row * size);
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution, palette
  for (uint32_t row = size; row-- > 0;) {
    for (uint32_t x = 0; x < size; ++x) {
      const uint32_t argb = image.pixels[row * size + x];
      out.push_back(static_cast<char>(argb & 0xFF));
      out.push_back(static_cast<char>((argb >> 8) & 0xFF));
      out.push_back(static_cast<char>((argb >> 16) & 0xFF));
      out.push_back(static_cast<char>(argb >> 24));
    }
  }
  for (uint32_t row = size; row-- > 0;) {
    std::string bits(mask_row, '\0');
    for (uint32_t x = 0; x < size; ++x) {
      if ((image.pixels[row * size + x] >> 24) == 0) bits[x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
    out += bits;
  }
  return out;
}

}  // namespace

std::string IconFileBytes(std::span<const IconImage> images) {
  constexpr uint32_t kDirectorySize = 6;
  constexpr uint32_t kEntrySize = 16;
  std::string directory;
  Put16(directory, 0);  // reserved
  Put16(directory, 1);  // an icon, not a cursor
  Put16(directory, static_cast<uint32_t>(images.size()));
  std::string data;
  uint32_t offset = kDirectorySize + kEntrySize * static_cast<uint32_t>(images.size());
  for (const IconImage& image : images) {
    const std::string resource = Resource(image);
    const auto side = static_cast<char>(image.size >= 256 ? 0 : image.size);  // 0 means 256
    directory.push_back(side);
    directory.push_back(side);
    directory.push_back(0);  // no palette
    directory.push_back(0);  // reserved
    Put16(directory, 1);     // planes
    Put16(directory, 32);    // bits per pixel
    Put32(directory, static_cast<uint32_t>(resource.size()));
    Put32(directory, offset);
    offset += static_cast<uint32_t>(resource.size());
    data += resource;
  }
  return directory + data;
}

}  // namespace corvalen
