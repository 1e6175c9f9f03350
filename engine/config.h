// The configuration file and the byte-wise text routines its lookup rests on. Bytes are those of
// the text's code page 949 form, where a Korean syllable takes two bytes and ASCII one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime.h"

namespace dravelin {

// Length in bytes of the code page 949 form of `text`.
std::int32_t Cp949Length(const std::wstring& text);

// The bytes of the code page 949 form of `text` from byte `firstByte` (1-based) on, at most
// `byteCount` of them when given, converted back. A start beyond the end gives ""; a count beyond
// the end is cut there. A start below 1 or a negative count throws std::invalid_argument.
std::wstring Cp949Part(const std::wstring& text, std::int32_t firstByte,
                       std::optional<std::int32_t> byteCount = std::nullopt);

// The value of the last line of the file at `path` that begins with `key` (any letter case),
// after the key and one separator byte of any kind; "" when no line begins with the key.
// A file that cannot be opened or read throws.
std::wstring GetConfigValue(Runtime& runtime, const std::wstring& path, const std::wstring& key);

}  // namespace dravelin
