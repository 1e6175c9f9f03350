// The copy of the update and the cleaning up after it, as each system's runtime does them
// (copy_win.cpp, copy_posix.cpp).
#pragma once

#include <string>

namespace dravelin {

// Copies `source` over `destination` by way of a temporary file in the work folder of the
// destination's directory (work_folder.h), which then replaces the destination in one rename.
// The copy keeps the source's last-modified time. On any failure the old destination is left
// whole and the temporary file is removed. On Windows, the running program's own file, which
// cannot be overwritten, is first moved aside into the work folder; should the new copy then
// fail to take its place, it is moved back.
void CopyOver(const std::wstring& source, const std::wstring& destination);

// Removes what earlier runs left in the work folder of `directory`, and the folder itself.
// A file still in use stays; the first failure is thrown once everything else is done.
void RemoveLeftovers(const std::wstring& directory);

}  // namespace dravelin
