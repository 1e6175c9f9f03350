// The file systems that a runner script mounts for the Windows tests it starts (a network share
// for tests/share/run-share-tests, stall-fs for tests/stall/run-stall-tests), as the tests see
// them: directories named in environment variables, and server folders of the tests' own there.
#pragma once

#include <string>
#include <string_view>

namespace dravelin::uitest {

// The Windows path that the runner script left in the environment variable `name`; throws, naming
// the script, when it is not set (the tests were not started by it).
std::wstring RunnerPath(const char* name, std::string_view runnerScript);

// `name` in `directory`.
std::wstring JoinPath(const std::wstring& directory, std::wstring_view name);

// A server folder of its own on a mount, with a Korean name different in each folder of a test
// run and across the runs of one machine: made in the directory behind the mount, which the
// tests write directly, named to the programs through the mount, removed with everything in it.
class MountedFolder {
 public:
  MountedFolder(std::wstring mounted, std::wstring behind);
  ~MountedFolder();
  MountedFolder(const MountedFolder&) = delete;
  MountedFolder& operator=(const MountedFolder&) = delete;

  // The folder through the mount with its closing separator: what Server_directory names.
  std::wstring prefix() const;
  // A file of the folder as the programs see it, through the mount.
  std::wstring throughMount(std::wstring_view name) const { return prefix() + std::wstring(name); }
  // The folder's name, in the mount's root.
  const std::wstring& name() const { return name_; }

 protected:
  // The folder, or a file in it, in the directory behind the mount.
  std::wstring behind(std::wstring_view name = {}) const;

 private:
  std::wstring mounted_;
  std::wstring behind_;
  std::wstring name_;
};

}  // namespace dravelin::uitest
