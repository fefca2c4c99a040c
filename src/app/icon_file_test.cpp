#include "app/icon_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/corvalen_artwork.h"

namespace corvalen {
namespace {

uint32_t Read(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

TEST(IconFileTest, FourSizesOfTheArtworkWithTransparentCorners) {
  std::vector<IconImage> images;
  for (int size : kIconSizes) images.push_back(DrawCorvalenArtwork(size));
  const std::string bytes = IconFileBytes(images);

  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(Read(bytes, 0, 2), 0u);
  EXPECT_EQ(Read(bytes, 2, 2), 1u) << "an icon";
  ASSERT_EQ(Read(bytes, 4, 2), 4u);
  for (size_t i = 0; i < images.size(); ++i) {
    const size_t entry = 6 + 16 * i;
    const uint32_t size = static_cast<uint32_t>(kIconSizes[i]);
    EXPECT_EQ(Read(bytes, entry, 1), size);
    EXPECT_EQ(Read(bytes, entry + 1, 1), size);
    EXPECT_EQ(Read(bytes, entry + 6, 2), 32u) << "bits per pixel";
    const uint32_t length = Read(bytes, entry + 8, 4);
    const uint32_t offset = Read(bytes, entry + 12, 4);
    ASSERT_LE(offset + length, bytes.size()) << size;
    const uint32_t mask_row = (size + 31) / 32 * 4;
    EXPECT_EQ(length, 40 + size * size * 4 + mask_row * size) << size;
    EXPECT_EQ(Read(bytes, offset + 4, 4), size);
    EXPECT_EQ(Read(bytes, offset + 8, 4), size * 2) << "colour and mask";

    // The picture: transparent top-left corner (masked), opaque drum body.
    const IconImage& image = images[i];
    EXPECT_EQ(image.pixels[0] >> 24, 0u) << size;
    const size_t body = static_cast<size_t>(size * 30 / 48) * size + size * 12 / 48;
    EXPECT_EQ(image.pixels[body] >> 24, 255u) << size;
    const size_t first_mask_row = offset + 40 + size * size * 4 + mask_row * (size - 1);
    EXPECT_TRUE(static_cast<uint8_t>(bytes[first_mask_row]) & 0x80) << "top-left masked";
  }
}

}  // namespace
}  // namespace corvalen
