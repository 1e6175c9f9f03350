// Checks the copying clip for what the animation control relies on.
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
