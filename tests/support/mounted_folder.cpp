#include "mounted_folder.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "test_tree.h"
#include "uidriver.h"
#include "win32/last_error.h"

namespace dravelin::uitest {

namespace {

std::wstring UniqueFolderName() {
  static std::atomic<int> count = 0;
  return L"패치 서버 " + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
}

std::wstring RunnerPath(const char* name, std::string_view script) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(name) + " is not set: run these tests through " +
                             std::string(script));
  }
  return uidriver::FromUtf8(value);
}

}  // namespace

MountLocation ReadMountLocation(const RunnerVariables& variables) {
  return {RunnerPath(variables.mounted, variables.script),
          RunnerPath(variables.behind, variables.script),
          RunnerPath(variables.control, variables.script)};
}

std::wstring JoinPath(const std::wstring& directory, std::wstring_view name) {
  return directory + L"\\" + std::wstring(name);
}

MountedFolder::MountedFolder(const MountLocation& mount)
    : mounted_(mount.mounted), behind_(mount.behind), name_(UniqueFolderName()) {
  if (!::CreateDirectoryW(this->behind().c_str(), nullptr)) win::ThrowLastError("CreateDirectoryW");
}

MountedFolder::~MountedFolder() {
  std::error_code ignored;  // a folder left behind goes with the script's temporary directory
  std::filesystem::remove_all(testing::Path(behind()), ignored);
}

std::wstring MountedFolder::prefix() const { return JoinPath(mounted_, name_) + L"\\"; }

std::wstring MountedFolder::behind(std::wstring_view name) const {
  const std::wstring folder = JoinPath(behind_, name_);
  return name.empty() ? folder : JoinPath(folder, name);
}

}  // namespace dravelin::uitest
