// UTF-8 for the POSIX side, where the system takes paths as bytes and wchar_t holds UTF-32.
#pragma once

#include <string>
#include <string_view>

namespace dravelin {

std::string ToUtf8(std::wstring_view text);     // a unit that is no character becomes U+FFFD
std::wstring FromUtf8(std::string_view bytes);  // an invalid sequence becomes U+FFFD

}  // namespace dravelin
