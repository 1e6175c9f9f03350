// Configuration files that no one would write on purpose: the lookup gives the value the line rule
// gives, or throws for the caller to skip the setting; it never crashes and never hangs.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "config.h"
#include "runtime_error.h"
#include "test_tree.h"
#include "text949.h"

#ifdef _WIN32
#include "win32/handles.h"
#else
#include <unistd.h>
#endif

namespace dravelin {
namespace {

using testing::TempTree;
using namespace std::string_literals;
namespace fs = std::filesystem;

constexpr std::size_t kOneMegabyte = 1u << 20;
constexpr std::size_t kTenMegabytes = 10 * kOneMegabyte;

class HostileConfigFile : public ::testing::Test {
 protected:
  std::wstring file(std::string_view bytes) { return tree_.write(L"CONFIG.DVL", bytes); }
  std::wstring lookUp(const std::wstring& path, const std::wstring& key) {
    return GetConfigValue(*runtime_, path, key);
  }

  TempTree tree_;
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

// `unit` repeated until the text is at least `bytes` long.
std::string Repeated(std::string_view unit, std::size_t bytes) {
  std::string text;
  text.reserve(bytes + unit.size());
  while (text.size() < bytes) text.append(unit);
  return text;
}

TEST_F(HostileConfigFile, ATenMegabyteValueComesBackWhole) {
  // Korean and ASCII mixed, so the value's bytes and characters differ in number.
  const std::wstring unit = L"\\\\서버\\공유폴더\\client-";
  const std::string value = Repeated(ToCp949(unit), kTenMegabytes);
  const std::wstring path =
      file("Exe_Program=client.exe\r\nServer_directory=" + value + "\r\nExe_Program=b.exe\r\n");
  const std::wstring server = lookUp(path, L"Server_directory");
  EXPECT_EQ(server.size(), value.size() / ToCp949(unit).size() * unit.size());
  EXPECT_EQ(ToCp949(server), value);
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"b.exe");
}

TEST_F(HostileConfigFile, ATenMegabyteLineOfBrokenCharactersIsSkipped) {
  // Lone lead bytes of code page 949, bytes that lead nothing, NULs and carriage returns without
  // a line feed, all in one line that matches no key.
  const std::string junk = Repeated(std::string("\xB0\xFF\x80\0\r\xC7", 6), kTenMegabytes);
  const std::wstring path =
      file("Server_directory=Z:\\up\\\r\n" + junk + "\r\nExe_Program=client.exe\r\n");
  EXPECT_EQ(lookUp(path, L"Server_directory"), L"Z:\\up\\");
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"client.exe");
}

TEST_F(HostileConfigFile, AMegabyteValueOfBrokenCharactersIsAValueAllTheSame) {
  // Each broken byte becomes some character; nothing is lost at the line end or after it.
  const std::string junk = Repeated(std::string("\xFF\xB0", 2), kOneMegabyte);
  const std::wstring path = file("Exe_Program=" + junk + "\nServer_directory=s\\\n");
  const std::wstring value = lookUp(path, L"Exe_Program");
  EXPECT_GE(value.size(), junk.size() / 2);
  EXPECT_LE(value.size(), junk.size());
  EXPECT_EQ(value.find(L'\n'), std::wstring::npos);
  EXPECT_EQ(lookUp(path, L"Server_directory"), L"s\\");
}

// Code page 949 has places with no character, A2 E8 among them; glibc's converter reports one only
// after it has consumed it. The bytes on either side must survive, and nothing past the end of
// the text may be read.
TEST(CodePage949PlaceWithoutACharacter, KeepsItsNeighbours) {
  const std::wstring middle = FromCp949(
      "A\xA2\xE8"
      "B");
  ASSERT_EQ(middle.size(), 3u);
  EXPECT_EQ(middle.front(), L'A');
  EXPECT_EQ(middle.back(), L'B');
  const std::wstring atTheEnd = FromCp949("xy\xA2\xE8");
  ASSERT_EQ(atTheEnd.size(), 3u);
  EXPECT_EQ(atTheEnd.substr(0, 2), L"xy");
  EXPECT_EQ(FromCp949("\xA2\xE8"
                      "AB")
                .substr(1),
            L"AB");
}

TEST_F(HostileConfigFile, AValueWithAPlaceWithoutACharacter) {
  const std::wstring path = file(
      "Exe_Program=a\xA2\xE8"
      "b.exe\r\nServer_directory=s\\\xA2\xE8");
  const std::wstring program = lookUp(path, L"Exe_Program");
  EXPECT_EQ(program.size(), 7u);
  EXPECT_TRUE(program.starts_with(L"a") && program.ends_with(L"b.exe"));
  const std::wstring server = lookUp(path, L"Server_directory");
  EXPECT_EQ(server.size(), 3u);
  EXPECT_TRUE(server.starts_with(L"s\\"));
}

TEST_F(HostileConfigFile, ManyLinesTheLastMatchStillWins) {
  const std::string lines =
      Repeated("Exe_Program=old.exe\r\nServer_directory=x\\\r\n", kOneMegabyte);
  EXPECT_EQ(lookUp(file(lines + "exe_program=new.exe"), L"Exe_Program"), L"new.exe");
}

TEST_F(HostileConfigFile, AFileOfNulBytesHoldsNoKey) {
  const std::wstring path = file(std::string(1u << 16, '\0'));
  EXPECT_EQ(lookUp(path, L"Server_directory"), L"");
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"");
}

