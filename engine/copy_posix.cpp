// The update's copy on POSIX: through a temporary file in the work folder, renamed into place
// when whole. A running program's file needs nothing special here: rename replaces it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "file_copy.h"
#include "path_parts.h"
#include "runtime_error.h"
#include "utf8.h"
#include "work_folder.h"

namespace dravelin {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the error that a deferred write may only show at close time.
  void closeChecked(const char* what) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw RuntimeError(what, errno);
  }

 private:
  int fd_;
};

std::string WorkFolderOf(const std::string& directory) {
  return directory + "/" + ToUtf8(std::wstring(kWorkFolderName));
}

// The work folder of `directory`, made when missing; the directory itself when the folder cannot
// be had (a file of that name is in the way), so that the copy is made beside its destination.
std::string MakeWorkFolder(const std::string& directory) {
  const std::string folder = WorkFolderOf(directory);
  struct stat info {};
  if (mkdir(folder.c_str(), 0700) == 0) return folder;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? folder : directory;
}

// A temporary file in the work folder, removed again unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& directory) {
    const std::string prefix = ToUtf8(std::wstring(kTemporaryPrefix));
    const std::string suffix = ToUtf8(std::wstring(kTemporarySuffix));
    path_ = directory + "/" + prefix + "XXXXXX" + suffix;
    fd_.reset(mkstemps(path_.data(), static_cast<int>(suffix.size())));
    if (fd_.get() < 0) throw RuntimeError("mkstemps", errno);
  }
  ~TemporaryFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  FileDescriptor& fd() { return fd_; }
  void renameTo(const std::string& destination) {
    if (rename(path_.c_str(), destination.c_str()) != 0) throw RuntimeError("rename", errno);
    path_.clear();
  }

 private:
  std::string path_;
  FileDescriptor fd_;
};

// Plain reads and writes: for file systems that cannot copy between files themselves.
void CopyByReading(int from, int to) {
  constexpr std::size_t kChunk = 1 << 20;
  std::vector<char> buffer(kChunk);
  for (;;) {
    const ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw RuntimeError("read", errno);
    if (got == 0) return;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw RuntimeError("write", errno);
      done += put;
    }
  }
}

// copy_file_range lets the kernel (or the file system: a reflink, a server-side copy) move the
// data without a trip through this process. Where it is not supported for this pair of files,
// nothing has been written yet and the plain copy takes over.
void CopyData(int from, int to) {
  constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
  for (bool first = true;; first = false) {
    const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kMaxChunk, 0);
    if (copied > 0) continue;
    if (copied == 0) return;
    if (errno == EINTR) continue;
    const bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                             errno == EINVAL || errno == EBADF;
    if (first && unsupported) return CopyByReading(from, to);
    throw RuntimeError("copy_file_range", errno);
  }
}

}  // namespace

void CopyOver(const std::wstring& source, const std::wstring& destination) {
  const std::string to = ToUtf8(destination);
  FileDescriptor from(open(ToUtf8(source).c_str(), O_RDONLY | O_CLOEXEC));
  if (from.get() < 0) throw RuntimeError("open", errno);
  struct stat info {};
  if (fstat(from.get(), &info) != 0) throw RuntimeError("fstat", errno);

  TemporaryFile temporary(MakeWorkFolder(ToUtf8(DirectoryOf(destination))));
  CopyData(from.get(), temporary.fd().get());
  if (fchmod(temporary.fd().get(), info.st_mode & 07777) != 0) throw RuntimeError("fchmod", errno);
  const timespec times[2] = {info.st_atim, info.st_mtim};
  if (futimens(temporary.fd().get(), times) != 0) throw RuntimeError("futimens", errno);
  temporary.fd().closeChecked("close");
  temporary.renameTo(to);
}

void RemoveLeftovers(const std::wstring& directory) {
  const std::string folder = WorkFolderOf(ToUtf8(directory));
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
