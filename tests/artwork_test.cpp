// Checks the committed pictures for what the windows rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "artwork_files.h"

namespace {

using namespace artwork_files;

struct IconEntry {
  int size, bits;  // as the icon directory states them; the image header must agree
  Dib image;
};

std::vector<IconEntry> parse_ico(const Bytes& file) {
  if (u16(file, 0) != 0 || u16(file, 2) != 1) throw std::runtime_error("not an icon file");
  std::vector<IconEntry> entries;
  for (std::size_t i = 0; i < u16(file, 4); ++i) {
    const std::size_t e = 6 + kIconEntrySize * i;
    if (std::size_t{u32(file, e + 12)} + u32(file, e + 8) > file.size())
      throw std::runtime_error("icon image past the end of the file");
    IconEntry entry{file.at(e), u16(file, e + 6), parse_dib(file, u32(file, e + 12), true)};
    if (file.at(e + 1) != entry.size || entry.image.width != entry.size ||
        entry.image.height != entry.size || entry.image.bits != entry.bits)
      throw std::runtime_error("icon directory and image header disagree");
    entries.push_back(std::move(entry));
  }
  return entries;
}

TEST(FloppyPicture, IsASixteenColourBitmapInBlackOliveAndSilver) {
  const Bytes file = read_committed("ui/art/floppy.bmp");
  const Dib floppy = parse_bmp(file);
  EXPECT_EQ(floppy.width, 24);
  EXPECT_EQ(floppy.height, 23);
  EXPECT_EQ(floppy.bits, 4);
  EXPECT_EQ(floppy.compression, 0u);
  std::set<Rgb> used;
  for (int y = 0; y < floppy.height; ++y)
    for (int x = 0; x < floppy.width; ++x) used.insert(floppy.colour(x, y));
  EXPECT_EQ(used, (std::set<Rgb>{kBlack, kOlive, kSilver}));
}

TEST(BannerPicture, ShowsGlobeAndNameAndKeepsTheAnimationAreaPlain) {
  const Bytes file = read_committed("ui/art/banner.bmp");
  const Dib banner = parse_bmp(file);
  ASSERT_EQ(banner.width, 445);
  ASSERT_EQ(banner.height, 146);
  EXPECT_EQ(banner.bits, 4);
  EXPECT_EQ(banner.palette.size(), 16u);
  // The window stretches the banner into a 458 x 142 box and plays the clip from (211, 86) of
  // that box; the clip may show the banner through its background, so that part must be plain.
  const int clip_left = 211 * banner.width / 458, clip_top = 86 * banner.height / 142;
  std::map<Rgb, int> counts;
  for (int y = 0; y < banner.height; ++y)
    for (int x = 0; x < banner.width; ++x) {
      const Rgb c = banner.colour(x, y);
      ++counts[c];
      if (x >= clip_left && y >= clip_top) {
        ASSERT_EQ(c, kSilver) << "at " << x << "," << y;
      }
    }
  const int area = banner.width * banner.height;
  EXPECT_GT(counts[kSilver], area / 2) << "light grey ground";
  EXPECT_GT(counts[kRed], area / 50) << "large red name";
  EXPECT_GT(counts[kBlue] + counts[kNavy], area / 20) << "the globe's sea";
  EXPECT_GT(counts[kLime] + counts[kGreen], area / 50) << "the globe's land";
}

TEST(GlobeIcon, HasLargeAndSmallSixteenColourImagesWithTransparentCorners) {
  const Bytes file = read_committed("ui/art/globe.ico");
  const std::vector<IconEntry> icon = parse_ico(file);
  ASSERT_EQ(icon.size(), 2u);
  for (std::size_t i = 0; i < icon.size(); ++i) {
    const auto& [size, bits, image] = icon[i];
    ASSERT_EQ(size, i == 0 ? 32 : 16);
    EXPECT_EQ(bits, 4);
    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}}) {
      EXPECT_TRUE(image.masked(x, y)) << "corner " << x << "," << y << " of " << size;
      EXPECT_EQ(image.index(x, y), 0u) << "a transparent pixel must be black in the colour bits";
    }
    std::map<Rgb, int> counts;
    for (int y = size / 4; y < 3 * size / 4; ++y)
      for (int x = size / 4; x < 3 * size / 4; ++x) {
        EXPECT_FALSE(image.masked(x, y)) << "disc pixel " << x << "," << y;
        ++counts[image.colour(x, y)];
      }
    EXPECT_GT(counts[kBlue] + counts[kNavy], 0) << "sea in the " << size << " image";
    EXPECT_GT(counts[kLime] + counts[kGreen], 0) << "land in the " << size << " image";
  }
}

TEST(DialogGlobeIcon, IsTheSameGlobeWithOpaqueBlackCornersInItsLargeImage) {
  const Bytes window_file = read_committed("ui/art/globe.ico");
  const Bytes dialog_file = read_committed("ui/art/globe-dialog.ico");
  const std::vector<IconEntry> window = parse_ico(window_file);
  const std::vector<IconEntry> dialog = parse_ico(dialog_file);
  ASSERT_EQ(window.size(), 2u);
  ASSERT_EQ(dialog.size(), 2u);
  for (std::size_t i = 0; i < dialog.size(); ++i) {
    const Dib& mine = dialog[i].image;
    const Dib& theirs = window[i].image;
    ASSERT_EQ(mine.width, theirs.width);
    ASSERT_EQ(mine.bits, 4);
    for (int y = 0; y < mine.height; ++y)
      for (int x = 0; x < mine.width; ++x) {
        if (i == 0) {  // large: nothing transparent, black where the window's icon is clear
          ASSERT_FALSE(mine.masked(x, y)) << x << "," << y;
          ASSERT_EQ(mine.colour(x, y), theirs.masked(x, y) ? kBlack : theirs.colour(x, y));
        } else {  // small: identical
          ASSERT_EQ(mine.masked(x, y), theirs.masked(x, y)) << x << "," << y;
          ASSERT_EQ(mine.index(x, y), theirs.index(x, y)) << x << "," << y;
        }
      }
  }
}

TEST(WindowIcon, HasMonochromeAndSixteenColourImages) {
  const Bytes file = read_committed("ui/art/window.ico");
  const std::vector<IconEntry> icon = parse_ico(file);
  ASSERT_EQ(icon.size(), 3u);
  const std::array<std::array<int, 2>, 3> expected{{{32, 1}, {32, 4}, {16, 4}}};
  for (std::size_t i = 0; i < icon.size(); ++i) {
    const Dib& image = icon[i].image;
    EXPECT_EQ(icon[i].size, expected[i][0]);
    EXPECT_EQ(icon[i].bits, expected[i][1]);
    int opaque = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) opaque += image.masked(x, y) ? 0 : 1;
    EXPECT_GT(opaque, image.width * image.height / 2) << "image " << i << " is mostly window";
  }
  EXPECT_EQ(icon[0].image.palette, (std::vector<Rgb>{kBlack, {255, 255, 255}}));
}

}  // namespace
