#include "file_copy_window_layout.h"

namespace dravelin::win {

namespace {

constexpr std::wstring_view kCaption = L"File Transfer...";

// The banner and the animation have the same size in both builds; only their places differ.
constexpr TwipSize kBannerSize{6870, 2130};    // 458 x 142 px: a 445 x 146 picture, stretched
constexpr TwipSize kAnimationSize{3780, 660};  // 252 x 44 px

// A fixed frame with a caption and a minimise box. The window closes itself when the update is
// over, so its close box is shown disabled rather than offering a click that could not be obeyed.
constexpr WindowFrame kCurrentFrame{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0};
// Sizable, with minimise, maximise and close boxes; the controls keep their places on resize.
// The window has no icon: WS_EX_DLGMODALFRAME keeps the system's default one out of the title
// bar, and with WS_THICKFRAME present the border stays the sizable one.
constexpr WindowFrame kLegacyFrame{WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME};

constexpr FileCopyWindowLayout kCurrent{
    kCaption,
    {7200, 2055},  // 480 x 137 px
    kCurrentFrame,
    true,
    false,
    {{-120, -45}, kBannerSize},  // slightly off the top-left corner, as designed
    {{3045, 1245}, kAnimationSize},
};

constexpr FileCopyWindowLayout kLegacy{
    kCaption,     {7320, 2130},  // 488 x 142 px
    kLegacyFrame, false,        true, {{0, 0}, kBannerSize}, {{3165, 1290}, kAnimationSize},
};

}  // namespace

const FileCopyWindowLayout& FileCopyLayout(Build build) {
  return build == Build::Legacy ? kLegacy : kCurrent;
}

}  // namespace dravelin::win
