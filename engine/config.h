// The configuration file and the byte-wise text routines its lookup rests on. Bytes are those of
// the text's code page 949 form, where a Korean syllable takes two bytes and ASCII one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime.h"

namespace dravelin {

// Length in bytes of the code page 949 form of `strString`.
std::int32_t LenH(const std::wstring& strString);

// The bytes of the code page 949 form of `strString` from byte `lngStart` (1-based) on, at most
// `lngLength` of them when given, converted back. A start beyond the end gives ""; a length beyond
// the end is cut there. A start below 1 or a negative length throws std::invalid_argument.
std::wstring MidH(const std::wstring& strString, std::int32_t lngStart,
                  std::optional<std::int32_t> lngLength = std::nullopt);

// The value of the last line of the file at `path` that begins with `key` (any letter case),
// after the key and one separator byte of any kind; "" when no line begins with the key.
// A file that cannot be opened or read throws.
std::wstring GetConfigValue(Runtime& runtime, const std::wstring& path, const std::wstring& key);

}  // namespace dravelin
