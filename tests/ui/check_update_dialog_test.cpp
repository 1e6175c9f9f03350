// The dialog object inside this process: loading, the designed captions, the fonts, unloading,
// and the modal show's return.
#include "check_update_dialog.h"

#include <gtest/gtest.h>

#include "answer.h"
#include "builds.h"

namespace dravelin::win {
namespace {

using namespace checkupdate;
using testing::kBuilds;

HINSTANCE ThisProgram() { return ::GetModuleHandleW(nullptr); }

std::wstring TextOf(HWND dialog, int id) {
  wchar_t text[256] = {};
  ::GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

TEST(CheckUpdateDialog, LoadingMakesAHiddenWindow) {
  for (Build build : kBuilds) {
    CheckUpdateDialog dialog(build, nullptr, ThisProgram());
    EXPECT_TRUE(dialog.loaded());
    EXPECT_FALSE(::IsWindowVisible(dialog.window()));  // loaded, not yet shown
  }
}

TEST(CheckUpdateDialog, ControlsCarryTheirDesignedCaptionsUntilFilled) {
  for (Build build : kBuilds) {
    CheckUpdateDialog dialog(build, nullptr, ThisProgram());
    const HWND window = dialog.window();
    EXPECT_EQ(TextOf(window, FileNameLabel), L"File Name");
    EXPECT_EQ(TextOf(window, OldDateLabel), L"Old Date 파일을");
    EXPECT_EQ(TextOf(window, NewDateLabel), L"New Date 파일로 ");
    EXPECT_EQ(TextOf(window, QuestionLabel), L"교체을 하시겠습니까?");
    EXPECT_EQ(TextOf(window, ReplaceButton), L"교체");
    EXPECT_EQ(TextOf(window, SkipButton), L"통과");
    EXPECT_EQ(TextOf(window, ReplaceAllButton), L"모두교체");
    EXPECT_EQ(TextOf(window, SkipAllButton), L"모두통과");
    dialog.setFileName(L"\\\\s\\a.dat");
    dialog.setOldDate(L"해당화일은 존재하지 않습니다.");
    dialog.setNewDate(L"2026-12-01 오후 3:04:05로");
    EXPECT_EQ(TextOf(window, FileNameLabel), L"\\\\s\\a.dat");
    EXPECT_EQ(TextOf(window, OldDateLabel), L"해당화일은 존재하지 않습니다.");
    EXPECT_EQ(TextOf(window, NewDateLabel), L"2026-12-01 오후 3:04:05로");
  }
}

// Every control's font: its height in pixels at 96 DPI, its character set, and glyphs for all
// the characters of its caption (no boxes).
void ExpectFont(HWND control, LONG height) {
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  LOGFONTW described{};
  ASSERT_TRUE(::GetObjectW(font, sizeof described, &described));
  EXPECT_EQ(described.lfHeight, height);
  EXPECT_EQ(described.lfCharSet, HANGUL_CHARSET);
  EXPECT_EQ(described.lfWeight, FW_NORMAL);
  wchar_t caption[256] = {};
  const int length = ::GetWindowTextW(control, caption, 256);
  ASSERT_GT(length, 0) << "a control without a caption";
  WindowDC dc(control);
  SelectedObject selected(dc.get(), font);
  std::vector<WORD> glyphs(static_cast<size_t>(length));
  const DWORD converted =
      ::GetGlyphIndicesW(dc.get(), caption, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  // A failed call leaves the indices at zero, which would pass for glyphs.
  ASSERT_NE(converted, GDI_ERROR) << "GetGlyphIndicesW failed";
  for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF) << "a character without a glyph";
}

TEST(CheckUpdateDialog, EveryControlHasAHangulFontOfItsDesignedSize) {
  // 9.75 pt is 13 px and 9 pt is 12 px at 96 DPI.
  CheckUpdateDialog current(Build::Current, nullptr, ThisProgram());
  for (int id : {FileNameLabel, OldDateLabel, NewDateLabel, QuestionLabel, ReplaceButton,
                 SkipButton, ReplaceAllButton, SkipAllButton}) {
    SCOPED_TRACE(id);
    ExpectFont(::GetDlgItem(current.window(), id), -13);
  }
  CheckUpdateDialog legacy(Build::Legacy, nullptr, ThisProgram());
  for (int id : {FileNameLabel, OldDateLabel, NewDateLabel, QuestionLabel}) {
    SCOPED_TRACE(id);
    ExpectFont(::GetDlgItem(legacy.window(), id), -12);
  }
  for (int id : {ReplaceButton, SkipButton, ReplaceAllButton, SkipAllButton}) {
    SCOPED_TRACE(id);
    ExpectFont(::GetDlgItem(legacy.window(), id), -13);
  }
}

HICON WindowIcon(HWND window, WPARAM which) {
  return reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0));
}

struct IconCorner {
  int size;
  bool transparent;
  COLORREF colour;
};

// The size of an icon and its top-left pixel: transparent or not, and its colour.
IconCorner Corner(HICON icon) {
  ICONINFO parts{};
  if (!::GetIconInfo(icon, &parts)) return {};
  const UniqueBitmap mask(parts.hbmMask);
  const UniqueBitmap colour(parts.hbmColor);
  BITMAP described{};
  ::GetObjectW(colour.get(), sizeof described, &described);
  const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  COLORREF maskPixel = 0;
  {
    const SelectedObject selected(dc.get(), mask.get());
    maskPixel = ::GetPixel(dc.get(), 0, 0);
  }
  const SelectedObject selected(dc.get(), colour.get());
  return {described.bmWidth, maskPixel == RGB(255, 255, 255), ::GetPixel(dc.get(), 0, 0)};
}

TEST(CheckUpdateDialog, CurrentBuildCarriesTheGlobeWithBlackCornersLegacyNoIcon) {
  CheckUpdateDialog current(Build::Current, nullptr, ThisProgram());
  const IconCorner big = Corner(WindowIcon(current.window(), ICON_BIG));
  EXPECT_EQ(big.size, ::GetSystemMetrics(SM_CXICON));
  EXPECT_FALSE(big.transparent);
  EXPECT_EQ(big.colour, RGB(0, 0, 0));
  const IconCorner small = Corner(WindowIcon(current.window(), ICON_SMALL));
  EXPECT_EQ(small.size, ::GetSystemMetrics(SM_CXSMICON));
  EXPECT_TRUE(small.transparent);  // the small globe is the progress window's, corners clear

  CheckUpdateDialog legacy(Build::Legacy, nullptr, ThisProgram());
  EXPECT_EQ(WindowIcon(legacy.window(), ICON_BIG), nullptr);
  EXPECT_EQ(WindowIcon(legacy.window(), ICON_SMALL), nullptr);
}

TEST(CheckUpdateDialog, UnloadingTwiceOrShowingWhenGoneDoesNothing) {
  CheckUpdateDialog dialog(Build::Current, nullptr, ThisProgram());
  const HWND window = dialog.window();
  dialog.unload();
  EXPECT_FALSE(dialog.loaded());
  EXPECT_FALSE(::IsWindow(window));
  dialog.unload();
  dialog.showModal();  // returns at once
}

TEST(CheckUpdateDialog, ModalShowReturnsWithTheValueWrittenAndTheOwnerBack) {
  const UniqueWindow ownerWindow(::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100,
                                                   100, nullptr, nullptr, ThisProgram(), nullptr));
  ASSERT_TRUE(ownerWindow);
  const HWND owner = ownerWindow.get();
  for (const auto& [id, value] : {std::pair{ReplaceButton, Answer::Replace},
                                  {SkipButton, Answer::Skip},
                                  {ReplaceAllButton, Answer::ReplaceAll},
                                  {SkipAllButton, Answer::SkipAll}}) {
    CheckUpdateDialog dialog(Build::Legacy, owner, ThisProgram());
    // Waiting in the queue until the modal loop runs, as a click by the user would.
    ASSERT_TRUE(::PostMessageW(::GetDlgItem(dialog.window(), id), BM_CLICK, 0, 0));
    EXPECT_EQ(dialog.showModal(), value);
    EXPECT_FALSE(dialog.loaded());
    EXPECT_TRUE(::IsWindowEnabled(owner));
  }
}

TEST(CheckUpdateDialog, QuitDuringTheModalShowUnloadsAndPassesTheQuitOn) {
  constexpr int kExitCode = 7;
  CheckUpdateDialog dialog(Build::Current, nullptr, ThisProgram());
  ::PostQuitMessage(kExitCode);
  EXPECT_EQ(dialog.showModal(), Answer::None);
  EXPECT_FALSE(dialog.loaded());
  MSG quit{};
  ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, static_cast<WPARAM>(kExitCode));
}

}  // namespace
}  // namespace dravelin::win
