// The progress window as designed for both builds: window settings and its two
// controls, in twips from the client area's top-left.
#pragma once

#include <string_view>

#include "layout.h"
#include "variant.h"

namespace dravelin::win {

namespace filecopy {

// Control IDs, one range named after the controls.
enum ControlId : int {
  Banner = 1201,  // 그림: the welcome banner, stretched into its box
  FileCopyAVI,    // the animation, drawn over the banner's lower right part
};

}  // namespace filecopy

struct FileCopyWindowLayout {
  std::wstring_view caption;
  TwipSize client;
  WindowFrame frame;
  bool hasIcon;
  bool closeButtonEnabled;  // the window ends by itself; where there is a close box it does nothing
  TwipRect banner;
  TwipRect animation;
};

const FileCopyWindowLayout& FileCopyLayout(Build build);

}  // namespace dravelin::win
