// Paths as Windows compares them: ignoring letter case, ordinally (not by any language's rules).
#pragma once

#include <windows.h>

#include <string>

namespace dravelin::win {

inline bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace dravelin::win
