// The calls of a copy that tests play instead of the system's, to show what the copy makes of the
// answers a network share can give: a rename that was done although its answer said it failed
// (the answer lost in a reconnect), a rename that an old server refuses, what the client's own
// redirector says of an open file.
#pragma once

#include <windows.h>

#include "file_copy.h"
#include "file_identity.h"

namespace dravelin {

struct CopyCalls {
  // SetFileInformationByHandle, for the FileRenameInfo that gives an open copy its new name.
  decltype(&::SetFileInformationByHandle) renameOpenFile = ::SetFileInformationByHandle;
  // GetFileInformationByHandleEx of an open copy, which over a network the client's redirector
  // may answer from its own record of the open (file_identity.h).
  FileQuery queryOpenFile = ::GetFileInformationByHandleEx;
};

}  // namespace dravelin
