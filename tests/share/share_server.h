// The network share that tests/share/run-share-tests serves (Samba on 127.0.0.1) and mounts
// (smbnetfs), as the tests see it: the share as mounted, which the programs under test read
// through SMB; the directory behind it, which the tests write directly; and the requests by which
// a test stops and restarts the server while a program runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mounted_folder.h"
#include "runtime.h"

namespace dravelin::uitest::sharetest {

// The share of this test run: the share as this machine mounts it, the directory that the server
// serves as the share, and where requests to the script are left. Throws when the tests were not
// started by run-share-tests.
const MountLocation& Share();

// Stops the server behind the share for its lifetime: the script ends smbd and confirms it.
// The server is started again on the way out, so that the tests after this one find it serving.
class ServerOutage {
 public:
  ServerOutage();  // returns once the server is down; throws when the script did not confirm it
  ~ServerOutage();
  ServerOutage(const ServerOutage&) = delete;
  ServerOutage& operator=(const ServerOutage&) = delete;
};

// A point in time finer than the second, as SMB and NTFS keep them: whole seconds since 1970 and
// 100-ns ticks within the second.
struct PreciseTime {
  FileTime seconds;
  std::int64_t ticks = 0;
};

// A server directory of its own on the share: written in the served directory, named to the
// programs through the mount.
class SharedFolder : public MountedFolder {
 public:
  SharedFolder();

  // Writes the file in the served directory as copying a new version onto the share does:
  // truncated, written a piece at a time, then given its time.
  void write(std::wstring_view name, std::string_view bytes, PreciseTime modified) const;
  void makeDirectory(std::wstring_view name) const;
};

// The last-write time of a file to the 100-ns tick, as Windows reports it.
PreciseTime PreciseModified(const std::wstring& path);

}  // namespace dravelin::uitest::sharetest
