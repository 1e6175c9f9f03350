// The check of a new program file's first bytes, on each shape a broken, truncated or foreign file
// can take, and on Windows on the running test program's own file.
#include "program_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "win32/program_path.h"
#endif

namespace dravelin {
namespace {

constexpr std::uint32_t kHeadersAt = 0x80;  // where linkers put them, after the DOS stub
constexpr std::size_t kHeadSize = 0x200;
constexpr std::uint16_t kExecutable = 0x0002;
constexpr std::uint16_t kLargeAddressAware = 0x0020;
constexpr std::uint16_t k32BitMachine = 0x0100;
constexpr std::uint16_t kDll = 0x2000;
constexpr ProgramKind kArm64Program{.machine = 0xAA64, .magic = 0x20B};

// The start of a file, made field by field: each value little-endian at its offset, the bytes
// between them zero. A field past the end makes the bytes longer; cut() shortens them.
class Head {
 public:
  Head& text(std::size_t at, std::string_view text) {
    if (bytes_.size() < at + text.size()) bytes_.resize(at + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) bytes_[at + i] = text[i];
    return *this;
  }
  Head& u16(std::size_t at, std::uint16_t value) { return little(at, value, 2); }
  Head& u32(std::size_t at, std::uint32_t value) { return little(at, value, 4); }
  Head& cut(std::size_t size) {
    bytes_.resize(size);
    return *this;
  }
  std::string bytes() const { return bytes_; }

 private:
  Head& little(std::size_t at, std::uint32_t value, std::size_t size) {
    std::string field;
    for (std::size_t i = 0; i < size; ++i) field.push_back(static_cast<char>(value >> (8 * i)));
    return text(at, field);
  }

