// libFuzzer target for the configuration lookup and the byte-wise text routines.
//
// An input is a small header followed by the bytes of a configuration file:
//   byte 0     flags: which key is looked up, whether Cp949Part gets a length, and whether its
//              arguments are taken raw (the whole 32-bit range) or folded near the text's size
//   bytes 1-4  Cp949Part start, bytes 5-8 Cp949Part length (little-endian)
// Missing header bytes count as zero. The file goes to GetConfigValue through an in-memory
// stream, so no execution touches the disk.
//
// About one input in kGrowthOneIn (chosen by a hash of the whole input, so that neither the
// mutations nor the corpus can make it common) has its payload repeated into a file of up to
// kMaxFileBytes: lines of megabytes come up now and then without slowing every execution.
//
// Besides crashes and sanitizer reports, the target stops on a broken promise: a wrong exception,
// a Cp949Part that throws for valid arguments, or a lookup on plain ASCII that differs from the
// line rule computed here on bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "config.h"
#include "runtime_error.h"
#include "text949.h"
#include "text_input.h"

namespace {

using dravelin::RuntimeError;

constexpr std::size_t kHeaderBytes = 9;
constexpr unsigned kKeyFlag = 0x01;
constexpr unsigned kLengthFlag = 0x02;
constexpr unsigned kRawArgumentsFlag = 0x04;
constexpr std::uint64_t kGrowthOneIn = 16384;
constexpr unsigned kFewestCopiesLog2 = 10;
constexpr unsigned kCopiesLog2Choices = 6;  // 2^10 to 2^15 copies
constexpr std::size_t kMaxFileBytes = 4u << 20;
constexpr std::size_t kStartOffset = 1;
constexpr std::size_t kLengthOffset = 5;

const std::wstring kKeys[] = {L"Server_directory", L"Exe_Program"};

// Reports a broken promise the way a crash is reported: the input is saved as an artifact.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "config_fuzzer: %s\n", what);
  std::abort();
}

struct Header {
  unsigned flags = 0;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

Header ReadHeader(const std::uint8_t* data, std::size_t size) {
  std::uint8_t padded[kHeaderBytes] = {};
  std::memcpy(padded, data, std::min(size, kHeaderBytes));
  return Header{padded[0], ReadLittleEndian(padded + kStartOffset),
                ReadLittleEndian(padded + kLengthOffset)};
}

// FNV-1a: any change to the input gives an unrelated value.
std::uint64_t Hash(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint64_t kOffsetBasis = 14695981039346656037u;
  constexpr std::uint64_t kPrime = 1099511628211u;
  std::uint64_t hash = kOffsetBasis;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * kPrime;
  return hash;
}

std::string MakeFile(std::string_view payload, std::uint64_t hash) {
  if (hash % kGrowthOneIn != 0 || payload.empty()) return std::string(payload);
  const unsigned copiesLog2 = kFewestCopiesLog2 + (hash / kGrowthOneIn) % kCopiesLog2Choices;
  const std::size_t copies = std::min(std::size_t{1} << copiesLog2, kMaxFileBytes / payload.size());
  std::string file;
  file.reserve(copies * payload.size());
  for (std::size_t i = 0; i < copies; ++i) file.append(payload);
  return file;
}

// The engine's view of the system, reduced to what the lookup uses: the file comes from memory.
class MemoryRuntime final : public dravelin::Runtime {
 public:
  explicit MemoryRuntime(std::string& file) : file_(file) {}

  std::unique_ptr<dravelin::TextInput> openTextInput(const std::wstring&) override {
    std::FILE* stream = fmemopen(file_.data(), file_.size(), "rb");
    if (stream == nullptr) throw RuntimeError("fmemopen", errno);
    return dravelin::MakeTextInput(stream);
  }

  std::wstring programDirectory() override { throw std::logic_error("unused"); }
  std::unique_ptr<dravelin::Listing> listFiles(const std::wstring&) override {
    throw std::logic_error("unused");
  }
  std::unique_ptr<dravelin::Listing> listEverything(const std::wstring&) override {
    throw std::logic_error("unused");
  }
  std::wstring fileNameKey(const std::wstring&) override { throw std::logic_error("unused"); }
  std::optional<dravelin::DirEntry> lookUp(const std::wstring&) override {
    throw std::logic_error("unused");
  }
  std::uint64_t freeSpace(const std::wstring&) override { throw std::logic_error("unused"); }
  std::unique_ptr<dravelin::Turn> waitForTurn(const std::wstring&,
                                              const dravelin::TurnNotice&) override {
    throw std::logic_error("unused");
  }
  void copyFile(const std::wstring&, const std::wstring&, const dravelin::FileVersion&,
                dravelin::ListedDestination) override {
    throw std::logic_error("unused");
  }
  bool canWriteIn(const std::wstring&) override { throw std::logic_error("unused"); }
  std::unique_ptr<dravelin::Turn> tryWorkTurn(const std::wstring&) override {
    throw std::logic_error("unused");
  }
  dravelin::Clock& clock() override { throw std::logic_error("unused"); }
  void removeLeftovers(const std::wstring&) override { throw std::logic_error("unused"); }
  void startProgram(const std::wstring&, dravelin::NativeWindow) override {
    throw std::logic_error("unused");
  }

