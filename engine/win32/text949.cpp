// Code page 949 through the system's converters. Without MB_ERR_INVALID_CHARS neither direction
// fails on bad input: unmappable characters and invalid bytes become the default character.
#include "text949.h"

#include <windows.h>

#include <limits>

#include "runtime_error.h"
#include "win32/last_error.h"

namespace dravelin {

namespace {

constexpr UINT kKoreanCodePage = 949;

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw RuntimeError("text conversion (text too long)", ERROR_INVALID_PARAMETER);
  }
  return static_cast<int>(size);
}

}  // namespace

std::string ToCp949(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int bytes =
      WideCharToMultiByte(kKoreanCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) win::ThrowLastError("WideCharToMultiByte");
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(kKoreanCodePage, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring FromCp949(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = CheckedLength(bytes.size());
  const int units = MultiByteToWideChar(kKoreanCodePage, 0, bytes.data(), length, nullptr, 0);
  if (units == 0) win::ThrowLastError("MultiByteToWideChar");
  std::wstring out(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(kKoreanCodePage, 0, bytes.data(), length, out.data(), units);
  return out;
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(CheckedLength(upper.size())));
  return upper;
}

}  // namespace dravelin
