// Readers for the committed artwork files, shared by the picture and clip tests. The files are
// parsed here independently of the generator that wrote them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace artwork_files {

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

inline Bytes read_committed(const std::string& relative) {
  // Under wine64 this rooted path resolves on the drive of the build directory, Z:.
  const std::filesystem::path path = std::filesystem::path(DRAVELIN_SOURCE_DIR) / relative;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Little-endian fields; .at() turns a read past the end of a truncated file into an exception.
inline std::uint32_t u32(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
         static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
inline std::uint16_t u16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
inline std::string fourcc(const Bytes& b, std::size_t at) {
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

inline Dib parse_dib(const Bytes& file, std::size_t at, bool icon_image) {
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

inline Dib parse_bmp(const Bytes& file) {
  if (fourcc(file, 0).substr(0, 2) != "BM") throw std::runtime_error("not a BMP file");
  if (u32(file, 2) != file.size()) throw std::runtime_error("BMP size field is wrong");
  Dib dib = parse_dib(file, 14, false);
  dib.pixels_at = u32(file, 10);
  return dib;
}

}  // namespace artwork_files
