// The name rule on its own: the names it takes and those it refuses, as file_names.h promises.
#include "file_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace dravelin {
namespace {

// `count` copies of `unit`.
std::wstring Repeated(std::wstring_view unit, std::size_t count) {
  std::wstring text;
  for (std::size_t i = 0; i < count; ++i) text.append(unit);
  return text;
}

// Shown in a failure's trace: each unit in hex, as control characters and surrogates print
// nothing readable.
std::string Units(std::wstring_view name) {
  std::ostringstream units;
  units << std::hex;
  for (const wchar_t c : name) units << static_cast<std::uint32_t>(c) << ' ';
  return units.str();
}

TEST(PlainFileName, TakesPlainNamesAndRefusesTheOthers) {
  const std::wstring loneSurrogate = std::wstring(1, static_cast<wchar_t>(0xD800)) + L".dat";
  const std::vector<std::wstring> taken = {
      // Names as clients have them, and dots and spaces where Windows keeps them.
      L"client.exe", L"data.pak", L"noextension", L".leading", L"..c", L"a..b", L"with spaces.dat",
      L"  leading spaces.txt", L"한글 파일 이름.pak", L"업데이트",
      L"\U0001F600 smile.txt",  // a surrogate pair on Windows
      // NTFS keeps any 16-bit unit; the rule promises nothing about pairing, and takes it.
      loneSurrogate,
      // Names that only look like devices.
      L"CONSOLE", L"CON_", L"ACON", L"COM0", L"LPT10", L"COM\u00B4", L"NULL.txt", L"x.CON",
      // 255 UTF-16 units at most, a pair counting two.
      Repeated(L"a", 255), Repeated(L"가", 255), Repeated(L"\U0001F600", 127) + L"a"};
  std::vector<std::wstring> refused = {
      // Not one name of a folder.
      L"", L".", L"..",
      // Windows drops a trailing dot or space, and the name reaches another file.
      L"name.", L"name ", L"name. ", L"...", L" ", L"한글.",
      // Control characters.
      std::wstring(L"a\0b", 3), L"a\x01z", L"tab\there", L"line\nend", L"a\x1F",
      // Device names, in any letter case, with an extension or spaces before it; superscripts 1
      // to 3 count as digits.
      L"CON", L"con", L"con.txt", L"Prn.log", L"AUX .txt", L"NUL.tar.gz", L"COM1", L"com9.dat",
      L"LPT9.log", L"lpt1", L"COM\u00B9", L"LPT\u00B3.txt", L"CONIN$", L"conout$.txt",
      // Too long.
      Repeated(L"a", 256), Repeated(L"가", 256), Repeated(L"\U0001F600", 128)};
  // Each character that is never in a name (separators, a stream's colon, wildcards, quotes,
  // redirections), at the start, in the middle and at the end.
  for (const wchar_t c : std::wstring_view(L"\\/:*?\"<>|")) {
    const std::wstring one(1, c);
    refused.insert(refused.end(), {one + L"name", L"na" + one + L"me", L"name" + one});
  }
  for (const auto& [names, isTaken] :
       {std::pair{&taken, true},
        std::pair<const std::vector<std::wstring>*, bool>{&refused, false}}) {
    for (const std::wstring& name : *names) {
      SCOPED_TRACE(Units(name));
      EXPECT_EQ(IsPlainFileName(name), isTaken);
    }
  }
}

}  // namespace
}  // namespace dravelin
