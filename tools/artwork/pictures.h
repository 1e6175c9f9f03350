// Each picture the program carries, drawn from scratch.
#pragma once

#include <filesystem>
#include <vector>

#include "canvas.h"
#include "image_files.h"

namespace dravelin::artwork {

// The replace-confirmation dialog's 24 x 23 floppy disk, on the dialog's own grey.
Canvas floppy_picture();

// The globe icon at 32 x 32 and 16 x 16. With `opaque_corners` the large image has no transparent
// areas and shows black around the disc; the small image is the same either way.
std::vector<IconImage> globe_icon(bool opaque_corners);

// A plain application window: 32 x 32 monochrome, 32 x 32 and 16 x 16 in 16 colours.
std::vector<IconImage> window_icon();

// The progress window's 445 x 146 welcome banner; the text comes as grey masks rendered from
// fonts (welcome.pgm, name.pgm in `masks`).
Canvas banner_picture(const std::filesystem::path& masks);

// The frames of the copying clip, all of one size, meant to loop.
std::vector<Canvas> copying_frames();

}  // namespace dravelin::artwork
