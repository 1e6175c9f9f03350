#include "check_update_dialog_layout.h"

#include <array>

namespace dravelin::win {

namespace {

using namespace checkupdate;

constexpr FontSpec kDotumChe975{L"돋움체", 975, FW_NORMAL, HANGUL_CHARSET, Pitch::Fixed};
constexpr FontSpec kGulim975{L"굴림", 975, FW_NORMAL, HANGUL_CHARSET, Pitch::Variable};
constexpr FontSpec kGulim900{L"굴림", 900, FW_NORMAL, HANGUL_CHARSET, Pitch::Variable};

constexpr std::wstring_view kCaption = L"Update Check Windows";

// clang-format off: the tables are laid out by hand, one setting or control per line.

// dravelin: a fixed dialog frame with a close button only; the title bar shows the globe.
const DialogWindowLayout kCurrentWindow{
    kCaption,
    {5205, 1455},
    TwipPoint{5235, 5190},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0},
    true,
    kDotumChe975,
    kDotumChe975,
    kDotumChe975,
};

// dravelin-legacy: a sizable frame with minimise, maximise and close buttons and no icon.
// WS_EX_DLGMODALFRAME is what keeps the title bar free of the default application icon; with
// WS_THICKFRAME present the border stays the sizable one.
const DialogWindowLayout kLegacyWindow{
    kCaption,     {5505, 1440},
    std::nullopt, {WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME},
    false,        std::nullopt,
    kGulim975,    kGulim900,
};

constexpr TwipSize kLabelSize{3780, 300};
constexpr TwipSize kButtonSize{1230, 345};

// Each control: ID, kind, caption as designed; then Left, Top {dravelin, dravelin-legacy},
// Width x Height, tab index {dravelin, dravelin-legacy}, how a label cuts its text.
const std::array<ControlLayout, 9> kControls{{
    {FileNameLabel,
     ControlKind::Label,
     L"File Name",
     {{960, 75}, {915, 120}},
     {4155, 300},
     {0, 4},
     TextCut::PathEllipsis},
    {OldDateLabel,
     ControlKind::Label,
     L"Old Date 파일을",
     {{1290, 315}, {1290, 360}},
     kLabelSize,
     {1, 5},
     TextCut::EndEllipsis},
    {NewDateLabel,
     ControlKind::Label,
     L"New Date 파일로 ",
     {{1290, 525}, {1290, 570}},
     kLabelSize,
     {2, 6},
     TextCut::EndEllipsis},
    {QuestionLabel,
     ControlKind::Label,
     L"교체을 하시겠습니까?",
     {{1275, 765}, {1290, 780}},
     kLabelSize,
     {3, 7},
     TextCut::EndEllipsis},
    {FloppyPicture,
     ControlKind::Picture,
     L"",
     {{45, 180}, {0, 225}},
     {780, 750},
     {std::nullopt, std::nullopt},
     TextCut::None},
    {ReplaceButton,
     ControlKind::Button,
     L"교체",
     {{75, 1065}, {180, 1020}},
     kButtonSize,
     {4, 3},
     TextCut::None},
    {SkipButton,
     ControlKind::Button,
     L"통과",
     {{1350, 1065}, {1455, 1020}},
     kButtonSize,
     {5, 2},
     TextCut::None},
    {ReplaceAllButton,
     ControlKind::Button,
     L"모두교체",
     {{2640, 1065}, {2745, 1020}},
     kButtonSize,
     {6, 1},
     TextCut::None},
    {SkipAllButton,
     ControlKind::Button,
     L"모두통과",
     {{3915, 1065}, {4020, 1020}},
     kButtonSize,
     {7, 0},
     TextCut::None},
}};

// clang-format on

}  // namespace

const DialogWindowLayout& CheckUpdateWindowLayout(Build build) {
  return build == Build::Legacy ? kLegacyWindow : kCurrentWindow;
}

std::span<const ControlLayout> CheckUpdateControls() { return kControls; }

}  // namespace dravelin::win
