// A palette-indexed picture with the few drawing operations the artwork needs. Coordinates are
// pixels from the top-left; drawing outside the picture is clipped silently, so shapes may run
// over the edges.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "palette.h"

namespace dravelin::artwork {

struct Point {
  double x;
  double y;
};

class Canvas {
 public:
  Canvas(int width, int height, Colour background);

  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Colour at(int x, int y) const;

  void set(int x, int y, Colour colour);
  void fill_rect(int left, int top, int width, int height, Colour colour);
  void outline_rect(int left, int top, int width, int height, Colour colour);
  void line(int x0, int y0, int x1, int y1, Colour colour);
  // Paints every pixel whose centre lies inside the polygon (even-odd rule).
  void fill_polygon(std::span<const Point> corners, Colour colour);
  void outline_polygon(std::span<const Point> corners, Colour colour);
  // Copies `source` with its top-left at (left, top), leaving pixels of colour `skip` unpainted.
  void blit(const Canvas& source, int left, int top, Colour skip);

 private:
  int width_;
  int height_;
  std::vector<Colour> pixels_;
};

// Even-odd point-in-polygon test, shared by polygon filling and the globe's land map.
bool inside_polygon(std::span<const Point> corners, Point p);

}  // namespace dravelin::artwork
