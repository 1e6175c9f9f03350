#include "expected_controls.h"

#include <gtest/gtest.h>

#include <string>

#include "uidriver.h"

namespace dravelin::uitest {

void ExpectControls(HWND window, const std::vector<ExpectedControl>& expected) {
  const std::vector<uidriver::ControlInfo> controls = uidriver::ListControls(window);
  ASSERT_EQ(controls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const uidriver::ControlInfo& actual = controls[i];
    SCOPED_TRACE("control " + std::to_string(expected[i].id));
    EXPECT_EQ(actual.id, expected[i].id);
    EXPECT_EQ(actual.className, expected[i].className);
    EXPECT_EQ(actual.text, expected[i].text);
    EXPECT_EQ(actual.rect.left, expected[i].rect.left);
    EXPECT_EQ(actual.rect.top, expected[i].rect.top);
    EXPECT_EQ(actual.rect.right, expected[i].rect.right);
    EXPECT_EQ(actual.rect.bottom, expected[i].rect.bottom);
    EXPECT_TRUE(actual.visible);
  }
}

SIZE ClientSize(HWND window) {
  const RECT client = uidriver::ClientRectOnScreen(window);
  return {client.right - client.left, client.bottom - client.top};
}

bool GrowFrame(HWND window, SIZE growth) {
  RECT frame{};
  return ::GetWindowRect(window, &frame) &&
         ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + growth.cx,
                        frame.bottom - frame.top + growth.cy,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dravelin::uitest
