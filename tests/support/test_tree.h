// Real temporary directory trees, the file helpers around them and the process state that tests
// change for a while (working directory, time zone): for the tests on both systems.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "runtime.h"

namespace dravelin::testing {

namespace fs = std::filesystem;

// How long a test lets a program it started take to show that it runs, or that it ended. It
// bounds only a failing test, so it is far longer than any start takes: a Wine process on the
// i686 test machine under CPU emulation takes tens of seconds to start.
inline constexpr std::chrono::seconds kProgramStartBound{120};

// Looks at `done` every `interval` until it holds or `timeout` has passed; says whether it held.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(1));

// Conversions between the engine's wide paths and std::filesystem's.
fs::path Path(std::wstring_view name);
std::wstring Wide(const fs::path& path);

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const fs::path& root() const { return root_; }
  // The root as the engine spells paths: a wide string without a trailing separator.
  std::wstring dir() const { return Wide(root_); }
  std::wstring path(std::wstring_view name) const { return Wide(root_ / Path(name)); }

  // Writes `bytes` to `name` (under the root) and returns its full path.
  std::wstring write(std::wstring_view name, std::string_view bytes) const;
  std::wstring makeDirectory(std::wstring_view name) const;

 private:
  fs::path root_;
};

std::string ReadAll(const std::wstring& file_name);
void SetModified(const std::wstring& file_name, FileTime time);
FileTime Modified(const std::wstring& file_name);

// Hidden: a leading dot on POSIX (so the name must carry it), the hidden attribute on Windows.
void MakeHidden(const std::wstring& file_name);
void MakeSystemFile(const std::wstring& file_name);  // Windows only; nothing on POSIX
void MakeReadOnly(const std::wstring& file_name, bool readOnly);

// The names that a listing gives, to its end.
std::set<std::wstring> ListedNames(Listing& listing);

// The time that a lookup of `file_name` gives; throws when nothing is there.
FileTime TimeOf(Runtime& runtime, const std::wstring& file_name);

// The version of `file_name` that a listing shows now; none (all zero) for a file that no listing
// shows (a missing file, a directory).
FileVersion ListedVersion(Runtime& runtime, const std::wstring& file_name);
// Copies `source` over `destination` as a pass would: as the version that its listing shows now.
void CopyAsListed(Runtime& runtime, const std::wstring& source, const std::wstring& destination);

// The files under the names of the copy's temporary files, in a directory and in its work
// folder: their paths, and how many there are.
std::set<std::wstring> TemporaryFilesIn(const std::wstring& directory_name);
int CountLeftovers(const std::wstring& directory_name);
// Files in the program's work folder in the directory, 0 when there is no such folder.
int FilesInWorkFolder(const std::wstring& directory_name);
// Whether the program's work folder is in the directory (a pass removes it at its end).
bool WorkFolderPresent(const std::wstring& directory_name);

// The process's working directory for one scope; the previous one comes back on every way out.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const fs::path& directory);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  fs::path previous_;
};

#ifndef _WIN32
// TZ for the test's duration: the local zone of the C library on POSIX.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_;
};
#endif

// Holds the local clock at UTC for the test's duration, so that timestamp texts can be written
// out. On POSIX it sets TZ. On Windows the zone is the system's, which a process cannot change
// for itself: it checks that the run was started in UTC (ctest starts it with TZ=UTC, from which
// Wine takes its system zone) and throws otherwise, failing the test.
class UtcClock {
 public:
  UtcClock();

#ifndef _WIN32
 private:
  ScopedTimeZone utc_{"UTC"};
#endif
};

}  // namespace dravelin::testing
