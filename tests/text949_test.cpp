#include "text949.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

TEST(CodePage949, HangulTakesTwoBytesAndAsciiOne) {
  EXPECT_EQ(ToCp949(L"한"), std::string("\xC7\xD1"));
  EXPECT_EQ(ToCp949(L"가a"), std::string("\xB0\xA1"
                                         "a"));
  EXPECT_EQ(ToCp949(L""), "");
}

TEST(CodePage949, RoundTripsKoreanAndAscii) {
  for (const std::wstring_view text : {L"해당화일은 존재하지 않습니다.", L"\\\\srv\\공유\\파일.dat",
                                       L"plain ascii 123", L"오전 12:00:00"}) {
    EXPECT_EQ(FromCp949(ToCp949(text)), std::wstring(text));
  }
  // The extended syllables of the Unified Hangul Code (outside the KS X 1001 set) too.
  EXPECT_EQ(FromCp949(ToCp949(L"똠방각하")), L"똠방각하");
}

TEST(CodePage949, InvalidBytesConvertWithoutFailing) {
  for (const std::string& bytes :
       {std::string("abc\xB0"), std::string("\xFF\xFF\x80"), std::string(4, '\0')}) {
    EXPECT_FALSE(FromCp949(bytes).empty());
  }
  EXPECT_EQ(FromCp949(std::string("ab\xB0")).substr(0, 2), L"ab");
}

TEST(CodePage949, CharactersOutsideTheCodePageBecomeOneCharacterEach) {
  // U+00E9 is not in 949 and becomes one byte, never none: Windows' nearest letter, iconv's
  // default character. The hanja U+4E00 and the Cyrillic U+0416 are in it, two bytes each.
#ifdef _WIN32
  constexpr char kStandIn = 'e';
#else
  constexpr char kStandIn = '?';
#endif
  EXPECT_EQ(ToCp949(L"a\u00E9\u4E00\u0416b"), std::string("a") + kStandIn +
                                                  "\xEC\xE9\xAC\xA8"
                                                  "b");
}

TEST(UpperCase, AsciiLettersAtLeast) {
  EXPECT_EQ(UpperCase(L"Server_directory"), L"SERVER_DIRECTORY");
  EXPECT_EQ(UpperCase(L"exe_program=한글"), L"EXE_PROGRAM=한글");
  EXPECT_EQ(UpperCase(L""), L"");
}

}  // namespace
}  // namespace dravelin
