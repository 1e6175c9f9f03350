// The copy of the update on its way: a file under a temporary name in the work folder, written,
// sealed (its time given, flushed to the disk) and then put in place under the destination's
// name, or removed again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "copy_calls.h"
#include "win32/handles.h"

namespace dravelin {

// A fresh name of the work folder's kind: "dvl", eight hex digits, ".tmp".
std::wstring TemporaryName();

// Gives the open `file` (opened with the right to delete it) the name `destination`, a full path
// on its volume, through `calls`; `replace`: replacing a file of that name. False, with the last
// error set, when it fails.
bool RenameOpenFile(HANDLE file, const std::wstring& destination, bool replace,
                    const CopyCalls& calls);

// Whether a rename by handle failed with `error` because the file system does not take it: SMB1
// servers (Samba's among them) refuse one into another folder. A rename by path still works there.
inline bool RenameByHandleRefused(DWORD error) {
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// A file under a fresh temporary name in `directory`, open for writing, removed again unless it
// was moved into place. Made here rather than with GetTempFileNameW, which takes directories of
// fewer than MAX_PATH characters only (and Wine's version writes past its MAX_PATH buffer instead).
// It stays open, shared with nobody, until it is in place: no other program (an antivirus reading
// what was just written) can get hold of it in between and keep it from its new name.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& directory);
  ~TemporaryFile() { discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  HANDLE handle() const { return file_.get(); }

  // Gives the copy the source's last-write time (`lastWriteTicks`, since 1601) and attributes and
  // puts it on the disk, data and all, before anything can show it under the destination's name:
  // a power cut after the rename must not leave the destination with the source's time and
  // missing data, which no later run repairs. A time of no tick or less is none to the system,
  // which would leave the copy the time of its writing: such a copy is not made.
  void seal(std::int64_t lastWriteTicks, DWORD attributes);

  // Gives the sealed copy the name `destination` (a full path), replacing the file there, and
  // closes it. Throws FileHeld when another program holds the destination for now.
  void placeAt(const std::wstring& destination, const CopyCalls& calls);

 private:
  // Where the copy is after a rename by handle reported failure.
  enum class Whereabouts { Elsewhere, AtDestination, Unknown };

  Whereabouts afterFailedRename(const std::wstring& destination, const CopyCalls& calls) const;
  void closeInPlace();
  void discard() noexcept;

  win::UniqueFile file_;
  std::wstring path_;          // where the copy is, until it is in place
  bool mayBeInPlace_ = false;  // a failed rename may have given it the destination's name
};

}  // namespace dravelin
