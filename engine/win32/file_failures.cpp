#include "file_failures.h"

#include "patience.h"
#include "win32/handles.h"

namespace dravelin {

namespace {

// Why replacing `destination` failed: Windows says "access denied" both when another program holds
// the file (a file open elsewhere cannot be replaced, even where deleting is shared) and when this
// user may not replace it. Opening it for deletion, sharing everything, tells the two apart: a
// sharing violation means held. So does a probe that opens it, the file not read-only: the user
// may delete it, and the holder has let go since (a scanner holds each file for a moment only).
bool HeldByAnother(DWORD error, const std::wstring& destination) {
  if (HeldError(error)) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const win::UniqueFile probe(CreateFileW(destination.c_str(), DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!probe) return HeldError(GetLastError());
  FILE_BASIC_INFO basic{};
  return GetFileInformationByHandleEx(probe.get(), FileBasicInfo, &basic, sizeof basic) &&
         !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

bool HeldError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

void ThrowFailure(const char* call, const std::wstring& path) {
  const DWORD error = GetLastError();
  if (HeldByAnother(error, path)) throw FileHeld(call, static_cast<long>(error));
  throw RuntimeError(call, static_cast<long>(error));
}

}  // namespace dravelin
