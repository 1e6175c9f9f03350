// The full path of the running program's own file.
#pragma once

#include <string>

namespace dravelin {

std::wstring RunningProgramPath();

}  // namespace dravelin
