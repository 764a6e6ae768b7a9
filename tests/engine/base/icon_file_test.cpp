#include "engine/base/icon_file.h"

#include <gtest/gtest.h>

namespace pelindra {
namespace {

void put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(std::uint8_t(x)), v.push_back(std::uint8_t(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) { put16(v, x & 0xFFFF), put16(v, x >> 16); }

std::vector<std::uint8_t> dibImage(int side, int bits) {
  std::vector<std::uint8_t> d;
  put32(d, 40), put32(d, std::uint32_t(side)), put32(d, std::uint32_t(2 * side)), put16(d, 1), put16(d, unsigned(bits));
  d.resize(40, 0);
  if (bits <= 8) d.resize(d.size() + (std::size_t(4) << bits), 0);
  d.resize(d.size() + std::size_t((side * bits + 31) / 32 * 4 * side + (side + 31) / 32 * 4 * side), 0);
  return d;
}

std::vector<std::uint8_t> pngImage(std::uint32_t side) {
  std::vector<std::uint8_t> d = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int i = 3; i >= 0; --i) d.push_back(std::uint8_t(side >> (8 * i)));
  for (int i = 3; i >= 0; --i) d.push_back(std::uint8_t(side >> (8 * i)));
  d.resize(d.size() + 20, 0);
  return d;
}

std::vector<std::uint8_t> file(const std::vector<std::vector<std::uint8_t>>& images) {
  std::vector<std::uint8_t> f;
  put16(f, 0), put16(f, 1), put16(f, unsigned(images.size()));
  std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
  for (const auto& img : images) {
    f.insert(f.end(), 8, 0);
    put32(f, std::uint32_t(img.size())), put32(f, offset);
    offset += std::uint32_t(img.size());
  }
  for (const auto& img : images) f.insert(f.end(), img.begin(), img.end());
  return f;
}

TEST(IconFile, ChoosesTheLargestThenDeepestImage) {
  const auto dir = readIconDirectory(file({dibImage(16, 32), dibImage(32, 4), dibImage(32, 8), pngImage(32)}));
  ASSERT_EQ(dir.images.size(), 4u);
  EXPECT_EQ(bestIconImage(dir), 2u);
  EXPECT_EQ(dir.images[2].height, 32);  // without the mask rows
  const auto withPng = readIconDirectory(file({dibImage(16, 32), pngImage(256)}));
  EXPECT_TRUE(withPng.images[bestIconImage(withPng)].png);
}

TEST(IconFile, DamagedEntriesAreLeftOut) {
  auto f = file({dibImage(16, 4), dibImage(32, 32)});
  f.resize(f.size() - 10);  // the second image loses part of its mask
  const auto dir = readIconDirectory(f);
  EXPECT_EQ(dir.images.size(), 1u);
  EXPECT_EQ(dir.damaged, 1u);
  EXPECT_EQ(dir.images[0].width, 16);

  auto badHeight = dibImage(16, 8);
  badHeight[8] = 33;  // odd: no room for a mask of equal rows
  EXPECT_THROW(readIconDirectory(file({badHeight})), IconError);
  auto wide = dibImage(16, 8);
  wide[5] = 0x10;  // 4112 pixels wide
  EXPECT_THROW(readIconDirectory(file({wide})), IconError);
  EXPECT_THROW(readIconDirectory(file({pngImage(5000)})), IconError);
}

TEST(IconFile, HeaderFaults) {
  EXPECT_THROW(readIconDirectory({}), IconError);
  const std::vector<std::uint8_t> noImages = {0, 0, 1, 0, 0, 0};
  EXPECT_THROW(readIconDirectory(noImages), IconError);
  auto cutDirectory = file({dibImage(16, 4)});
  cutDirectory.resize(15);
  EXPECT_THROW(readIconDirectory(cutDirectory), IconError);
  auto intoDirectory = file({dibImage(16, 4)});
  intoDirectory[6 + 12] = 2;  // image offset inside the header
  EXPECT_THROW(readIconDirectory(intoDirectory), IconError);
}

}  // namespace
}  // namespace pelindra
