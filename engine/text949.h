// Text in code page 949 (Korean, double-byte): the form in which the configuration file is stored
// and in which its lines are measured and cut. Always 949, never the system's ANSI code page, so
// the program reads its file the same way on every language edition of Windows.
#pragma once

#include <string>
#include <string_view>

namespace dravelin {

// Invalid input never fails: it converts to whatever the system's converter makes of it.
std::string ToCp949(std::wstring_view text);
std::wstring FromCp949(std::string_view bytes);

// Upper case by the platform's rules (ASCII letters at least).
std::wstring UpperCase(std::wstring_view text);

}  // namespace dravelin
