// The calls of a copy that tests play instead of the system's, to show what the copy makes of the
// answers a network share can give: a rename that was done although its answer said it failed
// (the answer lost in a reconnect), a rename that an old server refuses.
#pragma once

#include <windows.h>

#include "file_copy.h"

namespace dravelin {

struct CopyCalls {
  // SetFileInformationByHandle, for the FileRenameInfo that gives an open copy its new name.
  decltype(&::SetFileInformationByHandle) renameOpenFile = ::SetFileInformationByHandle;
};

}  // namespace dravelin
