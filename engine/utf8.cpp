#include "utf8.h"

namespace dravelin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void Append(std::string& out, char32_t c) {
  if (c > kLastCodePoint || IsSurrogate(c)) c = kReplacement;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Length of the sequence a lead byte announces and the bits it carries; 0 for no lead byte.
int SequenceLength(unsigned char lead, char32_t& bits) {
  if (lead < 0x80) return bits = lead, 1;
  if ((lead & 0xE0) == 0xC0) return bits = lead & 0x1F, 2;
  if ((lead & 0xF0) == 0xE0) return bits = lead & 0x0F, 3;
  if ((lead & 0xF8) == 0xF0) return bits = lead & 0x07, 4;
  return 0;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) Append(out, static_cast<char32_t>(c));
  return out;
}

std::wstring FromUtf8(std::string_view bytes) {
  static constexpr char32_t kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
  std::wstring out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const int length = SequenceLength(static_cast<unsigned char>(bytes[i]), c);
    int taken = 1;
    while (length > 1 && taken < length && i + taken < bytes.size() &&
           (static_cast<unsigned char>(bytes[i + taken]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
      ++taken;
    }
    const bool valid = length > 0 && taken == length && c >= kSmallestOfLength[length] &&
                       c <= kLastCodePoint && !IsSurrogate(c);
    out.push_back(valid ? static_cast<wchar_t>(c) : static_cast<wchar_t>(kReplacement));
    i += static_cast<std::size_t>(valid ? taken : 1);
  }
  return out;
}

}  // namespace dravelin
