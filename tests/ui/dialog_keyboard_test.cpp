// The keyboard: where the focus starts, where Tab takes it, and that the default border (the
// button Enter presses) goes with it.
#include <gtest/gtest.h>

#include "check_update_dialog_layout.h"
#include "host_session.h"

namespace dravelin::uitest {
namespace {

using namespace win::checkupdate;

bool LooksDefault(HWND button) {
  return (::GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// Starting from the first control, Tab visits `order` and comes back round to its start.
void ExpectTabOrder(Build build, const std::vector<int>& order) {
  HostSession host(build, {SampleQuestion()});
  const HWND dialog = host.waitForDialog();
  const std::vector<int> buttons = {ReplaceButton, SkipButton, ReplaceAllButton, SkipAllButton};
  for (size_t step = 0; step <= order.size(); ++step) {
    const int expectedId = order[step % order.size()];
    SCOPED_TRACE("after " + std::to_string(step) + " Tab(s)");
    const HWND focus = uidriver::FocusedControl(dialog);
    ASSERT_EQ(focus, Control(dialog, expectedId));
    for (int id : buttons) EXPECT_EQ(LooksDefault(Control(dialog, id)), id == expectedId) << id;
    if (step == order.size()) break;
    uidriver::PressKey(dialog, uidriver::Key::Tab);
    uidriver::WaitForFocusChange(dialog, focus);
  }
  uidriver::CloseThroughSystemMenu(dialog);
  EXPECT_EQ(Choices(host.finish()), std::vector<int>{0});
}

TEST(DialogKeyboard, CurrentBuildStartsOnReplaceAndTabsLeftToRight) {
  ExpectTabOrder(Build::Current, {ReplaceButton, SkipButton, ReplaceAllButton, SkipAllButton});
}

TEST(DialogKeyboard, LegacyBuildStartsOnSkipAllAndTabsRightToLeft) {
  ExpectTabOrder(Build::Legacy, {SkipAllButton, ReplaceAllButton, SkipButton, ReplaceButton});
}

}  // namespace
}  // namespace dravelin::uitest
