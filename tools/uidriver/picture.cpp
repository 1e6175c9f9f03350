// Pictures of windows, taken from the screen (what the user sees, frame included).
#include <fstream>
#include <thread>

#include "uidriver.h"
#include "win32/handles.h"
#include "win32/last_error.h"

namespace dravelin::uidriver {

namespace {

// Wine paints into a buffer of its own and copies it to the X display a little later, so the
// screen shows a repaint only after this long.
constexpr Milliseconds kScreenCatchUp{250};

constexpr int kBmpBitsPerPixel = 24;
constexpr int kBytesPerPixel = kBmpBitsPerPixel / 8;
constexpr WORD kBmpSignature = 0x4D42;  // "BM"

void RepaintAndWait(HWND window, Milliseconds timeout) {
  // A target that does not answer would block the repaint below for good.
  WaitUntilIdle(window, timeout);
  // RDW_UPDATENOW sends the paint messages and returns once the target has painted.
  if (!::RedrawWindow(window, nullptr, nullptr,
                      RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW))
    win::ThrowLastError("RedrawWindow");
  std::this_thread::sleep_for(kScreenCatchUp);
}

template <typename T>
void WriteRaw(std::ofstream& out, const T& value) {
  out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

Picture CaptureWindow(HWND window, Milliseconds timeout) {
  RepaintAndWait(window, timeout);
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) win::ThrowLastError("GetWindowRect");
  Picture picture;
  picture.width = rect.right - rect.left;
  picture.height = rect.bottom - rect.top;

  const win::WindowDC screen(nullptr);
  if (!screen) win::ThrowLastError("GetDC");
  const win::UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
  if (!memory) win::ThrowLastError("CreateCompatibleDC");
  const win::UniqueBitmap bitmap(
      ::CreateCompatibleBitmap(screen.get(), picture.width, picture.height));
  if (!bitmap) win::ThrowLastError("CreateCompatibleBitmap");
  {
    const win::SelectedObject selected(memory.get(), bitmap.get());
    if (!::BitBlt(memory.get(), 0, 0, picture.width, picture.height, screen.get(), rect.left,
                  rect.top, SRCCOPY | CAPTUREBLT))
      win::ThrowLastError("BitBlt");
  }
  // 32 bits per pixel, top-down (negative height): each pixel reads as 0x00RRGGBB.
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = picture.width;
  format.bmiHeader.biHeight = -picture.height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  if (::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(picture.height),
                  picture.pixels.data(), &format, DIB_RGB_COLORS) != picture.height)
    win::ThrowLastError("GetDIBits");
  return picture;
}

void SaveBmp(const Picture& picture, const std::filesystem::path& file) {
  const int rowBytes = (picture.width * kBytesPerPixel + 3) / 4 * 4;  // rows are 4-byte aligned
  const DWORD imageBytes = static_cast<DWORD>(rowBytes) * static_cast<DWORD>(picture.height);
  BITMAPFILEHEADER header{};
  header.bfType = kBmpSignature;
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageBytes;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = picture.width;
  info.biHeight = picture.height;  // positive: rows bottom to top, as most readers expect
  info.biPlanes = 1;
  info.biBitCount = kBmpBitsPerPixel;
  info.biCompression = BI_RGB;
  info.biSizeImage = imageBytes;

  std::ofstream out(file, std::ios::binary);
  if (!out) throw DriverError("cannot write " + file.string());
  WriteRaw(out, header);
  WriteRaw(out, info);
  std::string row(static_cast<size_t>(rowBytes), '\0');
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t rgb = picture.at(x, y);
      row[static_cast<size_t>(x) * kBytesPerPixel + 0] = static_cast<char>(rgb & 0xFF);
      row[static_cast<size_t>(x) * kBytesPerPixel + 1] = static_cast<char>((rgb >> 8) & 0xFF);
      row[static_cast<size_t>(x) * kBytesPerPixel + 2] = static_cast<char>((rgb >> 16) & 0xFF);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  if (!out) throw DriverError("cannot write " + file.string());
}

}  // namespace dravelin::uidriver
