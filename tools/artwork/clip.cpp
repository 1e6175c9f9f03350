// The copying clip: sheets of paper fly in an arc from one open folder into another, turning
// over on the way. The sheets are staggered along the flight so that the last frame leads
// straight back into the first and the clip loops without a jump.
#include <array>
#include <cmath>
#include <numbers>

#include "pictures.h"

namespace dravelin::artwork {
namespace {

constexpr int kWidth = 252;  // the animation area of the progress window
constexpr int kHeight = 44;
constexpr int kFrames = 16;
constexpr int kSheetsInFlight = 3;
constexpr Colour kBackground = Colour::Silver;  // the window's button face

// The folder, drawn from its top-left corner: a back panel with a tab, a sheet resting inside,
// and a front panel leaning forward.
constexpr int kFolderTop = 14;
constexpr std::array<int, 2> kFolderLefts{10, 202};
constexpr std::array<Point, 7> kFolderBack{
    {{0, 4}, {1, 1}, {13, 1}, {15, 4}, {36, 4}, {36, 29}, {0, 29}}};
constexpr std::array<Point, 4> kFolderFront{{{0, 29}, {36, 29}, {40, 13}, {5, 13}}};
constexpr int kSheetInsideLeft = 4, kSheetInsideTop = 7, kSheetInsideWidth = 27,
              kSheetInsideHeight = 9;

// A flying sheet: its size, where its centre starts and ends (inside the folders' mouths), and
// how high the arc climbs.
constexpr double kSheetHalfWidth = 6;
constexpr double kSheetHalfHeight = 7.5;
constexpr double kFlightStartX = kFolderLefts[0] + 20;
constexpr double kFlightEndX = kFolderLefts[1] + 20;
constexpr double kFlightBaseY = kFolderTop + 10;
constexpr double kFlightTopY = 9.5;
constexpr double kTiltDegrees = 50;  // total change of the sheet's tilt over the flight
constexpr double kThinnest = 0.15;   // a sheet seen edge-on still shows as a sliver
constexpr std::array<double, 4> kTextRows{-4, -1.5, 1, 3.5};  // ruled lines on the sheet's face
constexpr double kTextMargin = 2;

std::vector<Point> placed(std::span<const Point> shape, int left, int top) {
  std::vector<Point> points;
  for (const Point& p : shape) points.push_back({p.x + left, p.y + top});
  return points;
}

void draw_folder_back(Canvas& frame, int left) {
  const std::vector<Point> back = placed(kFolderBack, left, kFolderTop);
  frame.fill_polygon(back, Colour::Olive);
  frame.outline_polygon(back, Colour::Black);
  frame.fill_rect(left + kSheetInsideLeft, kFolderTop + kSheetInsideTop, kSheetInsideWidth,
                  kSheetInsideHeight, Colour::White);
  frame.outline_rect(left + kSheetInsideLeft, kFolderTop + kSheetInsideTop, kSheetInsideWidth,
                     kSheetInsideHeight, Colour::Black);
}

void draw_folder_front(Canvas& frame, int left) {
  const std::vector<Point> front = placed(kFolderFront, left, kFolderTop);
  frame.fill_polygon(front, Colour::Yellow);
  frame.outline_polygon(front, Colour::Black);
}

struct SheetPose {
  double centre_x, centre_y;
  double tilt;  // radians
  double turn;  // horizontal scale: 1 face on, 0 edge on, negative showing the back
};

SheetPose pose_at(double progress) {
  const double arc = 4 * progress * (1 - progress);  // 0 at both folders, 1 at the top
  return SheetPose{
      .centre_x = kFlightStartX + (kFlightEndX - kFlightStartX) * progress,
      .centre_y = kFlightBaseY - (kFlightBaseY - kFlightTopY) * arc,
      .tilt = (progress - 0.5) * kTiltDegrees * std::numbers::pi / 180,
      .turn = std::cos(2 * std::numbers::pi * progress),
  };
}

// Where a pixel centre falls on the sheet, in the sheet's own unturned coordinates.
Point on_sheet(const SheetPose& pose, double x, double y) {
  const double dx = x - pose.centre_x;
  const double dy = y - pose.centre_y;
  const double c = std::cos(pose.tilt);
  const double s = std::sin(pose.tilt);
  const double width_scale = std::max(std::abs(pose.turn), kThinnest);
  return {(c * dx + s * dy) / width_scale, -s * dx + c * dy};
}

bool covers(const SheetPose& pose, double x, double y) {
  const Point p = on_sheet(pose, x, y);
  return std::abs(p.x) <= kSheetHalfWidth && std::abs(p.y) <= kSheetHalfHeight;
}

void draw_sheet(Canvas& frame, const SheetPose& pose) {
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      if (!covers(pose, cx, cy)) continue;
      const bool edge = !covers(pose, cx - 1, cy) || !covers(pose, cx + 1, cy) ||
                        !covers(pose, cx, cy - 1) || !covers(pose, cx, cy + 1);
      Colour colour = Colour::White;
      const Point p = on_sheet(pose, cx, cy);
      if (pose.turn > 0 && std::abs(p.x) < kSheetHalfWidth - kTextMargin)
        for (double row : kTextRows)
          if (std::abs(p.y - row) < 0.5) colour = Colour::Grey;
      frame.set(x, y, edge ? Colour::Black : colour);
    }
}

}  // namespace

std::vector<Canvas> copying_frames() {
  std::vector<Canvas> frames;
  for (int f = 0; f < kFrames; ++f) {
    Canvas frame(kWidth, kHeight, kBackground);
    for (int left : kFolderLefts) draw_folder_back(frame, left);
    for (int sheet = 0; sheet < kSheetsInFlight; ++sheet) {
      const double progress = std::fmod(
          static_cast<double>(f) / kFrames + static_cast<double>(sheet) / kSheetsInFlight, 1.0);
      draw_sheet(frame, pose_at(progress));
    }
    for (int left : kFolderLefts) draw_folder_front(frame, left);
    frames.push_back(std::move(frame));
  }
  return frames;
}

}  // namespace dravelin::artwork
