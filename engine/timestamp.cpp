#include "timestamp.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <string_view>
#include <algorithm>

#include "runtime_error.h"

namespace dravelin {

namespace {

constexpr wchar_t kMorning[] = L"오전";
constexpr wchar_t kAfternoon[] = L"오후";
constexpr int kHoursPerHalfDay = 12;
constexpr int kFirstYear = 1900;  // struct tm counts years from here

// The C runtime's local-time conversions: the reentrant forms differ between the Microsoft C
// runtime and POSIX, and mktime is 32-bit on some Windows runtimes, hence the 64-bit forms there.
bool ToLocal(FileTime time, std::tm& out) {
#ifdef _WIN32
  const __time64_t t = time;
  return _localtime64_s(&out, &t) == 0;
#else
  const std::time_t t = static_cast<std::time_t>(time);
  return localtime_r(&t, &out) != nullptr;
#endif
}

std::optional<FileTime> FromLocal(std::tm local) {
  local.tm_isdst = -1;  // let the library decide whether daylight saving applies
#ifdef _WIN32
  const __time64_t t = _mktime64(&local);
#else
  const std::time_t t = std::mktime(&local);
#endif
  if (t == -1) return std::nullopt;
  return static_cast<FileTime>(t);
}

// Reads the fixed-width fields of a timestamp text from left to right.
class TextReader {
 public:
  explicit TextReader(std::wstring_view text) : rest_(text) {}

  bool literal(std::wstring_view expected) {
    if (!rest_.starts_with(expected)) return false;
    rest_.remove_prefix(expected.size());
    return true;
  }

  // Between `minDigits` and `maxDigits` decimal digits (exactly `minDigits` when no maximum).
  bool number(std::size_t minDigits, int& out, std::size_t maxDigits = 0) {
    maxDigits = std::max(minDigits, maxDigits);
    std::size_t digits = 0;
    out = 0;
    while (digits < maxDigits && digits < rest_.size() && rest_[digits] >= L'0' &&
           rest_[digits] <= L'9') {
      out = out * 10 + (rest_[digits] - L'0');
      ++digits;
    }
    if (digits < minDigits) return false;
    rest_.remove_prefix(digits);
    return true;
  }

  bool atEnd() const { return rest_.empty(); }

 private:
  std::wstring_view rest_;
};

}  // namespace

std::wstring TimestampText(FileTime time) {
  std::tm local{};
  if (!ToLocal(time, local)) throw RuntimeError("localtime", static_cast<long>(time));
  const int hour12 = local.tm_hour % kHoursPerHalfDay == 0 ? kHoursPerHalfDay
                                                           : local.tm_hour % kHoursPerHalfDay;
  std::array<wchar_t, 64> text{};
  std::swprintf(text.data(), text.size(), L"%04d-%02d-%02d %ls %d:%02d:%02d",
                local.tm_year + kFirstYear, local.tm_mon + 1, local.tm_mday,
                local.tm_hour < kHoursPerHalfDay ? kMorning : kAfternoon, hour12, local.tm_min,
                local.tm_sec);
  return text.data();
}

std::optional<FileTime> ParseTimestampText(const std::wstring& text) {
  TextReader in(text);
  std::tm local{};
  int hour12 = 0;
  bool morning = false;
  const bool wellFormed =
      in.number(4, local.tm_year) && in.literal(L"-") && in.number(2, local.tm_mon) &&
      in.literal(L"-") && in.number(2, local.tm_mday) && in.literal(L" ") &&
      ((morning = in.literal(kMorning)) || in.literal(kAfternoon)) && in.literal(L" ") &&
      in.number(1, hour12, 2) && in.literal(L":") && in.number(2, local.tm_min) &&
      in.literal(L":") && in.number(2, local.tm_sec) && in.atEnd();
  if (!wellFormed || hour12 < 1 || hour12 > kHoursPerHalfDay) return std::nullopt;

  local.tm_year -= kFirstYear;
  local.tm_mon -= 1;
  local.tm_hour = hour12 % kHoursPerHalfDay + (morning ? 0 : kHoursPerHalfDay);
  const std::optional<FileTime> time = FromLocal(local);
  // mktime quietly normalises impossible fields (February 30th, minute 75, a time skipped by a
  // daylight-saving change); only a text that names its instant exactly is a date.
  if (!time || TimestampText(*time) != text) return std::nullopt;
  return time;
}

}  // namespace dravelin
