// The globe drawn in the program's icons and its welcome banner: an orthographic view of a coarse
// world map, lit from the upper left, in the blues and greens of the 16-colour palette.
#pragma once

#include "canvas.h"

namespace dravelin::artwork {

struct GlobeView {
  double centre_x;  // pixels; the disc is centred here
  double centre_y;
  double radius;     // pixels
  double longitude;  // degrees east at the middle of the view
  double latitude;   // degrees north at the middle of the view
  bool dithered;     // soften the shading with an ordered dither (for large globes)
  bool graticule;    // draw meridians and parallels every 30 degrees
  bool rim;          // darken the outermost pixels of the disc
};

// True when the pixel's centre lies on the globe's disc.
bool on_globe(const GlobeView& view, int x, int y);
// Paints the disc; pixels off the disc are left as they are.
void draw_globe(Canvas& canvas, const GlobeView& view);
// True where the coarse world map has land.
bool is_land(double longitude, double latitude);

}  // namespace dravelin::artwork
