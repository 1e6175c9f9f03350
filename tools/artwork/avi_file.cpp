#include "avi_file.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "byte_writer.h"

namespace dravelin::artwork {
namespace {

constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::size_t kLongestRun = 255;
constexpr std::size_t kShortestLiteral = 3;  // absolute mode needs 3+ pixels; 1 and 2 are escapes

constexpr std::uint32_t kHasIndex = 0x10;  // AVIF_HASINDEX
constexpr std::uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr std::uint32_t kRle8 = 1;         // BI_RLE8
constexpr std::uint32_t kDefaultQuality = 0xFFFFFFFF;
constexpr std::uint32_t kMicrosecondsPerSecond = 1'000'000;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::string_view kFrameChunk = "00dc";  // stream 0, compressed video

std::size_t run_length(std::span<const std::uint8_t> row, std::size_t start) {
  std::size_t end = start + 1;
  while (end < row.size() && end - start < kLongestRun && row[end] == row[start]) ++end;
  return end - start;
}

void encode_row(ByteWriter& out, std::span<const std::uint8_t> row) {
  std::size_t x = 0;
  while (x < row.size()) {
    // Collect pixels that do not start a run of three or more into one absolute block.
    std::size_t literal_end = x;
    while (literal_end < row.size() && literal_end - x < kLongestRun &&
           run_length(row, literal_end) < kShortestLiteral)
      ++literal_end;
    const std::size_t literal = literal_end - x;
    if (literal >= kShortestLiteral) {
      out.u8(kEscape);
      out.u8(static_cast<std::uint8_t>(literal));
      out.append(row.subspan(x, literal));
      if (literal % 2 != 0) out.u8(0);  // absolute blocks end on a 16-bit boundary
      x = literal_end;
      continue;
    }
    const std::size_t run = literal > 0 ? 1 : run_length(row, x);
    out.u8(static_cast<std::uint8_t>(run));
    out.u8(row[x]);
    x += run;
  }
}

std::size_t begin_chunk(ByteWriter& out, std::string_view id) {
  out.fourcc(id);
  out.u32(0);  // size, patched by end_chunk
  return out.size();
}

void end_chunk(ByteWriter& out, std::size_t data_start) {
  out.patch_u32(data_start - 4, static_cast<std::uint32_t>(out.size() - data_start));
  if (out.size() % 2 != 0) out.u8(0);  // RIFF chunks are word aligned
}

std::size_t begin_list(ByteWriter& out, std::string_view riff_or_list, std::string_view type) {
  const std::size_t start = begin_chunk(out, riff_or_list);
  out.fourcc(type);
  return start;
}

struct StreamFacts {
  std::uint32_t width, height, frames, rate, largest_frame;
};

void write_main_header(ByteWriter& out, const StreamFacts& s) {
  const std::size_t avih = begin_chunk(out, "avih");
  out.u32(kMicrosecondsPerSecond / s.rate);
  out.u32(s.largest_frame * s.rate);  // most bytes per second
  out.u32(0);                         // padding granularity
  out.u32(kHasIndex);
  out.u32(s.frames);
  out.u32(0);  // initial frames
  out.u32(1);  // streams
  out.u32(s.largest_frame);
  out.u32(s.width);
  out.u32(s.height);
  for (int i = 0; i < 4; ++i) out.u32(0);  // reserved
  end_chunk(out, avih);
}

void write_stream_header(ByteWriter& out, const StreamFacts& s) {
  const std::size_t strh = begin_chunk(out, "strh");
  out.fourcc("vids");
  out.fourcc("RLE ");  // decoded by GDI itself; no codec is looked for
  out.u32(0);          // flags
  out.u16(0);          // priority
  out.u16(0);          // language
  out.u32(0);          // initial frames
  out.u32(1);          // scale: rate / scale = frames per second
  out.u32(s.rate);
  out.u32(0);         // start
  out.u32(s.frames);  // length
  out.u32(s.largest_frame);
  out.u32(kDefaultQuality);
  out.u32(0);  // sample size: frames vary in size
  out.u16(0);  // frame rectangle: left, top, right, bottom
  out.u16(0);
  out.u16(static_cast<std::uint16_t>(s.width));
  out.u16(static_cast<std::uint16_t>(s.height));
  end_chunk(out, strh);

  const std::size_t strf = begin_chunk(out, "strf");
  out.u32(kInfoHeaderSize);
  out.u32(s.width);
  out.u32(s.height);
  out.u16(1);  // planes
  out.u16(8);  // bits per pixel
  out.u32(kRle8);
  out.u32(s.largest_frame);
  out.u32(0);  // pixels per metre, unused for clips
  out.u32(0);
  out.u32(static_cast<std::uint32_t>(kPalette.size()));
  out.u32(0);
  for (const Rgb& c : kPalette) {
    out.u8(c.blue);
    out.u8(c.green);
    out.u8(c.red);
    out.u8(0);
  }
  end_chunk(out, strf);
}

}  // namespace

std::vector<std::uint8_t> encode_rle8(const Canvas& frame) {
  ByteWriter out;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(frame.width()));
  for (int y = frame.height() - 1; y >= 0; --y) {
    for (int x = 0; x < frame.width(); ++x)
      row[static_cast<std::size_t>(x)] = index_of(frame.at(x, y));
    encode_row(out, row);
    out.u8(kEscape);
    out.u8(y == 0 ? kEndOfBitmap : kEndOfLine);
  }
  return out.bytes();
}

std::vector<std::uint8_t> encode_avi(std::span<const Canvas> frames, int frames_per_second) {
  if (frames.empty() || frames_per_second <= 0) throw std::invalid_argument("empty clip");
  std::vector<std::vector<std::uint8_t>> encoded;
  std::size_t largest = 0;
  for (const Canvas& frame : frames) {
    if (frame.width() != frames[0].width() || frame.height() != frames[0].height())
      throw std::invalid_argument("clip frames differ in size");
    encoded.push_back(encode_rle8(frame));
    largest = std::max(largest, encoded.back().size());
  }
  const StreamFacts facts{
      static_cast<std::uint32_t>(frames[0].width()), static_cast<std::uint32_t>(frames[0].height()),
      static_cast<std::uint32_t>(frames.size()), static_cast<std::uint32_t>(frames_per_second),
      static_cast<std::uint32_t>(largest)};
  ByteWriter out;
  const std::size_t riff = begin_list(out, "RIFF", "AVI ");
  const std::size_t hdrl = begin_list(out, "LIST", "hdrl");
  write_main_header(out, facts);
  const std::size_t strl = begin_list(out, "LIST", "strl");
  write_stream_header(out, facts);
  end_chunk(out, strl);
  end_chunk(out, hdrl);

  // begin_list returns where the 'movi' type code sits, which is what index offsets count from.
  const std::size_t movi = begin_list(out, "LIST", "movi");
  std::vector<std::uint32_t> offsets;
  for (const auto& data : encoded) {
    offsets.push_back(static_cast<std::uint32_t>(out.size() - movi));
    const std::size_t chunk = begin_chunk(out, kFrameChunk);
    out.append(data);
    end_chunk(out, chunk);
  }
  end_chunk(out, movi);

  const std::size_t idx1 = begin_chunk(out, "idx1");
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    out.fourcc(kFrameChunk);
    out.u32(kKeyFrame);
    out.u32(offsets[i]);
    out.u32(static_cast<std::uint32_t>(encoded[i].size()));
  }
  end_chunk(out, idx1);
  end_chunk(out, riff);
  return out.bytes();
}

}  // namespace dravelin::artwork