TEST_F(HostileConfigFile, NulBytesAreOrdinaryBytesOfALine) {
  // A NUL ends neither the line nor the value, and before a key it defeats the key.
  const std::wstring path =
      file("Exe_Program=a\0b.exe\r\n\0Server_directory=x\r\nServer_directory\0y\\\r\n\0\0\0"s);
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"a\0b.exe"s);
  EXPECT_EQ(lookUp(path, L"Server_directory"), L"y\\");
}

TEST_F(HostileConfigFile, CarriageReturnsAloneNeverEndALine) {
  const std::string lines =
      Repeated("Server_directory=a\\\rExe_Program=b.exe\r", kTenMegabytes / 8);
  const std::wstring path = file(lines);
  // The whole file is one line that begins with Server_directory.
  const std::wstring server = lookUp(path, L"Server_directory");
  EXPECT_EQ(server.size(), lines.size() - std::string_view("Server_directory=").size());
  EXPECT_EQ(server.back(), L'\r');
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"");
}

TEST_F(HostileConfigFile, ADirectoryInTheFilesPlaceThrows) {
  const std::wstring directory = tree_.makeDirectory(L"CONFIG.DVL");
  // POSIX opens a directory for reading and fails at the first read; Windows refuses the open.
  EXPECT_THROW(lookUp(directory, L"Exe_Program"), RuntimeError);
  EXPECT_THROW(lookUp(directory, L"Server_directory"), RuntimeError);
}

#ifdef _WIN32

TEST_F(HostileConfigFile, AFileLockedByAnotherProgramThrows) {
  const std::wstring path = file("Exe_Program=client.exe\r\n");
  // No sharing at all: the way a program that holds the file exclusively keeps others out.
  win::UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_THROW(lookUp(path, L"Exe_Program"), RuntimeError);
  held.reset();
  EXPECT_EQ(lookUp(path, L"Exe_Program"), L"client.exe");  // and once it is free, it reads
}

#else

TEST_F(HostileConfigFile, AFileThatOpensButCannotBeReadThrows) {
  // The process's own memory as a file: it opens for anyone who may open it, root included, and
  // reading from offset 0 (never mapped) fails.
  EXPECT_THROW(lookUp(L"/proc/self/mem", L"Exe_Program"), RuntimeError);
}

#endif

}  // namespace
}  // namespace dravelin
