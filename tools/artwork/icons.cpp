// The small pictures: the dialog's floppy disk and the two program icons.
#include <cstddef>

#include "globe.h"
#include "pictures.h"

namespace dravelin::artwork {
namespace {

constexpr int kFloppyWidth = 24;
constexpr int kFloppyHeight = 23;
constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;

// The globe shows Africa, Europe and western Asia; the large one also has a darker rim so the
// disc stays distinct on any background.
GlobeView globe_view(int size) {
  const double middle = size / 2.0;
  return GlobeView{.centre_x = middle,
                   .centre_y = middle,
                   .radius = middle - 0.5,
                   .longitude = 35,
                   .latitude = 22,
                   .dithered = false,
                   .graticule = false,
                   .rim = size == kLargeIcon};
}

IconImage globe_image(int size, bool opaque_corners) {
  const GlobeView view = globe_view(size);
  IconImage image{Canvas(size, size, Colour::Black), {}, 4};
  draw_globe(image.pixels, view);
  image.transparent = all_opaque(image.pixels);
  if (!opaque_corners)
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        image.transparent[static_cast<std::size_t>(y * size + x)] = !on_globe(view, x, y);
  return image;
}

// Geometry of one size of the window picture, in pixels.
struct WindowShape {
  int size;
  int left, top, width, height;  // the outer frame
  int title_height;              // title bar rows inside the frame
  int button_size;               // the square system-menu box at the left of the title bar
};
constexpr WindowShape kLargeWindow{kLargeIcon, 1, 3, 30, 26, 5, 4};
constexpr WindowShape kSmallWindow{kSmallIcon, 0, 1, 16, 14, 3, 2};

struct WindowColours {
  Colour frame, title, client, button;
};
constexpr WindowColours kColourWindow{Colour::Black, Colour::Navy, Colour::White, Colour::Silver};
constexpr WindowColours kMonochromeWindow{Colour::Black, Colour::Black, Colour::White,
                                          Colour::White};

IconImage window_image(const WindowShape& shape, const WindowColours& colours, int bits) {
  IconImage image{Canvas(shape.size, shape.size, Colour::Black), {}, bits};
  Canvas& c = image.pixels;
  c.fill_rect(shape.left, shape.top, shape.width, shape.height, colours.client);
  c.fill_rect(shape.left, shape.top, shape.width, shape.title_height + 1, colours.title);
  c.outline_rect(shape.left, shape.top, shape.width, shape.height, colours.frame);
  // The line under the title bar, and the system-menu box with its bar.
  c.line(shape.left, shape.top + shape.title_height + 1, shape.left + shape.width - 1,
         shape.top + shape.title_height + 1, colours.frame);
  const int box_top = shape.top + 1 + (shape.title_height - shape.button_size) / 2;
  c.fill_rect(shape.left + 1, box_top, shape.button_size, shape.button_size, colours.button);
  if (shape.button_size > 2)
    c.line(shape.left + 2, box_top + shape.button_size / 2, shape.left + shape.button_size - 1,
           box_top + shape.button_size / 2, colours.frame);
  image.transparent = all_opaque(c);
  for (int y = 0; y < shape.size; ++y)
    for (int x = 0; x < shape.size; ++x) {
      const bool inside = x >= shape.left && x < shape.left + shape.width && y >= shape.top &&
                          y < shape.top + shape.height;
      image.transparent[static_cast<std::size_t>(y * shape.size + x)] = !inside;
    }
  return image;
}

}  // namespace

Canvas floppy_picture() {
  // The dialog face shows through the clipped corner.
  Canvas disk(kFloppyWidth, kFloppyHeight, Colour::Silver);
  disk.fill_rect(0, 0, kFloppyWidth, kFloppyHeight, Colour::Black);
  disk.set(kFloppyWidth - 1, 0, Colour::Silver);
  disk.set(kFloppyWidth - 2, 0, Colour::Silver);
  disk.set(kFloppyWidth - 1, 1, Colour::Silver);
  // Metal shutter with its head window.
  disk.fill_rect(6, 0, 12, 9, Colour::Silver);
  disk.fill_rect(13, 1, 3, 7, Colour::Black);
  disk.line(6, 0, 6, 8, Colour::Olive);
  // Paper label with ruled lines, and the two corner holes.
  disk.fill_rect(3, 11, 18, 12, Colour::Silver);
  disk.fill_rect(3, 11, 18, 2, Colour::Olive);
  for (int y = 15; y < kFloppyHeight; y += 3) disk.line(5, y, 18, y, Colour::Olive);
  disk.fill_rect(1, 20, 1, 2, Colour::Olive);
  disk.fill_rect(22, 20, 1, 2, Colour::Olive);
  return disk;
}

std::vector<IconImage> globe_icon(bool opaque_corners) {
  return {globe_image(kLargeIcon, opaque_corners), globe_image(kSmallIcon, false)};
}

std::vector<IconImage> window_icon() {
  return {window_image(kLargeWindow, kMonochromeWindow, 1),
          window_image(kLargeWindow, kColourWindow, 4),
          window_image(kSmallWindow, kColourWindow, 4)};
}

}  // namespace dravelin::artwork
