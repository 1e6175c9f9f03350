// A failed Win32 call of the windows' code, as a RuntimeError naming the call and carrying the
// thread's last error code.
#pragma once

#include <windows.h>

#include "runtime_error.h"

namespace dravelin::win {

[[noreturn]] inline void ThrowLastError(const char* call) {
  throw RuntimeError(call, static_cast<long>(::GetLastError()));
}

}  // namespace dravelin::win
