// The three labels that the update pass fills: they show exactly the texts given, Korean
// included, and a text longer than its label neither grows the label or the dialog nor spills
// onto the labels below.
#include <gtest/gtest.h>

#include "check_update_dialog_layout.h"
#include "host_session.h"

namespace dravelin::uitest {
namespace {

using namespace win::checkupdate;

std::wstring LongServerPath() {
  std::wstring path = L"\\\\fileserver\\deployment";
  for (int level = 0; level < 8; ++level) path += L"\\클라이언트배포본" + std::to_wstring(level);
  return path + L"\\설정파일.dat";
}

std::wstring Text(HWND control) { return uidriver::InspectControl(control).text; }

TEST(DialogLabels, ShowTheTextsOfAMissingLocalFile) {
  const Question missing{L"\\\\server\\share\\client\\한글파일.dat",
                         L"해당화일은 존재하지 않습니다.", L"2026-12-01 오후 3:04:05로"};
  for (Build build : kBuilds) {
    HostSession host(build, {missing});
    const HWND dialog = host.waitForDialog();
    EXPECT_EQ(Text(Control(dialog, FileNameLabel)), missing.fileName);
    EXPECT_EQ(Text(Control(dialog, OldDateLabel)), missing.oldDate);
    EXPECT_EQ(Text(Control(dialog, NewDateLabel)), missing.newDate);
    EXPECT_EQ(Text(Control(dialog, QuestionLabel)), L"교체을 하시겠습니까?");
    uidriver::CloseThroughSystemMenu(dialog);
    EXPECT_EQ(Choices(host.finish()), std::vector<int>{0});
  }
}

TEST(DialogLabels, ALongServerPathGrowsNeitherTheLabelNorTheDialog) {
  const struct {
    Build build;
    SIZE client;
    RECT label;
  } cases[] = {{Build::Current, {347, 97}, {64, 5, 64 + 277, 5 + 20}},
               {Build::Legacy, {367, 96}, {61, 8, 61 + 277, 8 + 20}}};
  for (const auto& c : cases) {
    Question question = SampleQuestion();
    question.fileName = LongServerPath();
    HostSession host(c.build, {question});
    const HWND dialog = host.waitForDialog();
    const uidriver::ControlInfo label = uidriver::InspectControl(Control(dialog, FileNameLabel));
    EXPECT_EQ(label.text, question.fileName);  // all of it is there, whatever is drawn
    EXPECT_TRUE(::EqualRect(&label.rect, &c.label));
    const RECT client = uidriver::ClientRectOnScreen(dialog);
    EXPECT_EQ(client.right - client.left, c.client.cx);
    EXPECT_EQ(client.bottom - client.top, c.client.cy);
    uidriver::CloseThroughSystemMenu(dialog);
    EXPECT_EQ(Choices(host.finish()), std::vector<int>{0});
  }
}

std::uint32_t ButtonFace() {
  const COLORREF bgr = ::GetSysColor(COLOR_BTNFACE);
  return (std::uint32_t{GetRValue(bgr)} << 16) | (std::uint32_t{GetGValue(bgr)} << 8) |
         GetBValue(bgr);
}

// How many pixels of a client-area band differ from the dialog's background.
int InkIn(const uidriver::Picture& picture, POINT clientOffset, const RECT& band) {
  const std::uint32_t background = ButtonFace();
  int ink = 0;
  for (int y = band.top; y < band.bottom; ++y)
    for (int x = band.left; x < band.right; ++x)
      if (picture.at(clientOffset.x + x, clientOffset.y + y) != background) ++ink;
  return ink;
}

TEST(DialogLabels, ALongServerPathStaysOnTheFileNameLine) {
  // With the date labels empty, the space between the file name's line and QuestionLabel must stay
  // blank: a path that wrapped would draw its second line there, over the labels below.
  const struct {
    Build build;
    RECT fileNameLine;  // FileNameLabel
    int label2Top;
  } cases[] = {{Build::Current, {64, 5, 64 + 277, 5 + 20}, 51},
               {Build::Legacy, {61, 8, 61 + 277, 8 + 20}, 52}};
  for (const auto& c : cases) {
    HostSession host(c.build, {{LongServerPath(), L"", L""}});
    const HWND dialog = host.waitForDialog();
    const uidriver::Picture picture = uidriver::CaptureWindow(dialog);
    RECT frame{};
    ASSERT_TRUE(::GetWindowRect(dialog, &frame));
    const RECT client = uidriver::ClientRectOnScreen(dialog);
    const POINT offset{client.left - frame.left, client.top - frame.top};
    const RECT below{c.fileNameLine.left, c.fileNameLine.bottom, c.fileNameLine.right, c.label2Top};
    EXPECT_GT(InkIn(picture, offset, c.fileNameLine), 0) << "the path is drawn";
    EXPECT_EQ(InkIn(picture, offset, below), 0) << "nothing below the path's line";
    uidriver::CloseThroughSystemMenu(dialog);
    EXPECT_EQ(Choices(host.finish()), std::vector<int>{0});
  }
}

}  // namespace
}  // namespace dravelin::uitest
