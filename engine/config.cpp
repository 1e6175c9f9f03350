#include "config.h"

#include <limits>
#include <stdexcept>

#include "text949.h"

namespace dravelin {

namespace {

std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) throw std::overflow_error("byte position overflow");
  return sum;
}

std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  std::int32_t difference = 0;
  if (__builtin_sub_overflow(a, b, &difference)) throw std::overflow_error("byte count overflow");
  return difference;
}

}  // namespace

std::int32_t Cp949Length(const std::wstring& text) {
  const std::size_t bytes = ToCp949(text).size();
  if (bytes > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::overflow_error("text longer than 2 GiB");
  }
  return static_cast<std::int32_t>(bytes);
}

std::wstring Cp949Part(const std::wstring& text, std::int32_t firstByte,
                       std::optional<std::int32_t> byteCount) {
  if (firstByte < 1) throw std::invalid_argument("Cp949Part: start before the first byte");
  if (byteCount && *byteCount < 0) throw std::invalid_argument("Cp949Part: negative length");

  const std::string bytes = ToCp949(text);
  const std::size_t first = static_cast<std::size_t>(firstByte) - 1;
  if (first >= bytes.size()) return {};
  const std::size_t available = bytes.size() - first;
  const std::size_t count =
      byteCount ? std::min(available, static_cast<std::size_t>(*byteCount)) : available;
  return FromCp949(std::string_view(bytes).substr(first, count));
}

std::wstring GetConfigValue(Runtime& runtime, const std::wstring& path, const std::wstring& key) {
  const std::int32_t keyBytes = Cp949Length(key);
  const std::wstring wantedKey = UpperCase(key);
  std::wstring result;

  const auto input = runtime.openTextInput(path);
  while (!input->atEnd()) {
    const std::wstring line = FromCp949(input->readLine());
    // A prefix test on bytes: the separator after the key is skipped without being looked at, and
    // a later matching line replaces an earlier value. The length asked for is one byte more than
    // what remains after the separator; the cut absorbs it.
    if (UpperCase(Cp949Part(line, 1, keyBytes)) == wantedKey) {
      result = Cp949Part(line, CheckedAdd(keyBytes, 2), CheckedSub(Cp949Length(line), keyBytes));
    }
  }
  return result;
}

}  // namespace dravelin
