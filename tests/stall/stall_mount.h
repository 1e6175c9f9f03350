// The stalling file system that tests/stall/run-stall-tests mounts (stall-fs), as the tests see
// it: the mount, which the programs under test read; the source directory behind it, which the
// tests write directly; and the control directory, where a test asks for the next listing or read
// to stall and sees when the stall begins and ends.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "mounted_folder.h"
#include "runtime.h"

namespace dravelin::uitest::stalltest {

// The mount of this test run: the mount, the source directory that it shows, and the control
// directory, where requests are left and markers appear. Throws when the tests were not started
// by run-stall-tests.
const MountLocation& Mount();

// A server directory of its own on the mount: written in the source directory, named to the
// programs through the mount.
class StallFolder : public MountedFolder {
 public:
  StallFolder();

  // The folder, or a file in it, as stall-fs names it: relative to the mount's root, with '/'.
  std::wstring relative(std::wstring_view name = {}) const;

  void write(std::wstring_view name, std::string_view bytes, FileTime modified) const;
};

// What stalls: each kind has its request and its two markers in the control directory.
enum class StallKind { Listing, Read };

struct ArmedStall {
  StallKind kind;
  std::chrono::milliseconds length;
};

// Asks stall-fs to stall the next listing of any directory of the mount (`file` empty), or the
// next read of `file` (a relative name as StallFolder::relative gives it), for `length`. Clears
// the markers of an earlier stall of the kind first.
ArmedStall ArmStall(StallKind kind, std::chrono::milliseconds length, std::wstring_view file = {});

// What a probing of a window while a stall lasted found.
struct StallWatch {
  std::wstring stalled;  // the directory or file that stall-fs stalled, relative to its root
  int probes = 0;        // probes sent from the stall's start until its end was seen
  int lost = 0;          // of them, not answered within the probe limit
  std::chrono::milliseconds longest{0};  // the longest wait for an answer
  bool mountOpenedDuringStall = false;   // a file of the mount opened while the stall lasted
  bool happenedDuringStall = false;      // the watch's condition was seen to hold before the end
};

// Returns once the stall has begun; throws when it does not begin in time.
void WaitForStallToBegin(const ArmedStall& stall);

// A far server for the object's life: every listing and read of the mount is answered after
// `latency`, side by side (stall-fs's "latency" request).
class FarServer {
 public:
  explicit FarServer(std::chrono::milliseconds latency);
  ~FarServer();
  FarServer(const FarServer&) = delete;
  FarServer& operator=(const FarServer&) = delete;
};

// Waits for the stall to begin, opens `openMeanwhile` once, then probes `window` as the system
// does, every `interval`, until the stall has ended. Throws when the stall does not begin, or
// does not end, in time. `openMeanwhile` is a file of the mount outside the stalled directory:
// a name looked up there for the first time waits for a stalled listing (see stall_fs.cpp).
// `happened`, where given, is looked at before each probe (StallWatch::happenedDuringStall).
StallWatch WatchStall(const ArmedStall& stall, HWND window, const std::wstring& openMeanwhile,
                      std::chrono::milliseconds probeLimit, std::chrono::milliseconds interval,
                      const std::function<bool()>& happened = nullptr);

}  // namespace dravelin::uitest::stalltest
