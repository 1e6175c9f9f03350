#include "program_pictures.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "program_session.h"
#include "win32/last_error.h"

namespace dravelin::uitest {

namespace {

constexpr const char* kPictureDirectoryVariable = "DRAVELIN_TEST_PICTURES";
constexpr int kGapBelowProgress = 16;

bool Inside(RECT rect, int x, int y) {
  return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// Walks the pixels of `area` that lie in the picture.
template <typename Visit>
void ForEachPixel(const uidriver::Picture& picture, RECT area, Visit visit) {
  for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, picture.height); ++y)
    for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, picture.width); ++x)
      visit(x, y, picture.at(x, y));
}

}  // namespace

ProgressPixels ExpectedProgressPixels(Build build) {
  if (build == Build::Legacy) return {{488, 142}, Box(0, 0, 458, 142), Box(211, 86, 252, 44), 458};
  return {{480, 137}, Box(-8, -3, 458, 142), Box(203, 83, 252, 44), 450};
}

void MoveBelow(HWND dialog, HWND progress) {
  RECT below{};
  if (!::GetWindowRect(progress, &below)) win::ThrowLastError("GetWindowRect");
  if (!::SetWindowPos(dialog, nullptr, below.left, below.bottom + kGapBelowProgress, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
    win::ThrowLastError("SetWindowPos");
}

uidriver::Picture ClientPart(HWND window, const uidriver::Picture& whole) {
  RECT frame{};
  if (!::GetWindowRect(window, &frame)) win::ThrowLastError("GetWindowRect");
  const RECT client = uidriver::ClientRectOnScreen(window);
  uidriver::Picture cut;
  cut.width = client.right - client.left;
  cut.height = client.bottom - client.top;
  const int left = client.left - frame.left;
  const int top = client.top - frame.top;
  if (left < 0 || top < 0 || left + cut.width > whole.width || top + cut.height > whole.height)
    throw std::runtime_error("the client area lies outside the window's picture");
  for (int y = 0; y < cut.height; ++y)
    for (int x = 0; x < cut.width; ++x) cut.pixels.push_back(whole.at(left + x, top + y));
  return cut;
}

uidriver::Picture ProgressWhileAsking(HWND progress, HWND dialog) {
  MoveBelow(dialog, progress);
  return ClientPart(progress, uidriver::CaptureWindow(progress));
}

std::uint32_t PlainColour() {
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);  // 0x00BBGGRR
  return (std::uint32_t{GetRValue(face)} << 16) | (std::uint32_t{GetGValue(face)} << 8) |
         GetBValue(face);
}

int PixelsOtherThan(const uidriver::Picture& picture, RECT area, RECT hole, std::uint32_t colour) {
  int count = 0;
  ForEachPixel(picture, area, [&](int x, int y, std::uint32_t pixel) {
    if (pixel != colour && !Inside(hole, x, y)) ++count;
  });
  return count;
}

int PixelsOtherThan(const uidriver::Picture& picture, RECT area, std::uint32_t colour) {
  return PixelsOtherThan(picture, area, RECT{}, colour);
}

int PixelsOf(const uidriver::Picture& picture, RECT area, std::uint32_t colour) {
  int count = 0;
  ForEachPixel(picture, area, [&](int, int, std::uint32_t pixel) { count += pixel == colour; });
  return count;
}

int DistinctColours(const uidriver::Picture& picture, RECT area) {
  std::set<std::uint32_t> colours;
  ForEachPixel(picture, area, [&](int, int, std::uint32_t pixel) { colours.insert(pixel); });
  return static_cast<int>(colours.size());
}

void KeepPicture(const uidriver::Picture& picture, std::string_view name) {
  const char* directory = std::getenv(kPictureDirectoryVariable);
  if (!directory || !*directory) return;
  const std::filesystem::path folder(WindowsPath(directory));
  std::filesystem::create_directories(folder);
  uidriver::SaveBmp(picture, folder / (std::string(name) + ".bmp"));
}

}  // namespace dravelin::uitest
