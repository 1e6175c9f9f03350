// The running program's own file: its path, whether a path reaches it, and what may replace it.
#pragma once

#include <span>
#include <string>

#include "program_image.h"

namespace dravelin {

std::wstring RunningProgramPath();

// Whether `path` reaches the running program's own file, however it is spelt (another letter
// case, a short 8.3 name, another path to the folder): the same file of the same volume.
bool IsRunningProgram(const std::wstring& path);

// Whether `head`, the first bytes of a file (kProgramHeadBytes of them, or the whole of a shorter
// file), begins a program that this machine runs as it runs this one: an executable image, no
// library, of the same machine type and the same kind (32 or 64 bits), as IsProgramImageOf tells
// for the running program's own kind. A broken upload under the program's name would leave no
// updater to repair it.
bool IsProgramLikeThis(std::span<const char> head);

}  // namespace dravelin
