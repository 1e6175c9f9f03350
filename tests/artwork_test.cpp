// Checks the committed pictures and the copying clip for what the windows and the animation
// control rely on. The files are parsed here independently of the generator that wrote them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  int red, green, blue;
  auto operator<=>(const Rgb&) const = default;
};
constexpr Rgb kBlack{0, 0, 0}, kOlive{128, 128, 0}, kSilver{192, 192, 192}, kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255}, kNavy{0, 0, 128}, kLime{0, 255, 0}, kGreen{0, 128, 0};

constexpr std::size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::size_t kIconEntrySize = 16;   // ICONDIRENTRY
constexpr std::size_t kIndexEntrySize = 16;  // AVIINDEXENTRY
constexpr std::uint32_t kRle8 = 1;

Bytes read_committed(const std::string& relative) {
  // Under wine64 this rooted path resolves on the drive of the build directory, Z:.
  const std::filesystem::path path = std::filesystem::path(DRAVELIN_SOURCE_DIR) / relative;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Little-endian fields; .at() turns a read past the end of a truncated file into an exception.
std::uint32_t u32(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
         static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
std::uint16_t u16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
std::string fourcc(const Bytes& b, std::size_t at) {
  std::string code;
  for (std::size_t i = at; i < at + 4; ++i) code += static_cast<char>(b.at(i));
  return code;
}

// A device-independent bitmap: header, palette, bottom-up rows, and for icon images the AND mask
// after the colour rows.
struct Dib {
  int width = 0, height = 0, bits = 0;
  std::uint32_t compression = 0;
  std::vector<Rgb> palette;
  std::size_t pixels_at = 0;
  const Bytes* file = nullptr;

  static std::size_t stride(int width, int bits) {
    return (static_cast<std::size_t>(width * bits) + 31) / 32 * 4;
  }
  unsigned bits_at(std::size_t rows_at, int depth, int x, int y) const {  // y from the top
    const std::size_t row =
        rows_at + static_cast<std::size_t>(height - 1 - y) * stride(width, depth);
    const auto bit = static_cast<std::size_t>(x * depth);
    return (file->at(row + bit / 8) >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
  }
  unsigned index(int x, int y) const { return bits_at(pixels_at, bits, x, y); }
  Rgb colour(int x, int y) const { return palette.at(index(x, y)); }
  bool masked(int x, int y) const {  // icon AND mask bit: set means transparent
    const std::size_t mask_at = pixels_at + stride(width, bits) * static_cast<std::size_t>(height);
    return bits_at(mask_at, 1, x, y) != 0;
  }
};

Dib parse_dib(const Bytes& file, std::size_t at, bool icon_image) {
  if (u32(file, at) != kInfoHeaderSize) throw std::runtime_error("not a BITMAPINFOHEADER");
  Dib dib;
  dib.file = &file;
  dib.width = static_cast<int>(u32(file, at + 4));
  dib.height = static_cast<int>(u32(file, at + 8)) / (icon_image ? 2 : 1);  // icons: colour + mask
  dib.bits = u16(file, at + 14);
  dib.compression = u32(file, at + 16);
  std::uint32_t colours = u32(file, at + 32);
  if (colours == 0 && dib.bits <= 8) colours = 1u << dib.bits;
  for (std::size_t q = at + kInfoHeaderSize; q < at + kInfoHeaderSize + 4 * colours; q += 4)
    dib.palette.push_back({file.at(q + 2), file.at(q + 1), file.at(q)});
  dib.pixels_at = at + kInfoHeaderSize + 4 * colours;
  return dib;
}

Dib parse_bmp(const Bytes& file) {
  if (fourcc(file, 0).substr(0, 2) != "BM") throw std::runtime_error("not a BMP file");
  if (u32(file, 2) != file.size()) throw std::runtime_error("BMP size field is wrong");
  Dib dib = parse_dib(file, 14, false);
  dib.pixels_at = u32(file, 10);
  return dib;
}

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
  const Bytes file = read_committed("windows/art/floppy.bmp");
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
  const Bytes file = read_committed("windows/art/banner.bmp");
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
  const Bytes file = read_committed("windows/art/globe.ico");
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
  const Bytes window_file = read_committed("windows/art/globe.ico");
  const Bytes dialog_file = read_committed("windows/art/globe-dialog.ico");
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
  const Bytes file = read_committed("windows/art/window.ico");
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

// A RIFF chunk; lists ("RIFF", "LIST") carry their type and their sub-chunks.
struct Chunk {
  std::string id, type;
  std::size_t data_at = 0;
  std::uint32_t size = 0;
  std::vector<Chunk> children;
  const Chunk* find(const std::string& id_or_type) const {
    auto it = std::find_if(children.begin(), children.end(), [&](const Chunk& c) {
      return c.id == id_or_type || c.type == id_or_type;
    });
    return it == children.end() ? nullptr : &*it;
  }
};

std::vector<Chunk> parse_chunks(const Bytes& file, std::size_t at, std::size_t end) {
  std::vector<Chunk> chunks;
  for (; at < end; at = chunks.back().data_at + chunks.back().size + chunks.back().size % 2) {
    Chunk c{fourcc(file, at), "", at + 8, u32(file, at + 4), {}};
    if (c.data_at + c.size > end) throw std::runtime_error(c.id + " chunk overruns its parent");
    if (c.id == "RIFF" || c.id == "LIST") {
      c.type = fourcc(file, c.data_at);
      c.children = parse_chunks(file, c.data_at + 4, c.data_at + c.size);
    }
    chunks.push_back(std::move(c));
  }
  return chunks;
}

// Expands one BI_RLE8 frame; every pixel must be coded, and nothing may fall outside the frame.
std::vector<unsigned> decode_rle8(const Bytes& file, const Chunk& frame, int width, int height) {
  constexpr unsigned kUncoded = 0x100;
  std::vector<unsigned> pixels(static_cast<std::size_t>(width * height), kUncoded);
  int x = 0, y = height - 1;  // rows arrive bottom-up
  const auto put = [&](unsigned value) {
    if (x >= width || y < 0) throw std::runtime_error("RLE8 data runs outside the frame");
    pixels[static_cast<std::size_t>(y * width + x++)] = value;
  };
  for (std::size_t i = frame.data_at; i + 1 < frame.data_at + frame.size;) {
    const unsigned count = file.at(i), code = file.at(i + 1);
    i += 2;
    if (count > 0) {
      for (unsigned n = 0; n < count; ++n) put(code);
    } else if (code == 0) {  // end of line
      x = 0, --y;
    } else if (code == 1) {  // end of bitmap
      break;
    } else if (code == 2) {
      throw std::runtime_error("a delta escape keeps pixels of the previous frame");
    } else {  // absolute block, padded to a 16-bit boundary
      for (unsigned n = 0; n < code; ++n) put(file.at(i + n));
      i += code + code % 2;
    }
  }
  if (std::count(pixels.begin(), pixels.end(), kUncoded) != 0)
    throw std::runtime_error("RLE8 frame leaves pixels uncoded");
  return pixels;
}

class CopyingClip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fourcc(file_, 0), "RIFF");
    ASSERT_EQ(u32(file_, 4) + 8, file_.size());
    riff_ = parse_chunks(file_, 0, file_.size()).at(0);
    ASSERT_EQ(riff_.type, "AVI ");
    const Chunk* hdrl = riff_.find("hdrl");
    ASSERT_NE(hdrl, nullptr);
    ASSERT_NE(hdrl->find("avih"), nullptr);
    avih_ = hdrl->find("avih")->data_at;
    for (const Chunk& c : hdrl->children)
      if (c.type == "strl") streams_.push_back(&c);
    ASSERT_EQ(streams_.size(), 1u) << "one stream: video, no sound";
    ASSERT_NE(streams_[0]->find("strh"), nullptr);
    ASSERT_NE(streams_[0]->find("strf"), nullptr);
    format_ = parse_dib(file_, streams_[0]->find("strf")->data_at, false);
  }
  std::uint32_t frames() const { return u32(file_, avih_ + 16); }

  Bytes file_ = read_committed("examples/filecopy.avi");
  Chunk riff_;
  std::size_t avih_ = 0;
  std::vector<const Chunk*> streams_;
  Dib format_;
};

