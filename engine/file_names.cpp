#include "file_names.h"

#include <algorithm>
#include <array>

namespace dravelin {

namespace {

constexpr std::size_t kLongestName = 255;  // UTF-16 units, as NTFS counts them
constexpr std::wstring_view kNeverInAName = L"\\/:*?\"<>|";

constexpr std::array<std::wstring_view, 6> kDevices = {L"CON", L"PRN",    L"AUX",
                                                       L"NUL", L"CONIN$", L"CONOUT$"};
constexpr std::array<std::wstring_view, 2> kNumberedDevices = {L"COM", L"LPT"};
// 1 to 9, and the superscripts 1, 2 and 3, which Windows takes for digits here.
constexpr std::wstring_view kDeviceDigits = L"123456789\u00B9\u00B2\u00B3";

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; }

bool EqualsUpper(std::wstring_view text, std::wstring_view upper) {
  return std::ranges::equal(text, upper, {}, AsciiUpper);
}

// Windows opens a device for its name followed by an extension or spaces too ("NUL.txt",
// "COM1 .log"), wherever the path points.
bool IsDeviceName(std::wstring_view name) {
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  if (std::ranges::any_of(kDevices,
                          [&](std::wstring_view device) { return EqualsUpper(base, device); })) {
    return true;
  }
  return base.size() == 4 && kDeviceDigits.find(base[3]) != std::wstring_view::npos &&
         std::ranges::any_of(kNumberedDevices, [&](std::wstring_view device) {
           return EqualsUpper(base.substr(0, 3), device);
         });
}

// Where a wide character is a code point (POSIX), those beyond 16 bits take two UTF-16 units.
std::size_t Utf16Length(std::wstring_view name) {
  std::size_t units = 0;
  for (const wchar_t c : name) units += (static_cast<std::uint32_t>(c) >> 16) != 0 ? 2 : 1;
  return units;
}

}  // namespace

bool IsPlainFileName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L".." || Utf16Length(name) > kLongestName) {
    return false;
  }
  if (name.back() == L'.' || name.back() == L' ') return false;
  const bool oddCharacter = std::ranges::any_of(name, [](wchar_t c) {
    return static_cast<std::uint32_t>(c) < 32 || kNeverInAName.find(c) != std::wstring_view::npos;
  });
  return !oddCharacter && !IsDeviceName(name);
}

}  // namespace dravelin
