// What the user sees of both programs while the first question is up, taken from the screen:
// the banner, the animation playing over its lower right part, the plain strip at the right of
// the progress window, and the question with its captions drawn. With DRAVELIN_TEST_PICTURES set
// the pictures are also saved there for a person to look at.
#include <gtest/gtest.h>

#include "program_pictures.h"
#include "program_session.h"

namespace dravelin::uitest {
namespace {

// The welcome banner is a 16-colour picture; stretched, its top left part alone shows several.
constexpr int kFewestBannerColours = 4;

void CheckQuestionPicture(HWND dialog, const std::string& name) {
  const uidriver::Picture whole = uidriver::CaptureWindow(dialog);
  KeepPicture(whole, name + "-question");
  const uidriver::Picture client = ClientPart(dialog, whole);
  // Each caption the pass filled in is drawn: its label holds more than background.
  for (int id : {1101, 1102, 1103}) {
    SCOPED_TRACE("label " + std::to_string(id));
    const uidriver::ControlInfo label = uidriver::InspectControl(::GetDlgItem(dialog, id));
    EXPECT_GT(PixelsOtherThan(client, label.rect, PlainColour()), 0);
  }
}

void CheckProgressPicture(HWND progress, const ProgressPixels& geometry, const std::string& name) {
  const uidriver::Picture whole = uidriver::CaptureWindow(progress);
  KeepPicture(whole, name + "-progress");
  const uidriver::Picture client = ClientPart(progress, whole);
  ASSERT_EQ(client.width, geometry.client.cx);
  ASSERT_EQ(client.height, geometry.client.cy);
  const RECT strip{geometry.plainStripLeft, 0, geometry.client.cx, geometry.client.cy};
  EXPECT_EQ(PixelsOtherThan(client, strip, geometry.animation, PlainColour()), 0)
      << "the strip at the right shows more than the window's background";
  EXPECT_GE(DistinctColours(client, Box(0, 0, geometry.animation.left, geometry.animation.top)),
            kFewestBannerColours)
      << "no banner";
  EXPECT_GT(PixelsOtherThan(client, geometry.animation, PlainColour()), 0)
      << "the animation area is empty although the clip is there";
}

TEST(ProgramPictures, BannerAnimationPlainStripAndTheQuestion) {
  ForEachBuild([&](Build build) {
    const ClientFolder folder(build);
    folder.writeConfig();
    folder.addClip();
    folder.writeServer(L"한글파일.dat", "server copy", kDecember);
    ProgramRun run(folder);
    const HWND dialog = run.nextQuestion();
    ASSERT_NE(dialog, nullptr);
    const HWND progress = uidriver::FindTopWindow(kProgressCaption);
    ASSERT_NE(progress, nullptr);
    CheckQuestionPicture(dialog, BuildName(build));
    MoveBelow(dialog, progress);
    CheckProgressPicture(progress, ExpectedProgressPixels(build), BuildName(build));
    run.answer(dialog, Answer::Skip);
    EXPECT_TRUE(run.finish().clientStarted);
  });
}

}  // namespace
}  // namespace dravelin::uitest
