// make-artwork: draws the program's pictures and its copying clip and writes them into the
// source tree, so the committed files can always be regenerated from this code.
//
//   tools/artwork/make-artwork.sh            (renders the banner's text masks, builds, runs)
//   make-artwork SOURCE_DIR MASK_DIR [PREVIEW_DIR]
//
// Writes SOURCE_DIR/ui/art/{floppy.bmp,globe.ico,globe-dialog.ico,window.ico,banner.bmp}
// and SOURCE_DIR/examples/filecopy.avi. MASK_DIR holds welcome.pgm and name.pgm, grey text
// masks rendered from fonts. With PREVIEW_DIR every clip frame is also written there as a BMP.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "avi_file.h"
#include "image_files.h"
#include "pictures.h"

namespace fs = std::filesystem;
using namespace dravelin::artwork;

namespace {

void write_pictures(const fs::path& art, const fs::path& masks) {
  fs::create_directories(art);
  write_file(art / "floppy.bmp", encode_bmp4(floppy_picture()));
  write_file(art / "globe.ico", encode_ico(globe_icon(false)));
  write_file(art / "globe-dialog.ico", encode_ico(globe_icon(true)));
  write_file(art / "window.ico", encode_ico(window_icon()));
  write_file(art / "banner.bmp", encode_bmp4(banner_picture(masks)));
}

constexpr int kClipFramesPerSecond = 12;

void write_clip(const fs::path& examples, const fs::path& preview) {
  const std::vector<Canvas> frames = copying_frames();
  fs::create_directories(examples);
  write_file(examples / "filecopy.avi", encode_avi(frames, kClipFramesPerSecond));
  if (preview.empty()) return;
  fs::create_directories(preview);
  for (std::size_t i = 0; i < frames.size(); ++i)
    write_file(preview / ("frame" + std::to_string(i) + ".bmp"), encode_bmp4(frames[i]));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: %s SOURCE_DIR MASK_DIR [PREVIEW_DIR]\n", argv[0]);
    return 2;
  }
  try {
    const fs::path source = argv[1];
    write_pictures(source / "ui" / "art", argv[2]);
    write_clip(source / "examples", argc == 4 ? fs::path(argv[3]) : fs::path());
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make-artwork: %s\n", failure.what());
    return 1;
  }
  return 0;
}
