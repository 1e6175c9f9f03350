// The progress window of both programs while the first question is up, found by its caption:
// client area, place and controls at their designed pixels, the question modal to it; the legacy
// window resized. And that it comes on screen even when there is no configuration to read.
#include <gtest/gtest.h>

#include <cstdlib>

#include "expected_controls.h"
#include "program_pictures.h"
#include "program_session.h"
#include "uidriver.h"
#include "win32/handles.h"

namespace dravelin::uitest {
namespace {

// Top of the z-order first: the animation lies on the banner.
std::vector<ExpectedControl> ExpectedControls(Build build) {
  const ProgressPixels pixels = ExpectedProgressPixels(build);
  return {{1202, L"SysAnimate32", L"", pixels.animation},
          {1201, L"Static", L"그림", pixels.banner}};
}

// A client directory whose server holds one file that the client lacks: one question.
void LayOutOneQuestion(const ClientFolder& folder) {
  folder.writeConfig();
  folder.writeServer(L"new.dat", "server copy", kDecember);
}

// Runs `look` on the progress window and the first question, then skips it; the run must then
// go on to start the client.
template <typename Look>
void WhileTheFirstQuestionShows(const ClientFolder& folder, Look look) {
  ProgramRun run(folder);
  const HWND dialog = run.nextQuestion();
  ASSERT_NE(dialog, nullptr) << "the program asked nothing";
  const HWND progress = uidriver::FindTopWindow(kProgressCaption);
  ASSERT_NE(progress, nullptr) << "no progress window on screen while asking";
  look(progress, dialog);
  run.answer(dialog, Answer::Skip);
  const RunResult result = run.finish();
  EXPECT_EQ(result.questions.size(), 1u);
  ExpectEndedWithTheClient(result, folder);
}

int ScreenDpi() {
  const win::WindowDC screen(nullptr);
  return ::GetDeviceCaps(screen.get(), LOGPIXELSX);
}

TEST(ProgramWindow, ControlsSitAtTheirDesignedPixelsBehindTheQuestion) {
  ASSERT_EQ(ScreenDpi(), 96) << "the pixels above are those of a 96 DPI display";
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    LayOutOneQuestion(folder);
    folder.addClip();
    const ProgressPixels expected = ExpectedProgressPixels(build);
    WhileTheFirstQuestionShows(folder, [&](HWND progress, HWND dialog) {
      ExpectControls(progress, ExpectedControls(build));
      EXPECT_EQ(ClientSize(progress).cx, expected.client.cx);
      EXPECT_EQ(ClientSize(progress).cy, expected.client.cy);
      // The question is modal to the progress window, which waits disabled behind it.
      EXPECT_EQ(::GetWindow(dialog, GW_OWNER), progress);
      EXPECT_FALSE(::IsWindowEnabled(progress));
      RECT frame{};
      ASSERT_TRUE(::GetWindowRect(progress, &frame));
      EXPECT_LE(std::abs(frame.left - (::GetSystemMetrics(SM_CXSCREEN) - frame.right)), 1);
      EXPECT_LE(std::abs(frame.top - (::GetSystemMetrics(SM_CYSCREEN) - frame.bottom)), 1);
    });
  });
}

// Resizing moves and scales nothing: the legacy window has a sizable frame.
TEST(ProgramWindow, LegacyWindowKeepsItsControlsWhenResized) {
  const ClientFolder folder(Build::Legacy);
  LayOutOneQuestion(folder);
  WhileTheFirstQuestionShows(folder, [&](HWND progress, HWND) {
    EXPECT_TRUE(::GetWindowLongW(progress, GWL_STYLE) & WS_THICKFRAME);
    ASSERT_TRUE(GrowFrame(progress, {120, 90}));
    EXPECT_EQ(ClientSize(progress).cx, 488 + 120);
    EXPECT_EQ(ClientSize(progress).cy, 142 + 90);
    ExpectControls(progress, ExpectedControls(Build::Legacy));
  });
}

// The window comes on screen whatever the update finds: without a configuration the update is
// over at once (nothing to ask, no client to start), and the window has still been shown.
TEST(ProgramWindow, ShownEvenWithoutAConfigurationFile) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeServer(L"new.dat", "server copy", kDecember);
    const auto before = folder.localFiles();
    const RunResult result = RunProgram(folder);
    EXPECT_EQ(folder.localFiles(), before);
    EXPECT_TRUE(result.windowShown);
    EXPECT_TRUE(result.questions.empty());
    EXPECT_FALSE(result.clientStarted);
    EXPECT_EQ(result.exitCode, 0u);
  });
}

}  // namespace
}  // namespace dravelin::uitest
