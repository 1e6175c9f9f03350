// Writer for the copying clip: a RIFF AVI with one video stream of 8-bit run-length encoded
// frames (BI_RLE8) in the 16-colour palette, an index, and no sound, the form the Windows
// animation control plays.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "canvas.h"

namespace dravelin::artwork {

// One frame as RLE8 data: rows bottom-up, each ended by an end-of-line escape, the last by the
// end-of-bitmap escape. Every pixel is coded, so a frame never depends on the previous one.
std::vector<std::uint8_t> encode_rle8(const Canvas& frame);

// A complete .avi file. All frames must have the same size.
std::vector<std::uint8_t> encode_avi(std::span<const Canvas> frames, int frames_per_second);

}  // namespace dravelin::artwork
