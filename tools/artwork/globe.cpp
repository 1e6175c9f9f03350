#include "globe.h"

#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace dravelin::artwork {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180;
constexpr double kGraticuleStep = 30;  // degrees between drawn meridians and parallels

struct Tones {
  Colour lit;
  Colour shaded;
};
constexpr Tones kSea{Colour::Blue, Colour::Navy};
constexpr Tones kLand{Colour::Lime, Colour::Green};
constexpr Tones kIce{Colour::White, Colour::Silver};
constexpr Tones kSeaGrid{Colour::Aqua, Colour::Teal};
constexpr Tones kLandGrid{Colour::Green, Colour::Teal};
constexpr double kPolarIce = -66;  // latitude south of which land is drawn as ice

// Light falls from the upper left and a little from the front; shading is the cosine law.
constexpr double kLightX = -0.5;
constexpr double kLightY = 0.55;
constexpr double kLightZ = 0.67;
constexpr double kShadeBelow = 0.12;  // lighting below this is drawn in the shaded tone
constexpr double kDitherBand = 0.35;  // width of the lighting band that is dithered
constexpr double kSpecularAbove = 0.995;

constexpr std::array<std::array<int, 4>, 4> kBayer{
    {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}}};
constexpr double kBayerLevels = 16;

struct Surface {
  double lighting;   // cosine of the angle to the light
  double longitude;  // degrees
  double latitude;
};

// Inverse orthographic projection of a pixel centre, or nothing when it is off the disc.
std::optional<Surface> surface_at(const GlobeView& view, int x, int y) {
  const double east = (x + 0.5 - view.centre_x) / view.radius;
  const double north = (view.centre_y - (y + 0.5)) / view.radius;
  const double squared = east * east + north * north;
  if (squared > 1) return std::nullopt;
  const double front = std::sqrt(1 - squared);
  const double light_length = std::sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
  const double lighting = (east * kLightX + north * kLightY + front * kLightZ) / light_length;
  const double lat0 = view.latitude * kRadiansPerDegree;
  const double latitude = std::asin(north * std::cos(lat0) + front * std::sin(lat0));
  const double longitude =
      std::atan2(east, front * std::cos(lat0) - north * std::sin(lat0)) / kRadiansPerDegree +
      view.longitude;
  return Surface{lighting, longitude, latitude / kRadiansPerDegree};
}

// A pixel lies on a grid line when a neighbour falls into another cell of the graticule,
// which keeps the lines one pixel wide wherever they run.
bool on_graticule(const GlobeView& view, const Surface& here, int x, int y) {
  const auto cell = [](double degrees) { return std::floor(degrees / kGraticuleStep); };
  for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{0, 1}}) {
    const std::optional<Surface> next = surface_at(view, x + dx, y + dy);
    if (!next) continue;
    if (cell(next->latitude) != cell(here.latitude)) return true;
    // Near the poles the meridians crowd together; stop them short of it.
    constexpr double kMeridianLimit = 60;
    if (std::abs(here.latitude) < kMeridianLimit && cell(next->longitude) != cell(here.longitude))
      return true;
  }
  return false;
}

// Shifts the shading threshold by a 4 x 4 ordered-dither pattern, so the lit and shaded tones
// mix across a band instead of meeting at a hard edge.
double dither_offset(int x, int y) {
  const int level = kBayer[static_cast<std::size_t>(y % 4)][static_cast<std::size_t>(x % 4)];
  return ((level + 0.5) / kBayerLevels - 0.5) * kDitherBand;
}

bool on_rim(const GlobeView& view, int x, int y) {
  return !on_globe(view, x - 1, y) || !on_globe(view, x + 1, y) || !on_globe(view, x, y - 1) ||
         !on_globe(view, x, y + 1);
}

}  // namespace

bool on_globe(const GlobeView& view, int x, int y) { return surface_at(view, x, y).has_value(); }

void draw_globe(Canvas& canvas, const GlobeView& view) {
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const std::optional<Surface> here = surface_at(view, x, y);
      if (!here) continue;
      const bool land = is_land(here->longitude, here->latitude);
      Tones tones = land ? (here->latitude < kPolarIce ? kIce : kLand) : kSea;
      if (view.graticule && on_graticule(view, *here, x, y)) tones = land ? kLandGrid : kSeaGrid;
      const double threshold = kShadeBelow + (view.dithered ? dither_offset(x, y) : 0);
      Colour colour = here->lighting < threshold ? tones.shaded : tones.lit;
      if (view.dithered && !land && here->lighting > kSpecularAbove) colour = Colour::Aqua;
      if (view.rim && on_rim(view, x, y)) colour = tones.shaded;
      canvas.set(x, y, colour);
    }
  }
}

}  // namespace dravelin::artwork