TEST_F(CopyingClip, IsOneEightBitVideoStreamThatFitsTheAnimationArea) {
  EXPECT_EQ(fourcc(file_, streams_[0]->find("strh")->data_at), "vids");
  EXPECT_EQ(u32(file_, avih_ + 24), 1u) << "stream count";
  const std::uint32_t width = u32(file_, avih_ + 32), height = u32(file_, avih_ + 36);
  EXPECT_TRUE(width > 0 && width <= 252) << width;
  EXPECT_TRUE(height > 0 && height <= 44) << height;
  EXPECT_EQ(static_cast<std::uint32_t>(format_.width), width);
  EXPECT_EQ(static_cast<std::uint32_t>(format_.height), height);
  EXPECT_EQ(format_.bits, 8);
  EXPECT_TRUE(format_.compression == 0 || format_.compression == kRle8) << "BI_RGB or BI_RLE8";
  EXPECT_LE(kInfoHeaderSize + 4 * format_.palette.size(), streams_[0]->find("strf")->size);
}

TEST_F(CopyingClip, IsAShortLoopWithAnIndex) {
  EXPECT_TRUE(frames() >= 2 && frames() <= 32) << frames();
  const std::uint32_t microseconds = u32(file_, avih_);
  EXPECT_TRUE(microseconds >= 1'000'000 / 20 && microseconds <= 1'000'000 / 5) << microseconds;
  EXPECT_NE(u32(file_, avih_ + 12) & 0x10, 0u) << "AVIF_HASINDEX";
  EXPECT_NE(riff_.find("idx1"), nullptr);
}

