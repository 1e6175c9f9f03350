// What the first bytes of a file say about the program in it, read from the bytes alone. A new copy
// of the program's own file comes from whoever can write the server directory, and a broken or
// foreign file under the program's name would leave no updater to repair it; so the copy's start
// is checked, every field read inside the bytes given or not at all. The fields are those of the
// PE format (Microsoft's "PE Format"), little-endian, at their offsets in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dravelin {

// The bytes of a file's start that the check is given: a program's headers begin well inside them.
inline constexpr std::size_t kProgramHeadBytes = 4096;

// What tells which machine runs a program and which loader takes it: the file header's machine
// type and the optional header's magic (0x10B PE32, a 32-bit image; 0x20B PE32+, a 64-bit image).
struct ProgramKind {
  std::uint16_t machine = 0;
  std::uint16_t magic = 0;
};

// The kinds of the two builds: i686 (the delivered programs) and x86-64.
inline constexpr ProgramKind kI386Program{.machine = 0x014C, .magic = 0x10B};
inline constexpr ProgramKind kAmd64Program{.machine = 0x8664, .magic = 0x20B};

// Whether `head`, the first bytes of a file, begins an executable image of `kind`: "MZ" at its
// start, at the offset that the DOS header gives (e_lfanew, signed, not negative) the signature
// "PE\0\0", then a file header of `kind`'s machine that marks the file an executable image and no
// library (DLL), and an optional header whose magic is `kind`'s. A header that `head` cuts off
// counts as missing; any bytes at all may be passed.
bool IsProgramImageOf(std::span<const char> head, ProgramKind kind);

}  // namespace dravelin
