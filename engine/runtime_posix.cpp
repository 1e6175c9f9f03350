// The runtime services on POSIX. Paths are wide strings in the engine and UTF-8 on the system.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>
#include <cwctype>
#include <vector>

#include "runtime.h"
#include "runtime_error.h"
#include "text_input.h"
#include "utf8.h"

extern char** environ;

namespace dravelin {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

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

// File-name pattern with the Windows wildcards: '*' any run, '?' one character, letters in any
// case; "*.*" means every name, dot or not, as it does on Windows.
bool MatchesPattern(std::wstring_view pattern, std::wstring_view name) {
  if (pattern == L"*.*") return true;
  std::size_t p = 0, n = 0, starP = std::wstring_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || std::towupper(pattern[p]) == std::towupper(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

class DirectoryListing final : public Listing {
 public:
  // `pattern` empty: every entry (dot entries excepted); otherwise ordinary files matching it.
  DirectoryListing(DirHandle dir, std::wstring pattern, bool ordinaryOnly)
      : dir_(std::move(dir)), pattern_(std::move(pattern)), ordinaryOnly_(ordinaryOnly) {}

  std::optional<DirEntry> next() override {
    while (dir_) {
      errno = 0;
      const dirent* entry = readdir(dir_.get());
      if (entry == nullptr) {
        if (errno != 0) throw RuntimeError("readdir", errno);
        dir_.reset();
        break;
      }
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      if (ordinaryOnly_ && name.front() == '.') continue;  // hidden, by the POSIX convention
      const std::wstring wideName = FromUtf8(name);
      if (ordinaryOnly_ && !MatchesPattern(pattern_, wideName)) continue;
      struct stat info {};
      if (fstatat(dirfd(dir_.get()), entry->d_name, &info, 0) != 0) continue;  // gone meanwhile
      if (ordinaryOnly_ && !S_ISREG(info.st_mode)) continue;
      return DirEntry{wideName, static_cast<FileTime>(info.st_mtim.tv_sec)};
    }
    return std::nullopt;
  }

 private:
  DirHandle dir_;
  std::wstring pattern_;
  bool ordinaryOnly_;
};

// A listing of at most one entry, for a lookup by full path.
class SingleEntryListing final : public Listing {
 public:
  explicit SingleEntryListing(std::optional<DirEntry> entry) : entry_(std::move(entry)) {}
  std::optional<DirEntry> next() override { return std::exchange(entry_, std::nullopt); }

 private:
  std::optional<DirEntry> entry_;
};

DirHandle OpenDirectory(const std::wstring& directory) {
  DIR* dir = opendir(ToUtf8(directory.empty() ? L"." : directory).c_str());
  if (dir == nullptr && errno != ENOENT && errno != ENOTDIR) throw RuntimeError("opendir", errno);
  return DirHandle(dir);  // a directory that does not exist lists nothing
}

// A temporary file beside the destination of a copy, removed again unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& destination) {
    const std::size_t slash = destination.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
    const std::string name = destination.substr(dir.size());
    path_ = dir + "." + name + ".dravelin-XXXXXX";
    fd_.reset(mkstemp(path_.data()));
    if (fd_.get() < 0) throw RuntimeError("mkstemp", errno);
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

class PosixRuntime final : public Runtime {
 public:
  std::wstring programDirectory() override {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) throw RuntimeError("readlink", errno);
    path.resize(static_cast<std::size_t>(length));
    return FromUtf8(path.substr(0, path.rfind('/')));
  }

  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    const std::size_t slash = pattern.rfind(L'/');
    const std::wstring directory = slash == std::wstring::npos ? L"" : pattern.substr(0, slash);
    const std::wstring namePattern = pattern.substr(slash == std::wstring::npos ? 0 : slash + 1);
    if (namePattern.find_first_of(L"*?") == std::wstring::npos) return lookUp(pattern, namePattern);
    return std::make_unique<DirectoryListing>(OpenDirectory(directory), namePattern, true);
  }

  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    return std::make_unique<DirectoryListing>(OpenDirectory(directory), L"", false);
  }

  std::wstring fileNameKey(const std::wstring& name) override { return name; }

  FileTime fileTimestamp(const std::wstring& path) override {
    struct stat info {};
    if (stat(ToUtf8(path).c_str(), &info) != 0) throw RuntimeError("stat", errno);
    return static_cast<FileTime>(info.st_mtim.tv_sec);
  }

  void copyFile(const std::wstring& source, const std::wstring& destination) override {
    const std::string to = ToUtf8(destination);
    FileDescriptor from(open(ToUtf8(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (from.get() < 0) throw RuntimeError("open", errno);
    struct stat info {};
    if (fstat(from.get(), &info) != 0) throw RuntimeError("fstat", errno);

    TemporaryFile temporary(to);
    CopyData(from.get(), temporary.fd().get());
    if (fchmod(temporary.fd().get(), info.st_mode & 07777) != 0) throw RuntimeError("fchmod", errno);
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (futimens(temporary.fd().get(), times) != 0) throw RuntimeError("futimens", errno);
    temporary.fd().closeChecked("close");
    temporary.renameTo(to);
  }

  void startProgram(const std::wstring& path) override {
    std::string file = ToUtf8(path);
    char* argv[] = {file.data(), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) throw RuntimeError("posix_spawn", error);
  }

  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    std::FILE* file = std::fopen(ToUtf8(path).c_str(), "rb");
    if (file == nullptr) throw RuntimeError("fopen", errno);
    return MakeTextInput(file);
  }

 private:
  static std::unique_ptr<Listing> lookUp(const std::wstring& path, const std::wstring& name) {
    struct stat info {};
    std::optional<DirEntry> entry;
    if (!name.empty() && name.front() != L'.' && stat(ToUtf8(path).c_str(), &info) == 0 &&
        S_ISREG(info.st_mode)) {
      entry = DirEntry{name, static_cast<FileTime>(info.st_mtim.tv_sec)};
    }
    return std::make_unique<SingleEntryListing>(std::move(entry));
  }
};

}  // namespace

std::unique_ptr<Runtime> MakeSystemRuntime() { return std::make_unique<PosixRuntime>(); }

}  // namespace dravelin
