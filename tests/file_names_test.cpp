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

struct Case {
  std::wstring name;
  bool taken;
};

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
  std::vector<Case> cases = {
      // Names as clients have them, and dots and spaces where Windows keeps them.
      {L"client.exe", true},
      {L"data.pak", true},
      {L"noextension", true},
      {L".leading", true},
      {L"..c", true},
      {L"a..b", true},
      {L"with spaces.dat", true},
      {L"  leading spaces.txt", true},
      {L"한글 파일 이름.pak", true},
      {L"업데이트", true},
      {L"\U0001F600 smile.txt", true},  // a surrogate pair on Windows
      // NTFS keeps any 16-bit unit; the rule promises nothing about pairing, and takes it.
      {loneSurrogate, true},
      // Not one name of a folder.
      {L"", false},
      {L".", false},
      {L"..", false},
      // Windows drops a trailing dot or space, and the name reaches another file.
      {L"name.", false},
      {L"name ", false},
      {L"name. ", false},
      {L"...", false},
      {L" ", false},
      {L"한글.", false},
      // Control characters.
      {std::wstring(L"a\0b", 3), false},
      {L"a\x01z", false},
      {L"tab\there", false},
      {L"line\nend", false},
      {L"a\x1F", false},
      // Device names, in any letter case, with an extension or spaces before it.
      {L"CON", false},
      {L"con", false},
      {L"con.txt", false},
      {L"Prn.log", false},
      {L"AUX .txt", false},
      {L"NUL.tar.gz", false},
      {L"COM1", false},
      {L"com9.dat", false},
      {L"LPT9.log", false},
      {L"lpt1", false},
      {L"COM\u00B9", false},  // superscripts 1 to 3 count as digits
      {L"LPT\u00B3.txt", false},
      {L"CONIN$", false},
      {L"conout$.txt", false},
      // Names that only look like devices.
      {L"CONSOLE", true},
      {L"CON_", true},
      {L"ACON", true},
      {L"COM0", true},
      {L"LPT10", true},
      {L"COM\u00B4", true},
      {L"NULL.txt", true},
      {L"x.CON", true},
      // 255 UTF-16 units at most, a pair counting two.
      {Repeated(L"a", 255), true},
      {Repeated(L"a", 256), false},
      {Repeated(L"가", 255), true},
      {Repeated(L"가", 256), false},
      {Repeated(L"\U0001F600", 127) + L"a", true},
      {Repeated(L"\U0001F600", 128), false},
  };
  // Each character that is never in a name (separators, a stream's colon, wildcards, quotes,
  // redirections), at the start, in the middle and at the end.
  for (const wchar_t c : std::wstring_view(L"\\/:*?\"<>|")) {
    for (const std::wstring& name : {c + std::wstring(L"name"), L"na" + std::wstring(1, c) + L"me",
                                     L"name" + std::wstring(1, c)}) {
      cases.push_back({name, false});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(Units(c.name));
    EXPECT_EQ(IsPlainFileName(c.name), c.taken);
  }
}

}  // namespace
}  // namespace dravelin
