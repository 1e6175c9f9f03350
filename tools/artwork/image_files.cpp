#include "image_files.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "byte_writer.h"

namespace dravelin::artwork {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots per inch
constexpr std::uint16_t kIconType = 1;
constexpr std::uint32_t kIconDirSize = 6;
constexpr std::uint32_t kIconEntrySize = 16;
constexpr std::size_t kRowAlignment = 4;  // DIB rows are padded to whole 32-bit words

std::size_t row_bytes(int width, int bits_per_pixel) {
  const std::size_t bits =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(bits_per_pixel);
  return (bits + 8 * kRowAlignment - 1) / (8 * kRowAlignment) * kRowAlignment;
}

// Packs a grid of small values into DIB rows, bottom row first, most significant bits leftmost.
std::vector<std::uint8_t> pack_rows(int width, int height, int bits_per_pixel,
                                    const std::function<unsigned(int, int)>& value_at) {
  const std::size_t stride = row_bytes(width, bits_per_pixel);
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
  const int per_byte = 8 / bits_per_pixel;
  for (int y = 0; y < height; ++y) {
    const std::size_t row_start = static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - bits_per_pixel * (x % per_byte + 1);
      rows[row_start + static_cast<std::size_t>(x / per_byte)] |=
          static_cast<std::uint8_t>(value_at(x, y) << shift);
    }
  }
  return rows;
}

void write_info_header(ByteWriter& out, int width, int height, int bits_per_pixel,
                       std::size_t image_size, std::uint32_t colours_used) {
  out.u32(kInfoHeaderSize);
  out.i32(width);
  out.i32(height);
  out.u16(1);  // planes
  out.u16(static_cast<std::uint16_t>(bits_per_pixel));
  out.u32(0);  // BI_RGB
  out.u32(static_cast<std::uint32_t>(image_size));
  out.i32(kPixelsPerMetre);
  out.i32(kPixelsPerMetre);
  out.u32(colours_used);
  out.u32(0);  // all colours important
}

void write_palette(ByteWriter& out, std::span<const Rgb> colours) {
  for (const Rgb& c : colours) {  // RGBQUAD order: blue, green, red, reserved
    out.u8(c.blue);
    out.u8(c.green);
    out.u8(c.red);
    out.u8(0);
  }
}

std::vector<std::uint8_t> colour_rows(const IconImage& image) {
  const Canvas& p = image.pixels;
  const auto width = static_cast<std::size_t>(p.width());
  return pack_rows(p.width(), p.height(), image.bits_per_pixel, [&](int x, int y) -> unsigned {
    // A transparent pixel must be black in the colour bits, or the screen behind it is inverted.
    if (image.transparent[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)])
      return 0;
    const Colour c = p.at(x, y);
    if (image.bits_per_pixel == 4) return index_of(c);
    if (c != Colour::Black && c != Colour::White)
      throw std::invalid_argument("a 1-bit icon image may only use black and white");
    return c == Colour::White ? 1 : 0;
  });
}

std::vector<std::uint8_t> encode_icon_image(const IconImage& image) {
  const Canvas& p = image.pixels;
  const auto width = static_cast<std::size_t>(p.width());
  const std::vector<std::uint8_t> colours = colour_rows(image);
  const std::vector<std::uint8_t> mask = pack_rows(p.width(), p.height(), 1, [&](int x, int y) {
    return image.transparent[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)]
               ? 1u
               : 0u;
  });
  ByteWriter out;
  // The header's height counts the colour rows and the mask rows together.
  write_info_header(out, p.width(), 2 * p.height(), image.bits_per_pixel,
                    colours.size() + mask.size(), 0);
  static constexpr std::array<Rgb, 2> kMonochrome{{{0, 0, 0}, {255, 255, 255}}};
  if (image.bits_per_pixel == 4)
    write_palette(out, kPalette);
  else
    write_palette(out, kMonochrome);
  out.append(colours);
  out.append(mask);
  return out.bytes();
}

}  // namespace

std::vector<std::uint8_t> encode_bmp4(const Canvas& picture) {
  constexpr int kBits = 4;
  const std::vector<std::uint8_t> rows =
      pack_rows(picture.width(), picture.height(), kBits,
                [&](int x, int y) -> unsigned { return index_of(picture.at(x, y)); });
  const std::uint32_t pixel_offset =
      kFileHeaderSize + kInfoHeaderSize + static_cast<std::uint32_t>(4 * kPalette.size());
  ByteWriter out;
  out.fourcc("BM");
  out.u32(pixel_offset + static_cast<std::uint32_t>(rows.size()));
  out.u32(0);  // two reserved words
  out.u32(pixel_offset);
  write_info_header(out, picture.width(), picture.height(), kBits, rows.size(),
                    static_cast<std::uint32_t>(kPalette.size()));
  write_palette(out, kPalette);
  out.append(rows);
  return out.bytes();
}

std::vector<std::uint8_t> encode_ico(std::span<const IconImage> images) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const IconImage& image : images) {
    if (image.transparent.size() != static_cast<std::size_t>(image.pixels.width()) *
                                        static_cast<std::size_t>(image.pixels.height()))
      throw std::invalid_argument("icon mask does not match its image");
    encoded.push_back(encode_icon_image(image));
  }
  ByteWriter out;
  out.u16(0);
  out.u16(kIconType);
  out.u16(static_cast<std::uint16_t>(images.size()));
  auto offset = static_cast<std::uint32_t>(kIconDirSize + kIconEntrySize * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    out.u8(static_cast<std::uint8_t>(image.pixels.width()));
    out.u8(static_cast<std::uint8_t>(image.pixels.height()));
    out.u8(static_cast<std::uint8_t>(1u << image.bits_per_pixel));  // colour count (2 or 16)
    out.u8(0);
    out.u16(1);  // planes
    out.u16(static_cast<std::uint16_t>(image.bits_per_pixel));
    out.u32(static_cast<std::uint32_t>(encoded[i].size()));
    out.u32(offset);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const auto& bytes : encoded) out.append(bytes);
  return out.bytes();
}

std::vector<bool> all_opaque(const Canvas& picture) {
  return std::vector<bool>(
      static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height()),
      false);
}

GreyImage read_pgm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  std::string magic;
  int max_level = 0;
  GreyImage image;
  in >> magic >> image.width >> image.height >> max_level;
  constexpr int kByteLevels = 255;
  if (magic != "P5" || max_level != kByteLevels || image.width <= 0 || image.height <= 0)
    throw std::runtime_error(path.string() + " is not an 8-bit binary PGM");
  in.get();  // the single whitespace byte before the samples
  image.levels.resize(static_cast<std::size_t>(image.width) *
                      static_cast<std::size_t>(image.height));
  in.read(reinterpret_cast<char*>(image.levels.data()),
          static_cast<std::streamsize>(image.levels.size()));
  if (!in) throw std::runtime_error(path.string() + " is truncated");
  return image;
}

void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace dravelin::artwork
