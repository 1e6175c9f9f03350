// Writers for the Windows picture formats the program carries (4-bit BMP, multi-image ICO), and
// a reader for the grey text masks that the regeneration script renders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "canvas.h"

namespace dravelin::artwork {

// One image of an icon. Pixels where `transparent` is set show the screen behind the icon;
// 1-bit images may use only black and white.
struct IconImage {
  Canvas pixels;
  std::vector<bool> transparent;  // row-major, width * height
  int bits_per_pixel;             // 4 or 1
};

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> levels;  // row-major, 0 = background, 255 = full ink
  std::uint8_t at(int x, int y) const {
    return levels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// A complete .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER, the 16-colour palette, 4-bit rows.
std::vector<std::uint8_t> encode_bmp4(const Canvas& picture);
// A complete .ico file holding the images in the given order.
std::vector<std::uint8_t> encode_ico(std::span<const IconImage> images);
// Every pixel opaque: the mask an icon image gets when it has no transparent areas.
std::vector<bool> all_opaque(const Canvas& picture);

GreyImage read_pgm(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace dravelin::artwork
