// Line input over an open byte stream; shared by both runtime sides, which differ only in how the
// file is opened (a wide path on Windows, UTF-8 on POSIX).
#pragma once

#include <cstdio>
#include <memory>

#include "runtime.h"

namespace dravelin {

// Takes ownership of `file` (closes it when the returned object goes away).
std::unique_ptr<TextInput> MakeTextInput(std::FILE* file);

}  // namespace dravelin
