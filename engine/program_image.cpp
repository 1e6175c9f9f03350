#include "program_image.h"

#include <optional>

namespace dravelin {

namespace {

// In the DOS header, from the file's start.
constexpr std::size_t kDosMagicAt = 0;
constexpr std::size_t kNtHeadersOffsetAt = 0x3C;  // e_lfanew
// From the signature, which e_lfanew points to: the file header follows it, then the optional
// header, whose magic is all that is read of it.
constexpr std::size_t kMachineAt = 4;
constexpr std::size_t kCharacteristicsAt = 22;
constexpr std::size_t kOptionalMagicAt = 24;
constexpr std::size_t kNtHeadBytes = kOptionalMagicAt + 2;

constexpr std::uint16_t kDosMagic = 0x5A4D;         // "MZ"
constexpr std::uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kExecutableImage = 0x0002;  // IMAGE_FILE_EXECUTABLE_IMAGE
constexpr std::uint16_t kDll = 0x2000;              // IMAGE_FILE_DLL

// The little-endian value of the `Size` bytes `at` bytes into `bytes`; nullopt where they end
// before it does. No sum of `at` is formed, so any `at` is safe.
template <std::size_t Size>
std::optional<std::uint32_t> ReadAt(std::span<const char> bytes, std::size_t at) {
  static_assert(Size <= sizeof(std::uint32_t));
  if (at > bytes.size() || bytes.size() - at < Size) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < Size; ++i) {
    value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  }
  return value;
}

}  // namespace

bool IsProgramImageOf(std::span<const char> head, ProgramKind kind) {
  const auto dosMagic = ReadAt<2>(head, kDosMagicAt);
  const auto ntOffset = ReadAt<4>(head, kNtHeadersOffsetAt);
  if (dosMagic != kDosMagic || !ntOffset) return false;
  // e_lfanew is a LONG: a value of 2^31 or more is negative, and points nowhere.
  const auto at = static_cast<std::int32_t>(*ntOffset);
  if (at < 0 || static_cast<std::size_t>(at) > head.size() ||
      head.size() - static_cast<std::size_t>(at) < kNtHeadBytes) {
    return false;
  }
  // From here every offset is a small one inside the headers, all of which `nt` holds.
  const std::span<const char> nt = head.subspan(static_cast<std::size_t>(at), kNtHeadBytes);
  const std::uint32_t characteristics = *ReadAt<2>(nt, kCharacteristicsAt);
  return ReadAt<4>(nt, 0) == kNtSignature && ReadAt<2>(nt, kMachineAt) == kind.machine &&
         (characteristics & kExecutableImage) != 0 && (characteristics & kDll) == 0 &&
         ReadAt<2>(nt, kOptionalMagicAt) == kind.magic;
}

}  // namespace dravelin