 private:
  std::string& file_;
};

bool IsAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithKey(std::string_view line, std::string_view key) {
  if (line.size() < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (AsciiUpper(line[i]) != AsciiUpper(key[i])) return false;
  }
  return true;
}

// The line rule on raw bytes, for files where bytes and characters coincide: lines end at LF (a CR
// right before it is dropped), the last line whose first bytes are the key wins, and its value
// starts one byte after the key.
std::wstring ExpectedAsciiValue(std::string_view file, std::string_view key) {
  std::string value;
  for (std::size_t pos = 0; pos < file.size();) {
    const std::size_t end = file.find('\n', pos);
    std::string_view line = file.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (StartsWithKey(line, key)) {
      value = line.size() > key.size() + 1 ? std::string(line.substr(key.size() + 1)) : "";
    }
    pos = end == std::string_view::npos ? file.size() : end + 1;
  }
  return std::wstring(value.begin(), value.end());
}

void CheckLookup(std::string& file, const std::wstring& key) {
  MemoryRuntime runtime(file);
  std::wstring value;
  try {
    value = dravelin::GetConfigValue(runtime, L"CONFIG.DVL", key);
  } catch (const RuntimeError&) {
    return;  // a read failure is the caller's to handle
  }
  if (IsAscii(file) && value != ExpectedAsciiValue(file, std::string(key.begin(), key.end()))) {
    Fail("lookup differs from the line rule on an ASCII file");
  }
}

// Cp949Part's arguments: raw, or folded so that most land inside the text, some just past its end,
// and a few on the invalid values 0 (start) and -1 (length).
std::int32_t FoldedStart(std::uint32_t raw, std::size_t textBytes) {
  return static_cast<std::int32_t>(raw % (textBytes + 3));
}
std::int32_t FoldedLength(std::uint32_t raw, std::size_t textBytes) {
  return static_cast<std::int32_t>(raw % (textBytes + 3)) - 1;
}

void CheckByteWiseText(const std::wstring& text, const Header& header) {
  std::int32_t bytes = 0;
  try {
    bytes = dravelin::Cp949Length(text);
  } catch (const std::overflow_error&) {
    Fail("Cp949Length overflowed on a text of a few megabytes");
  }
  const std::size_t size = static_cast<std::size_t>(bytes);
  const bool raw = (header.flags & kRawArgumentsFlag) != 0;
  const std::int32_t start =
      raw ? static_cast<std::int32_t>(header.start) : FoldedStart(header.start, size);
  std::optional<std::int32_t> length;
  if (header.flags & kLengthFlag) {
    length = raw ? static_cast<std::int32_t>(header.length) : FoldedLength(header.length, size);
  }
  const bool valid = start >= 1 && (!length || *length >= 0);
  try {
    const std::wstring cut = dravelin::Cp949Part(text, start, length);
    if (!valid) Fail("Cp949Part accepted an impossible argument");
    // Each byte becomes at most one character and each character at most its own bytes again, so
    // a cut never measures more than the bytes it was given.
    const std::size_t first = static_cast<std::size_t>(start) - 1;
    const std::size_t available = first < size ? size - first : 0;
    const std::size_t most =
        length ? std::min(available, static_cast<std::size_t>(*length)) : available;
    if (static_cast<std::size_t>(dravelin::Cp949Length(cut)) > most)
      Fail("Cp949Part gave more than asked");
  } catch (const std::invalid_argument&) {
    if (valid) Fail("Cp949Part refused valid arguments");
  }
}

// The same text as a wide string made of arbitrary 16-bit units, as a Windows caller could hand
// it over: lone surrogates and characters that code page 949 lacks.
std::wstring AsWideUnits(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Header header = ReadHeader(data, size);
  const std::size_t skipped = std::min(size, kHeaderBytes);
  const std::string_view payload(reinterpret_cast<const char*>(data) + skipped, size - skipped);
  std::string file = MakeFile(payload, Hash(data, size));

  CheckLookup(file, kKeys[header.flags & kKeyFlag]);
  CheckByteWiseText(dravelin::FromCp949(payload), header);
  CheckByteWiseText(AsWideUnits(payload), header);
  return 0;
}
