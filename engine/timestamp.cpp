#include "timestamp.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwchar>
#include <string_view>

#include "local_clock.h"
#include "runtime_error.h"

namespace dravelin {

namespace {

constexpr wchar_t kMorning[] = L"오전";
constexpr wchar_t kAfternoon[] = L"오후";
constexpr int kHoursPerHalfDay = 12;

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
  const std::optional<WallClock> local = LocalWallClock(time);
  if (!local) throw RuntimeError("local time", static_cast<long>(time));
  const int hour12 =
      local->hour % kHoursPerHalfDay == 0 ? kHoursPerHalfDay : local->hour % kHoursPerHalfDay;
  std::array<wchar_t, 64> text{};
  std::swprintf(text.data(), text.size(), L"%04d-%02d-%02d %ls %d:%02d:%02d", local->year,
                local->month, local->day, local->hour < kHoursPerHalfDay ? kMorning : kAfternoon,
                hour12, local->minute, local->second);
  return text.data();
}

std::optional<FileTime> ParseTimestampText(const std::wstring& text) {
  TextReader in(text);
  WallClock local;
  int hour12 = 0;
  bool morning = false;
  const bool wellFormed =
      in.number(4, local.year) && in.literal(L"-") && in.number(2, local.month) &&
      in.literal(L"-") && in.number(2, local.day) && in.literal(L" ") &&
      ((morning = in.literal(kMorning)) || in.literal(kAfternoon)) && in.literal(L" ") &&
      in.number(1, hour12, 2) && in.literal(L":") && in.number(2, local.minute) &&
      in.literal(L":") && in.number(2, local.second) && in.atEnd();
  if (!wellFormed || hour12 < 1 || hour12 > kHoursPerHalfDay) return std::nullopt;

  local.hour = hour12 % kHoursPerHalfDay + (morning ? 0 : kHoursPerHalfDay);
  const std::optional<FileTime> time = InstantOnLocalClock(local);
  // The conversion may quietly normalise impossible fields (February 30th, minute 75, a time
  // skipped by a daylight-saving change); only a text that names its instant exactly is a date.
  if (!time || TimestampText(*time) != text) return std::nullopt;
  return time;
}

}  // namespace dravelin
