// Twips to pixels, windows placed by their client area, and fonts that draw Hangul whatever
// faces are installed.
#include "layout.h"

#include <gtest/gtest.h>

namespace dravelin::win {
namespace {

TEST(Layout, TwipsBecomePixelsAtTheDisplayResolution) {
  EXPECT_EQ(TwipsToPixels(5205, 96), 347);
  EXPECT_EQ(TwipsToPixels(-120, 96), -8);
  EXPECT_EQ(TwipsToPixels(5205, 120), 434);  // 433.75 rounds to the nearest pixel
  EXPECT_EQ(TwipsToPixels(300, 144), 30);
  const RECT box = ToPixels(TwipRect{{960, 75}, {4155, 300}}, 96);
  EXPECT_EQ(box.left, 64);
  EXPECT_EQ(box.top, 5);
  EXPECT_EQ(box.right, 64 + 277);
  EXPECT_EQ(box.bottom, 5 + 20);
}

TEST(Layout, WindowIsPlacedByItsClientArea) {
  const WindowFrame frame{WS_OVERLAPPEDWINDOW, 0};
  const RECT placed = WindowRectForClient({5205, 1455}, TwipPoint{5235, 5190}, frame, 96);
  const UniqueWindow window(::CreateWindowExW(frame.exStyle, L"STATIC", L"", frame.style,
                                              placed.left, placed.top, placed.right - placed.left,
                                              placed.bottom - placed.top, nullptr, nullptr,
                                              ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(window);
  RECT client{};
  ASSERT_TRUE(::GetClientRect(window.get(), &client));
  ::MapWindowPoints(window.get(), HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(client.left, 349);
  EXPECT_EQ(client.top, 346);
  EXPECT_EQ(client.right - client.left, 347);
  EXPECT_EQ(client.bottom - client.top, 97);
}

TEST(Layout, CentredWindowHasEqualMargins) {
  const RECT placed = WindowRectForClient({5505, 1440}, std::nullopt, {WS_OVERLAPPEDWINDOW, 0}, 96);
  EXPECT_LE(std::abs(placed.left - (::GetSystemMetrics(SM_CXSCREEN) - placed.right)), 1);
  EXPECT_LE(std::abs(placed.top - (::GetSystemMetrics(SM_CYSCREEN) - placed.bottom)), 1);
  EXPECT_GT(placed.right - placed.left, 367);  // the client area plus a frame
}

bool DrawsHangul(HFONT font) {
  WindowDC screen(nullptr);
  SelectedObject selected(screen.get(), font);
  constexpr std::wstring_view kSample = L"해당화일은 존재하지 않습니다.";
  std::vector<WORD> glyphs(kSample.size());
  ::GetGlyphIndicesW(screen.get(), kSample.data(), static_cast<int>(kSample.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
  return std::find(glyphs.begin(), glyphs.end(), WORD{0xFFFF}) == glyphs.end();
}

TEST(Layout, AMissingFaceIsReplacedByOneThatDrawsHangul) {
  const FontSpec missing{L"없는글꼴체", 975, FW_NORMAL, HANGUL_CHARSET, Pitch::Fixed};
  ASSERT_FALSE(FaceInstalled(missing.face, missing.charset));
  const std::wstring standIn = ResolveFace(missing);
  ASSERT_FALSE(standIn.empty()) << "no installed face draws Hangul";
  EXPECT_TRUE(FaceInstalled(standIn, HANGUL_CHARSET));
  const UniqueFont font = CreateFontFor(missing, 96);
  ASSERT_TRUE(font);
  EXPECT_TRUE(DrawsHangul(font.get()));
}

TEST(Layout, AnInstalledFaceIsKept) {
  const FontSpec missing{L"없는글꼴", 900, FW_NORMAL, HANGUL_CHARSET, Pitch::Variable};
  const std::wstring installed = ResolveFace(missing);
  ASSERT_FALSE(installed.empty());
  const FontSpec present{installed, 900, FW_NORMAL, HANGUL_CHARSET, Pitch::Fixed};
  EXPECT_EQ(ResolveFace(present), installed);
}

}  // namespace
}  // namespace dravelin::win
