// libFuzzer target for the checks on what the server directory hands over: the first bytes of a
// new copy of the program's own file (IsProgramImageOf) and the names of its listing
// (IsPlainFileName). Whoever can write the server directory chooses both.
//
// Every input goes to both checks. The program check gets the bytes as they are, once for the
// 32-bit and once for the 64-bit kind. The name rule gets them as little-endian UTF-16 units (an
// odd last byte dropped), once unit by unit, as Windows lists a name, and once with each surrogate
// pair joined into one code point, as the POSIX side lists it (a lone surrogate stays a unit).
//
// libFuzzer hands over a block of exactly the input's size, so a read past it is an
// AddressSanitizer report. Besides crashes and sanitizer reports, the target stops on a broken
// promise, each worked out here on the bytes again: a head accepted without "MZ", without
// "PE\0\0" at a non-negative e_lfanew inside the bytes, of another machine or magic, or not an
// executable image or a DLL; a name accepted that is empty, "." or "..", longer than 255 UTF-16
// units, holds a character below 32 or one of \ / : * ? " < > |, ends with a dot or a space, or is
// a device name; or a name judged one way as units and the other as code points.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "file_names.h"
#include "program_image.h"

namespace {

using dravelin::ProgramKind;

static_assert(sizeof(wchar_t) == 4, "natively a wide character holds a whole code point");

// Reports a broken promise the way a crash is reported: the input is saved as an artifact.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "server_checks_fuzzer: %s\n", what);
  std::abort();
}

std::uint32_t LittleEndian(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
  return value;
}

void CheckProgramHead(const std::uint8_t* data, std::size_t size, ProgramKind kind) {
  if (!dravelin::IsProgramImageOf(std::span(reinterpret_cast<const char*>(data), size), kind)) {
    return;
  }
  constexpr std::size_t kDosHeaderBytes = 0x40;
  constexpr std::size_t kNtHeadBytes = 26;  // signature, file header, optional header's magic
  if (size < kDosHeaderBytes || data[0] != 'M' || data[1] != 'Z') Fail("a head without MZ");
  const std::uint32_t at = LittleEndian(data + 0x3C, 4);
  if (at >= 0x8000'0000u) Fail("a head with a negative e_lfanew");
  if (at > size - kNtHeadBytes) Fail("a head whose headers the bytes cut off");
  const std::uint8_t* nt = data + at;
  if (std::memcmp(nt, "PE\0\0", 4) != 0) Fail("a head without PE\\0\\0 at e_lfanew");
  if (LittleEndian(nt + 4, 2) != kind.machine) Fail("a head of another machine");
  const std::uint32_t characteristics = LittleEndian(nt + 22, 2);
  if ((characteristics & 0x0002) == 0) Fail("a head not marked an executable image");
  if ((characteristics & 0x2000) != 0) Fail("a head marked a DLL");
  if (LittleEndian(nt + 24, 2) != kind.magic) Fail("a head of another optional-header magic");
}

std::wstring AsUnits(const std::uint8_t* data, std::size_t size) {
  std::wstring units;
  units.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units.push_back(static_cast<wchar_t>(LittleEndian(data + i, 2)));
  }
  return units;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::wstring AsCodePoints(std::wstring_view units) {
  std::wstring points;
  points.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      points.push_back(
          static_cast<wchar_t>(0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
      ++i;
    } else {
      points.push_back(units[i]);
    }
  }
  return points;
}

// Every device name, in capitals, spelt out.
bool IsDevice(std::wstring_view upper) {
  static constexpr std::array<std::wstring_view, 30> kDevices = {
      L"CON",  L"PRN",  L"AUX",  L"NUL",       L"CONIN$",    L"CONOUT$",
      L"COM1", L"COM2", L"COM3", L"COM4",      L"COM5",      L"COM6",
      L"COM7", L"COM8", L"COM9", L"COM\u00B9", L"COM\u00B2", L"COM\u00B3",
      L"LPT1", L"LPT2", L"LPT3", L"LPT4",      L"LPT5",      L"LPT6",
      L"LPT7", L"LPT8", L"LPT9", L"LPT\u00B9", L"LPT\u00B2", L"LPT\u00B3"};
  return std::ranges::find(kDevices, upper) != kDevices.end();
}

// A name as Windows reaches it: up to its first dot, without the spaces before it, in capitals.
std::wstring DeviceSpelling(std::wstring_view name) {
  std::wstring base(name.substr(0, name.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return base;
}

void CheckName(std::wstring_view units) {
  const std::wstring points = AsCodePoints(units);
  const bool taken = dravelin::IsPlainFileName(units);
  if (dravelin::IsPlainFileName(points) != taken) {
    Fail("a name judged one way as UTF-16 units and the other as code points");
  }
  if (!taken) return;
  if (units.empty() || units == L"." || units == L"..") Fail("took an empty name, . or ..");
  if (units.size() > 255) Fail("took a name of more than 255 UTF-16 units");
  for (const wchar_t c : units) {
    if (c < 32) Fail("took a name with a control character");
    if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
      Fail("took a name with a character never in a name");
    }
  }
  if (units.back() == L'.' || units.back() == L' ') Fail("took a name ending with a dot or space");
  if (IsDevice(DeviceSpelling(units))) Fail("took a device name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckProgramHead(data, size, dravelin::kI386Program);
  CheckProgramHead(data, size, dravelin::kAmd64Program);
  CheckName(AsUnits(data, size));
  return 0;
}
