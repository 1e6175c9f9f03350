// The file systems that a runner script mounts for the Windows tests it starts (a network share
// for tests/share/run-share-tests, stall-fs for tests/stall/run-stall-tests), as the tests see
// them: directories named in environment variables, and server folders of the tests' own there.
#pragma once

#include <string>
#include <string_view>

namespace dravelin::uitest {

// The environment variables in which a runner script names the directories of its mount (as
// Windows paths), and the script.
struct RunnerVariables {
  const char* mounted;
  const char* behind;
  const char* control;
  std::string_view script;
};

// A runner's mount as the tests see it.
struct MountLocation {
  std::wstring mounted;  // the mount, which the programs under test read
  std::wstring behind;   // the directory that the mount shows, which the tests write directly
  std::wstring control;  // where the tests leave requests for the script, and it answers
};

// Throws, naming the script, when a variable is not set: the tests were not started by it.
MountLocation ReadMountLocation(const RunnerVariables& variables);

// `name` in `directory`.
std::wstring JoinPath(const std::wstring& directory, std::wstring_view name);

// A server folder of its own on a mount, with a Korean name different in each folder of a test
// run and across the runs of one machine: made in the directory behind the mount, which the
// tests write directly, named to the programs through the mount, removed with everything in it.
class MountedFolder {
 public:
  explicit MountedFolder(const MountLocation& mount);
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
