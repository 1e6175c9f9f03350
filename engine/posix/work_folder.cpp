// The work folder on POSIX (work_folder.h). No other program's handle keeps a file from being
// unlinked or renamed here: nothing is waited for.
#include "work_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "runtime_error.h"
#include "temporary_file.h"
#include "utf8.h"

namespace dravelin {

std::wstring WorkFolderPath(const std::wstring& directory) {
  return PathIn(directory, kWorkFolderName);
}

std::wstring PathIn(const std::wstring& folder, std::wstring_view name) {
  return folder + L"/" + std::wstring(name);
}

std::wstring MakeWorkFolder(const std::wstring& directory) {
  const std::wstring folder = WorkFolderPath(directory);
  const std::string path = ToUtf8(folder);
  struct stat info {};
  if (mkdir(path.c_str(), 0700) == 0) return folder;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? folder : directory;
}

bool IsMissingFolder(const RuntimeError& failure) { return failure.code() == ENOENT; }

bool MayMakeFilesIn(const std::wstring& directory) {
  try {
    const TemporaryFile probe(ToUtf8(directory));  // gone again with the object
    return true;
  } catch (const RuntimeError& refused) {
    if (refused.code() == EACCES || refused.code() == EPERM || refused.code() == EROFS) {
      return false;
    }
    throw;
  }
}

void RemoveWorkFolder(const std::wstring& directory, Patience&) {
  const std::string folder = ToUtf8(WorkFolderPath(directory));
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;  // no work folder: nothing was left
  int firstError = 0;
  while (const dirent* entry = readdir(dir.get())) {
    if (!IsTemporaryName(FromUtf8(entry->d_name))) continue;
    if (unlinkat(dirfd(dir.get()), entry->d_name, 0) != 0 && firstError == 0) firstError = errno;
  }
  if (rmdir(folder.c_str()) != 0 && firstError == 0) firstError = errno;
  if (firstError != 0) throw RuntimeError("unlink (left-over copy)", firstError);
}

}  // namespace dravelin
