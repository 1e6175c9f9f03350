// The answers: what the modal show returns, after each way of
// leaving the dialog, and what happens to the owner meanwhile.
#include <gtest/gtest.h>

#include "check_update_dialog_layout.h"
#include "host_session.h"

namespace dravelin::uitest {
namespace {

using namespace win::checkupdate;

// Asks one question, answers it with `act`, and returns the printed choices.
template <typename Act>
std::vector<int> AnswerOnce(Build build, Act act) {
  HostSession host(build, {SampleQuestion()});
  act(host.waitForDialog());
  return Choices(host.finish());
}

TEST(DialogAnswers, EachButtonGivesItsValue) {
  const struct {
    std::wstring_view caption;
    int value;
  } buttons[] = {{L"교체", 1}, {L"통과", 2}, {L"모두교체", 3}, {L"모두통과", 4}};
  for (Build build : kBuilds) {
    for (const auto& button : buttons) {
      SCOPED_TRACE(BuildName(build) + " " + uidriver::ToUtf8(button.caption));
      const std::vector<int> choices = AnswerOnce(build, [&](HWND dialog) {
        uidriver::ClickButton(uidriver::FindControlByText(dialog, button.caption));
      });
      EXPECT_EQ(choices, std::vector<int>{button.value});
    }
  }
}

TEST(DialogAnswers, ClosingThroughTheFrameOrWithEscapeLeavesZero) {
  ForEachBuild([&](Build build) {
    EXPECT_EQ(AnswerOnce(build, uidriver::CloseThroughSystemMenu), std::vector<int>{0});
    EXPECT_EQ(
        AnswerOnce(build, [](HWND dialog) { uidriver::PressKey(dialog, uidriver::Key::Escape); }),
        std::vector<int>{0});
  });
}

TEST(DialogAnswers, EnterPressesTheButtonWithTheFocus) {
  // The current build starts on Replace, the default button.
  EXPECT_EQ(AnswerOnce(Build::Current,
                       [](HWND dialog) { uidriver::PressKey(dialog, uidriver::Key::Enter); }),
            std::vector<int>{1});
  // The legacy build starts on Skip all; three Tabs lead right to left to Replace.
  EXPECT_EQ(AnswerOnce(Build::Legacy,
                       [](HWND dialog) { uidriver::PressKey(dialog, uidriver::Key::Enter); }),
            std::vector<int>{4});
  EXPECT_EQ(AnswerOnce(Build::Legacy,
                       [](HWND dialog) {
                         for (int tab = 0; tab < 3; ++tab) {
                           const HWND before = uidriver::FocusedControl(dialog);
                           uidriver::PressKey(dialog, uidriver::Key::Tab);
                           uidriver::WaitForFocusChange(dialog, before);
                         }
                         ASSERT_EQ(uidriver::FocusedControl(dialog),
                                   Control(dialog, ReplaceButton));
                         uidriver::PressKey(dialog, uidriver::Key::Enter);
                       }),
            std::vector<int>{1});
}

TEST(DialogAnswers, EveryQuestionStartsAtZero) {
  // A Replace or Skip from the first question does not carry over into the second: the second
  // dialog, closed without a button, answers 0.
  const struct {
    Build build;
    std::wstring_view firstButton;
    int firstValue;
  } cases[] = {{Build::Current, L"교체", 1}, {Build::Legacy, L"통과", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(BuildName(c.build));
    HostSession host(c.build, {SampleQuestion(), SampleQuestion()});
    const HWND first = host.waitForDialog();
    uidriver::ClickButton(uidriver::FindControlByText(first, c.firstButton));
    uidriver::WaitUntilGone(first);
    const HWND second = host.waitForDialog();
    EXPECT_NE(second, first);
    uidriver::CloseThroughSystemMenu(second);
    EXPECT_EQ(Choices(host.finish()), (std::vector<int>{c.firstValue, 0}));
  }
}

TEST(DialogAnswers, OwnerIsDisabledWhileTheDialogShowsAndEnabledAfter) {
  ForEachBuild([&](Build build) {
    HostSession host(build, {SampleQuestion()});
    const HWND dialog = host.waitForDialog();
    const HWND owner = uidriver::FindTopWindow(kOwnerCaption);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), owner);
    EXPECT_FALSE(::IsWindowEnabled(owner));
    uidriver::ClickButton(uidriver::FindControlByText(dialog, L"통과"));
    const std::vector<std::string> lines = host.finish();
    EXPECT_EQ(lines, (std::vector<std::string>{"dpi=96", "choice=2", "owner=enabled"}));
  });
}

}  // namespace
}  // namespace dravelin::uitest