TEST_F(CopyingClip, EveryFrameIsIndexedAndDecodesOnTheWindowGrey) {
  const Chunk* movi = riff_.find("movi");
  const Chunk* idx1 = riff_.find("idx1");
  ASSERT_NE(movi, nullptr);
  ASSERT_NE(idx1, nullptr);
  ASSERT_EQ(movi->children.size(), frames());
  ASSERT_EQ(idx1->size, kIndexEntrySize * frames());
  std::set<std::vector<unsigned>> distinct;
  for (std::uint32_t i = 0; i < frames(); ++i) {
    const Chunk& chunk = movi->children[i];
    const std::size_t entry = idx1->data_at + kIndexEntrySize * i;
    EXPECT_TRUE(chunk.id == "00dc" || chunk.id == "00db") << "stream 0 video, not " << chunk.id;
    EXPECT_EQ(fourcc(file_, entry), chunk.id);
    EXPECT_EQ(movi->data_at + u32(file_, entry + 8), chunk.data_at - 8) << "frame " << i;
    EXPECT_EQ(u32(file_, entry + 12), chunk.size);
    std::vector<unsigned> pixels;
    if (format_.compression == kRle8) {
      pixels = decode_rle8(file_, chunk, format_.width, format_.height);
    } else {
      ASSERT_EQ(chunk.size,
                Dib::stride(format_.width, 8) * static_cast<std::size_t>(format_.height));
      pixels.assign(file_.begin() + static_cast<std::ptrdiff_t>(chunk.data_at),
                    file_.begin() + static_cast<std::ptrdiff_t>(chunk.data_at + chunk.size));
    }
    EXPECT_EQ(format_.palette.at(pixels.front()), kSilver) << "frame " << i << " background";
    distinct.insert(pixels);
  }
  EXPECT_EQ(distinct.size(), frames()) << "every frame differs: the clip moves";
}

}  // namespace
