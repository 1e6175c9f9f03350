// The names that the program takes from the listing of the server directory and gives to files in
// the client folder. Whoever can write the server directory chooses them, and a share served from
// Linux, or a broken or hostile server, can list names that Windows never makes: a name with a
// backslash reaches outside the folder, a device name opens a device, a name with a trailing dot
// reaches another file. Only plain names are used.
#pragma once

#include <string_view>

namespace dravelin {

// Whether `name` is one plain file name of a folder, the same file's name on Windows and
// everywhere else: not empty, not "." or "..", no "\" "/" or ":" (a stream), none of * ? " < > |,
// no control character, no trailing dot or space (Windows drops them, and the name then reaches
// another file), at most 255 UTF-16 units, and no device name (CON PRN AUX NUL, COM and LPT with a
// digit 1 to 9 or a superscript 1 to 3, CONIN$ and CONOUT$), in any letter case, with or without
// an extension.
bool IsPlainFileName(std::wstring_view name);

}  // namespace dravelin
