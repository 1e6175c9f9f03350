#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace dravelin::artwork {

Canvas::Canvas(int width, int height, Colour background)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("canvas needs a positive size");
}

Colour Canvas::at(int x, int y) const {
  if (!contains(x, y)) throw std::out_of_range("pixel outside the canvas");
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

void Canvas::set(int x, int y, Colour colour) {
  if (!contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
          static_cast<std::size_t>(x)] = colour;
}

void Canvas::fill_rect(int left, int top, int width, int height, Colour colour) {
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) set(x, y, colour);
}

void Canvas::outline_rect(int left, int top, int width, int height, Colour colour) {
  const int right = left + width - 1;
  const int bottom = top + height - 1;
  line(left, top, right, top, colour);
  line(left, bottom, right, bottom, colour);
  line(left, top, left, bottom, colour);
  line(right, top, right, bottom, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, Colour colour) {
  // Bresenham: every step moves one pixel along the major axis.
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int step_x = x0 < x1 ? 1 : -1;
  const int step_y = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) return;
    const int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      x0 += step_x;
    }
    if (doubled <= dx) {
      error += dx;
      y0 += step_y;
    }
  }
}

bool inside_polygon(std::span<const Point> corners, Point p) {
  bool inside = false;
  for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
    const Point a = corners[i];
    const Point b = corners[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
      inside = !inside;
  }
  return inside;
}

void Canvas::fill_polygon(std::span<const Point> corners, Colour colour) {
  if (corners.size() < 3) return;
  auto [min_x, max_x] = std::minmax_element(corners.begin(), corners.end(),
                                            [](Point a, Point b) { return a.x < b.x; });
  auto [min_y, max_y] = std::minmax_element(corners.begin(), corners.end(),
                                            [](Point a, Point b) { return a.y < b.y; });
  const int left = std::max(0, static_cast<int>(std::floor(min_x->x)));
  const int right = std::min(width_ - 1, static_cast<int>(std::ceil(max_x->x)));
  const int top = std::max(0, static_cast<int>(std::floor(min_y->y)));
  const int bottom = std::min(height_ - 1, static_cast<int>(std::ceil(max_y->y)));
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      if (inside_polygon(corners, {x + 0.5, y + 0.5})) set(x, y, colour);
}

void Canvas::outline_polygon(std::span<const Point> corners, Colour colour) {
  for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++)
    line(static_cast<int>(std::floor(corners[j].x)), static_cast<int>(std::floor(corners[j].y)),
         static_cast<int>(std::floor(corners[i].x)), static_cast<int>(std::floor(corners[i].y)),
         colour);
}

void Canvas::blit(const Canvas& source, int left, int top, Colour skip) {
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x)
      if (source.at(x, y) != skip) set(left + x, top + y, source.at(x, y));
}

}  // namespace dravelin::artwork
