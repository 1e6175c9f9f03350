#include "config.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "runtime_error.h"
#include "test_tree.h"
#include "text949.h"

namespace dravelin {
namespace {

using testing::TempTree;

class ConfigFile : public ::testing::Test {
 protected:
  // The value of `key` in a configuration file holding `bytes` (code page 949).
  std::wstring lookUp(std::string_view bytes, const std::wstring& key) {
    return GetConfigValue(*runtime_, tree_.write(L"CONFIG.DVL", bytes), key);
  }
  std::wstring exe(std::string_view bytes) { return lookUp(bytes, L"Exe_Program"); }

  TempTree tree_;
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

TEST_F(ConfigFile, KeysMatchInAnyLetterCase) {
  EXPECT_EQ(lookUp("SERVER_DIRECTORY=\\\\srv\\share\\\r\n", L"Server_directory"),
            L"\\\\srv\\share\\");
  EXPECT_EQ(lookUp("server_directory=Z:\\up\\\r\n", L"Server_directory"), L"Z:\\up\\");
  EXPECT_EQ(exe("eXe_pRoGrAm=client.exe\r\n"), L"client.exe");
}

TEST_F(ConfigFile, TheOneByteAfterTheKeyIsSkippedUnseen) {
  EXPECT_EQ(exe("Exe_Program:client.exe\r\n"), L"client.exe");
  EXPECT_EQ(exe("Exe_Program = client.exe\r\n"), L"= client.exe");
  EXPECT_EQ(exe("Exe_ProgramX=a.exe\r\n"), L"=a.exe");
}

TEST_F(ConfigFile, KeyAloneOrWithItsSeparatorAloneGivesEmpty) {
  EXPECT_EQ(exe("Exe_Program\r\n"), L"");
  EXPECT_EQ(exe("Exe_Program=\r\n"), L"");
  EXPECT_EQ(exe("Exe_Program"), L"");
}

TEST_F(ConfigFile, TheLastMatchingLineWins) {
  EXPECT_EQ(exe("Exe_Program=first.exe\r\nServer_directory=x\\\r\nExe_Program=second.exe\r\n"),
            L"second.exe");
  // A later line that merely is the key still overrides, with an empty value.
  EXPECT_EQ(exe("Exe_Program=first.exe\r\nExe_Program\r\n"), L"");
}

TEST_F(ConfigFile, NothingIsTrimmedAndLeadingSpaceDefeatsTheKey) {
  EXPECT_EQ(exe(" Exe_Program=client.exe\r\n"), L"");
  EXPECT_EQ(exe("\tExe_Program=client.exe\r\n"), L"");
  EXPECT_EQ(exe("Exe_Program=client.exe  \r\n"), L"client.exe  ");
}

TEST_F(ConfigFile, KoreanValuesComeBackWhole) {
  const std::wstring server = L"\\\\서버\\클라이언트 공유\\";
  const std::string line = "Server_directory=" + ToCp949(server) +
                           "\r\nExe_Program=" + ToCp949(L"한글클라이언트.exe") + "\r\n";
  EXPECT_EQ(lookUp(line, L"Server_directory"), server);
  EXPECT_EQ(exe(line), L"한글클라이언트.exe");
}

TEST_F(ConfigFile, AKeyCutInsideADoubleByteCharacterDoesNotMatch) {
  // "Exe_Progra" followed by a Hangul syllable: the 11th byte is a lead byte, not 'm'.
  EXPECT_EQ(exe("Exe_Progra" + ToCp949(L"한") + "=x.exe\r\n"), L"");
}

TEST_F(ConfigFile, ALoneLeadByteDoesNotSwallowTheLineEnd) {
  // Lines are split on bytes before any conversion, so a broken double-byte character at the end
  // of one line cannot join it to the next.
  EXPECT_EQ(exe("Server_directory=a\xB0\r\nExe_Program=b.exe\r\n"), L"b.exe");
  EXPECT_EQ(exe("Server_directory=a\xB0\nExe_Program=b.exe\n"), L"b.exe");
}

TEST_F(ConfigFile, EmptyFileOrNoSuchKeyGivesEmpty) {
  EXPECT_EQ(exe(""), L"");
  EXPECT_EQ(exe("Server_directory=\\\\srv\\\r\n[section]\r\n; Exe_Program=x\r\n"), L"");
}

TEST_F(ConfigFile, LineEnds) {
  EXPECT_EQ(exe("Server_directory=a\nExe_Program=lf.exe\nOther=1\n"), L"lf.exe");
  EXPECT_EQ(exe("Exe_Program=last-line-without-end.exe"), L"last-line-without-end.exe");
  // A carriage return that is not followed by a line feed belongs to the line.
  EXPECT_EQ(exe("Exe_Program=a.exe\rServer_directory=b\r\n"), L"a.exe\rServer_directory=b");
}

TEST_F(ConfigFile, AMissingFileIsAnErrorForTheCaller) {
  EXPECT_THROW(GetConfigValue(*runtime_, tree_.path(L"absent.ini"), L"Exe_Program"), RuntimeError);
}

TEST(ByteWiseText, LengthCountsCodePage949Bytes) {
  EXPECT_EQ(Cp949Length(L""), 0);
  EXPECT_EQ(Cp949Length(L"abc"), 3);
  EXPECT_EQ(Cp949Length(L"한글"), 4);
  EXPECT_EQ(Cp949Length(L"a한b"), 4);
}

TEST(ByteWiseText, PartCutsByBytes) {
  EXPECT_EQ(Cp949Part(L"가나다", 3, 2), L"나");
  EXPECT_EQ(Cp949Part(L"가나다", 3), L"나다");
  EXPECT_EQ(Cp949Part(L"abc", 2), L"bc");
  EXPECT_EQ(Cp949Part(L"abc", 5, 1), L"");
  EXPECT_EQ(Cp949Part(L"abc", 4), L"");
  EXPECT_EQ(Cp949Part(L"abc", 2, 100), L"bc");
  EXPECT_EQ(Cp949Part(L"abc", 1, 0), L"");
}

TEST(ByteWiseText, MidHRejectsImpossibleArguments) {
  EXPECT_THROW(Cp949Part(L"abc", 0), std::invalid_argument);
  EXPECT_THROW(Cp949Part(L"abc", -3, 1), std::invalid_argument);
  EXPECT_THROW(Cp949Part(L"abc", 1, -1), std::invalid_argument);
}

TEST(ByteWiseText, MidHThroughTheMiddleOfASyllableNeverFails) {
  // Half a syllable becomes whatever the converter makes of a lone byte; what matters is that
  // the cut neither fails nor comes back as the whole syllable.
  EXPECT_NE(Cp949Part(L"가나", 2, 2), L"가");
  EXPECT_NE(Cp949Part(L"가나", 2, 2), L"나");
  EXPECT_EQ(Cp949Part(L"가나", 3, 2), L"나");
}

}  // namespace
}  // namespace dravelin
