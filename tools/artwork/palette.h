// The standard 16-colour palette that every picture of the program is drawn in, in the order
// that Windows uses for 4-bit bitmaps, so a palette index means the same colour everywhere.
#pragma once

#include <array>
#include <cstdint>

namespace dravelin::artwork {

struct Rgb {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

enum class Colour : std::uint8_t {
  Black,
  Maroon,
  Green,
  Olive,
  Navy,
  Purple,
  Teal,
  Silver,
  Grey,
  Red,
  Lime,
  Yellow,
  Blue,
  Fuchsia,
  Aqua,
  White,
};

inline constexpr std::array<Rgb, 16> kPalette{{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

constexpr std::uint8_t index_of(Colour colour) { return static_cast<std::uint8_t>(colour); }

}  // namespace dravelin::artwork