  std::string bytes_;
};

// The fields the check reads, from the start of the file and from the signature at e_lfanew.
constexpr std::size_t kNtOffsetAt = 0x3C;
constexpr std::size_t kMachineAt = 4;
constexpr std::size_t kCharacteristicsAt = 22;
constexpr std::size_t kMagicAt = 24;

// The first kHeadSize bytes of an executable image of `kind` whose headers lie at `at`, marked
// as the linkers mark the 32-bit and the 64-bit programs.
Head Image(ProgramKind kind, std::uint32_t at = kHeadersAt) {
  const std::uint16_t characteristics =
      kExecutable | (kind.magic == kI386Program.magic ? k32BitMachine : kLargeAddressAware);
  return Head()
      .cut(kHeadSize)
      .text(0, "MZ")
      .u32(kNtOffsetAt, at)
      .text(at, std::string_view("PE\0\0", 4))
      .u16(at + kMachineAt, kind.machine)
      .u16(at + kCharacteristicsAt, characteristics)
      .u16(at + kMagicAt, kind.magic);
}

struct Case {
  std::string shape;
  std::string head;
  bool accepted;
  ProgramKind kind = kI386Program;
};

TEST(ProgramImage, TellsEachShapeOfAHead) {
  const Head i386 = Image(kI386Program);
  const Head amd64 = Image(kAmd64Program);
  // Headers at lastAt end with the head's last byte.
  const std::uint32_t lastAt = kHeadSize - (kMagicAt + 2);
  const std::vector<Case> cases = {
      {"empty", "", false},
      {"\"MZ\" alone", Head().text(0, "MZ").bytes(), false},
      {"a DOS header without e_lfanew's last byte", Head(i386).cut(kNtOffsetAt + 3).bytes(), false},
      {"a DOS header whole, and nothing after it", Head(i386).cut(kNtOffsetAt + 4).bytes(), false},
      {"\"ZM\" for \"MZ\"", Head(i386).text(0, "ZM").bytes(), false},
      {"e_lfanew -1", Head(i386).u32(kNtOffsetAt, 0xFFFF'FFFF).bytes(), false},
      {"e_lfanew the most negative", Head(i386).u32(kNtOffsetAt, 0x8000'0000).bytes(), false},
      {"e_lfanew -0x80", Head(i386).u32(kNtOffsetAt, 0xFFFF'FF80).bytes(), false},
      {"e_lfanew 0x80 with the sign bit set",
       Head(i386).u32(kNtOffsetAt, 0x8000'0000 | kHeadersAt).bytes(), false},
      {"e_lfanew at the end of the bytes", Head(i386).u32(kNtOffsetAt, kHeadSize).bytes(), false},
      {"e_lfanew the largest positive", Head(i386).u32(kNtOffsetAt, 0x7FFF'FFFF).bytes(), false},
      {"headers whose signature the end cuts after \"PE\"",
       Image(kI386Program, kHeadSize - 2).cut(kHeadSize).bytes(), false},
      {"headers one byte too near the end", Image(kI386Program, lastAt + 1).cut(kHeadSize).bytes(),
       false},
      {"headers right at the end", Image(kI386Program, lastAt).bytes(), true},
      {"\"PE\\0\\1\" for \"PE\\0\\0\"",
       Head(i386).text(kHeadersAt, std::string_view("PE\0\1", 4)).bytes(), false},
      {"\"NE\" (a 16-bit program)", Head(i386).text(kHeadersAt, "NE").bytes(), false},
      {"a file header cut after its machine", Head(i386).cut(kHeadersAt + kMachineAt + 2).bytes(),
       false},
      {"a file header cut inside its characteristics",
       Head(i386).cut(kHeadersAt + kCharacteristicsAt + 1).bytes(), false},
      {"no optional header", Head(i386).cut(kHeadersAt + kMagicAt).bytes(), false},
      {"half an optional header magic", Head(i386).cut(kHeadersAt + kMagicAt + 1).bytes(), false},
      {"the whole magic and nothing after it", Head(i386).cut(kHeadersAt + kMagicAt + 2).bytes(),
       true},
      {"a DLL", Head(i386).u16(kHeadersAt + kCharacteristicsAt, kExecutable | kDll).bytes(), false},
      {"a 64-bit DLL",
       Head(amd64)
           .u16(kHeadersAt + kCharacteristicsAt, kExecutable | kLargeAddressAware | kDll)
           .bytes(),
       false, kAmd64Program},
      {"no executable flag (what a failed link leaves)",
       Head(i386).u16(kHeadersAt + kCharacteristicsAt, k32BitMachine).bytes(), false},
      {"an ARM64 program", Image(kArm64Program).bytes(), false, kAmd64Program},
      {"an ARM64 machine with the x86-64 magic",
       Head(amd64).u16(kHeadersAt + kMachineAt, kArm64Program.machine).bytes(), false,
       kAmd64Program},
      {"a 64-bit program asked for 32 bits", amd64.bytes(), false, kI386Program},
      {"a 32-bit program asked for 64 bits", i386.bytes(), false, kAmd64Program},
      {"the i386 machine with the PE32+ magic",
       Head(i386).u16(kHeadersAt + kMagicAt, kAmd64Program.magic).bytes(), false},
      {"the x86-64 machine with the PE32 magic",
       Head(amd64).u16(kHeadersAt + kMagicAt, kI386Program.magic).bytes(), false, kAmd64Program},
      {"a 32-bit program", i386.bytes(), true},
      {"a 64-bit program", amd64.bytes(), true, kAmd64Program},
      {"a 32-bit program whose head is a whole kProgramHeadBytes",
       Head(i386).cut(kProgramHeadBytes).bytes(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shape);
    // A block of exactly the head's size, so that natively a read past its end is an
    // AddressSanitizer report (a string's capacity and terminator would hide it).
    const std::vector<char> head(c.head.begin(), c.head.end());
    EXPECT_EQ(IsProgramImageOf(head, c.kind), c.accepted);
  }
}

#ifdef _WIN32

// The first kProgramHeadBytes of the running test program's own file.
std::string OwnHead() {
  std::ifstream file(std::filesystem::path(RunningProgramPath()), std::ios::binary);
  std::string head(kProgramHeadBytes, '\0');
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(file.gcount()));
  return head;
}

TEST(ProgramLikeThis, TakesTheRunningProgramsOwnFileButNotMarkedALibrary) {
  std::string head = OwnHead();
  ASSERT_EQ(head.size(), kProgramHeadBytes);
  EXPECT_TRUE(IsProgramLikeThis(head));
  EXPECT_TRUE(IsProgramImageOf(head, sizeof(void*) == 8 ? kAmd64Program : kI386Program));

  // The flag set where Windows' own header says it lies.
  IMAGE_DOS_HEADER dos;
  std::memcpy(&dos, head.data(), sizeof dos);
  const std::size_t at = static_cast<std::size_t>(dos.e_lfanew) +
                         offsetof(IMAGE_NT_HEADERS, FileHeader.Characteristics);
  ASSERT_LE(at + sizeof(WORD), head.size());
  WORD characteristics;
  std::memcpy(&characteristics, head.data() + at, sizeof characteristics);
  characteristics |= IMAGE_FILE_DLL;
  std::memcpy(head.data() + at, &characteristics, sizeof characteristics);
  EXPECT_FALSE(IsProgramLikeThis(head));
}

#endif

}  // namespace
}  // namespace dravelin
