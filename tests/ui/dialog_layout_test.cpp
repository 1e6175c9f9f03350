// The dialog as the user sees it, read from outside: every control's class, caption and pixel
// rectangle, the client area, the placement and the frame, for both builds. The expected pixels
// are written out here by hand from the designed twips (15 twips a pixel at 96 DPI).
#include <gtest/gtest.h>

#include <cstdlib>

#include "check_update_dialog_layout.h"
#include "expected_controls.h"
#include "host_session.h"

namespace dravelin::uitest {
namespace {

using namespace win::checkupdate;

// Tab order first (the order the controls sit in), the picture last.
const std::vector<ExpectedControl> kCurrentControls = {
    {FileNameLabel, L"Static", L"\\\\server\\share\\client\\한글파일.dat", Box(64, 5, 277, 20)},
    {OldDateLabel, L"Static", L"2026-11-30 오전 9:15:00을", Box(86, 21, 252, 20)},
    {NewDateLabel, L"Static", L"2026-12-01 오후 3:04:05로", Box(86, 35, 252, 20)},
    {QuestionLabel, L"Static", L"교체을 하시겠습니까?", Box(85, 51, 252, 20)},
    {ReplaceButton, L"Button", L"교체", Box(5, 71, 82, 23)},
    {SkipButton, L"Button", L"통과", Box(90, 71, 82, 23)},
    {ReplaceAllButton, L"Button", L"모두교체", Box(176, 71, 82, 23)},
    {SkipAllButton, L"Button", L"모두통과", Box(261, 71, 82, 23)},
    {FloppyPicture, L"Static", L"", Box(3, 12, 52, 50)},
};

const std::vector<ExpectedControl> kLegacyControls = {
    {SkipAllButton, L"Button", L"모두통과", Box(268, 68, 82, 23)},
    {ReplaceAllButton, L"Button", L"모두교체", Box(183, 68, 82, 23)},
    {SkipButton, L"Button", L"통과", Box(97, 68, 82, 23)},
    {ReplaceButton, L"Button", L"교체", Box(12, 68, 82, 23)},
    {FileNameLabel, L"Static", L"\\\\server\\share\\client\\한글파일.dat", Box(61, 8, 277, 20)},
    {OldDateLabel, L"Static", L"2026-11-30 오전 9:15:00을", Box(86, 24, 252, 20)},
    {NewDateLabel, L"Static", L"2026-12-01 오후 3:04:05로", Box(86, 38, 252, 20)},
    {QuestionLabel, L"Static", L"교체을 하시겠습니까?", Box(86, 52, 252, 20)},
    {FloppyPicture, L"Static", L"", Box(0, 15, 52, 50)},
};

// Runs one question, lets `check` look at the dialog, then closes it; the host must have seen
// a 96 DPI display (the pixels above assume it) and a closed dialog answers 0.
template <typename Check>
void WithDialog(Build build, Check check) {
  HostSession host(build, {SampleQuestion()});
  const HWND dialog = host.waitForDialog();
  check(dialog);
  uidriver::CloseThroughSystemMenu(dialog);
  const std::vector<std::string> lines = host.finish();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "dpi=96");
  EXPECT_EQ(Choices(lines), std::vector<int>{0});
}

TEST(DialogLayout, CurrentBuildControlsSitAtTheirDesignedPixels) {
  WithDialog(Build::Current, [](HWND dialog) { ExpectControls(dialog, kCurrentControls); });
}

TEST(DialogLayout, LegacyBuildControlsSitAtTheirDesignedPixels) {
  WithDialog(Build::Legacy, [](HWND dialog) { ExpectControls(dialog, kLegacyControls); });
}

TEST(DialogLayout, CurrentBuildWindowIsAFixedFrameAtItsDesignedPlace) {
  WithDialog(Build::Current, [](HWND dialog) {
    const RECT client = uidriver::ClientRectOnScreen(dialog);
    EXPECT_EQ(client.left, 349);
    EXPECT_EQ(client.top, 346);
    EXPECT_EQ(client.right - client.left, 347);
    EXPECT_EQ(client.bottom - client.top, 97);
    const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  });
}

// The icons themselves are checked inside the process (Wine answers WM_GETICON from another
// process with nothing).
TEST(DialogLayout, LegacyBuildWindowIsSizableCentredWithAModalFrame) {
  WithDialog(Build::Legacy, [](HWND dialog) {
    EXPECT_EQ(ClientSize(dialog).cx, 367);
    EXPECT_EQ(ClientSize(dialog).cy, 96);
    RECT frame{};
    ASSERT_TRUE(::GetWindowRect(dialog, &frame));
    // Centred: equal margins left and right, above and below (one pixel apart at most).
    EXPECT_LE(std::abs(frame.left - (::GetSystemMetrics(SM_CXSCREEN) - frame.right)), 1);
    EXPECT_LE(std::abs(frame.top - (::GetSystemMetrics(SM_CYSCREEN) - frame.bottom)), 1);
    const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    // With a modal frame the system puts no stand-in icon into the title bar.
    EXPECT_TRUE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  });
}

TEST(DialogLayout, LegacyBuildMovesNothingWhenResized) {
  WithDialog(Build::Legacy, [](HWND dialog) {
    ASSERT_TRUE(GrowFrame(dialog, {200, 150}));
    EXPECT_EQ(ClientSize(dialog).cx, 367 + 200);
    EXPECT_EQ(ClientSize(dialog).cy, 96 + 150);
    ExpectControls(dialog, kLegacyControls);
  });
}

}  // namespace
}  // namespace dravelin::uitest
