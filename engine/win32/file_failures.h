// Failures of file calls that another program's hold on the file causes, told apart from those
// that no waiting cures.
#pragma once

#include <windows.h>

#include <string>

namespace dravelin {

// Another program's handle on the file stands in the way: it may be gone in a moment.
bool HeldError(DWORD error);

// The last error of `call` as FileHeld where another program's hold on `path` caused it,
// otherwise as a RuntimeError.
[[noreturn]] void ThrowFailure(const char* call, const std::wstring& path);

}  // namespace dravelin
