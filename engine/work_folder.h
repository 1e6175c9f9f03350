// The program's own folder for work in progress, inside the directory that receives the copies.
// Each copy is written to a temporary file there and moved into place when whole; a replaced
// program file that is still running is moved aside into it. What a run that was ended half-way
// left there is removed by the next run. The folder alone tells the program's temporary files
// from look-alikes: nothing else ever puts files in it (the server directory yields ordinary
// files only, never a folder), so a "dvl00000000.tmp" or "data.pak.tmp" elsewhere is never touched.
#pragma once

#include <string>
#include <string_view>

#include "patience.h"
#include "runtime_error.h"

namespace dravelin {

inline constexpr std::wstring_view kWorkFolderName = L"dravelin.tmp";

// Names of the temporary files in the work folder: "dvl" ... ".tmp".
inline constexpr std::wstring_view kTemporaryPrefix = L"dvl";
inline constexpr std::wstring_view kTemporarySuffix = L".tmp";

// The work folder of `directory`, and a file in a folder, as the system's calls take them (on
// Windows: in the extended-length form where the ordinary one is too long for the call).
std::wstring WorkFolderPath(const std::wstring& directory);
std::wstring PathIn(const std::wstring& folder, std::wstring_view name);

// The work folder of `directory`, made when missing; the directory itself when the folder cannot
// be had (a file of that name is in the way), so that copies are made beside their destinations.
std::wstring MakeWorkFolder(const std::wstring& directory);

// Whether a file can be made in `directory`, found out with a temporary file that goes again:
// false when the system refuses it for want of rights or of a writable medium; throws for any
// other failure.
bool MayMakeFilesIn(const std::wstring& directory);

// Whether a file could not be made because its folder is not there.
bool IsMissingFolder(const RuntimeError& failure);

// Removes the temporary files in the work folder of `directory` and the folder itself, waiting
// with `patience` for what another program holds for a moment. A file still in use stays; the
// first failure is thrown once everything else is done.
void RemoveWorkFolder(const std::wstring& directory, Patience& patience);

inline bool IsTemporaryName(std::wstring_view name) {
  return name.size() > kTemporaryPrefix.size() + kTemporarySuffix.size() &&
         name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix);
}

}  // namespace dravelin
