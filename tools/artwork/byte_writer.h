// Little-endian output buffer for the picture and clip file formats, with back-patching of sizes
// that are only known once a chunk has been written.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace dravelin::artwork {

class ByteWriter {
 public:
  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value) {
    u8(static_cast<std::uint8_t>(value));
    u8(static_cast<std::uint8_t>(value >> 8));
  }
  void u32(std::uint32_t value) {
    u16(static_cast<std::uint16_t>(value));
    u16(static_cast<std::uint16_t>(value >> 16));
  }
  void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
  // A four-character code such as "RIFF" or "vids".
  void fourcc(std::string_view code) {
    for (char c : code) u8(static_cast<std::uint8_t>(c));
  }
  void append(std::span<const std::uint8_t> data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }
  void patch_u32(std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes_[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace dravelin::artwork
