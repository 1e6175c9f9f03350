// The progress window's welcome banner. The window stretches it to 458 x 142 and lays the
// copying clip over its lower right part (from about x 205, y 88 here), so the text keeps to
// the upper right and the globe to the left.
#include <cstddef>

#include "globe.h"
#include "pictures.h"

namespace dravelin::artwork {
namespace {

constexpr int kWidth = 445;
constexpr int kHeight = 146;
constexpr Colour kGround = Colour::Silver;

constexpr GlobeView kGlobe{.centre_x = 70,
                           .centre_y = 71,
                           .radius = 60,
                           .longitude = 105,
                           .latitude = 25,
                           .dithered = true,
                           .graticule = true,
                           .rim = true};
constexpr int kShadowOffset = 5;  // the globe's shadow falls to the lower right

constexpr int kTextLeft = 146;
constexpr int kTextRight = 437;
constexpr int kWelcomeTop = 12;
constexpr int kDottedLineY = 33;
constexpr int kDotSpacing = 3;  // one red pixel, then two of ground
constexpr int kNameTop = 41;
constexpr int kNameShadow = 2;
constexpr std::uint8_t kInkThreshold = 128;  // mask level from which a pixel counts as ink

// Paints the inked pixels of a text mask in one colour.
void stamp(Canvas& canvas, const GreyImage& mask, int left, int top, Colour colour) {
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      if (mask.at(x, y) >= kInkThreshold) canvas.set(left + x, top + y, colour);
}

// A checkerboard of grey over the ground reads as a soft shadow in 16 colours.
void draw_globe_shadow(Canvas& canvas) {
  GlobeView shadow = kGlobe;
  shadow.centre_x += kShadowOffset;
  shadow.centre_y += kShadowOffset;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x)
      if ((x + y) % 2 == 0 && on_globe(shadow, x, y)) canvas.set(x, y, Colour::Grey);
}

}  // namespace

Canvas banner_picture(const std::filesystem::path& masks) {
  const GreyImage welcome = read_pgm(masks / "welcome.pgm");
  const GreyImage name = read_pgm(masks / "name.pgm");
  Canvas banner(kWidth, kHeight, kGround);
  draw_globe_shadow(banner);
  draw_globe(banner, kGlobe);

  stamp(banner, welcome, kTextLeft, kWelcomeTop, Colour::Navy);
  for (int x = kTextLeft; x <= kTextRight; x += kDotSpacing)
    banner.set(x, kDottedLineY, Colour::Red);
  // The name is centred over the dotted line's length.
  const int name_left = kTextLeft + (kTextRight - kTextLeft + 1 - name.width) / 2;
  stamp(banner, name, name_left + kNameShadow, kNameTop + kNameShadow, Colour::Maroon);
  stamp(banner, name, name_left, kNameTop, Colour::Red);
  return banner;
}

}  // namespace dravelin::artwork
