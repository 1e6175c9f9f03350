// The runtime services on POSIX. Paths are wide strings in the engine and UTF-8 on the system.
#include "runtime.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cwctype>
#include <utility>
#include <vector>

#include "path_parts.h"
#include "runtime_error.h"
#include "system_runtime.h"
#include "text_input.h"
#include "utf8.h"

extern char** environ;

namespace dravelin {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::uint64_t SizeOf(const struct stat& info) {
  return S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
}

DirEntry EntryOf(std::wstring name, const struct stat& info) {
  return DirEntry{std::move(name), static_cast<FileTime>(info.st_mtim.tv_sec), SizeOf(info),
                  S_ISDIR(info.st_mode)};
}

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
      return EntryOf(wideName, info);
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

// File actions of one program start, released with it.
struct SpawnActions {
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t actions;
};

class PosixRuntime final : public SystemRuntime {
 public:
  using SystemRuntime::SystemRuntime;

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

  // No short names here: a path reaches the entry of its own name.
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    struct stat info {};
    if (stat(ToUtf8(path).c_str(), &info) == 0) return EntryOf(FileNameOf(path), info);
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw RuntimeError("stat", errno);
  }

  std::uint64_t freeSpace(const std::wstring& directory) override {
    struct statvfs volume {};
    if (statvfs(ToUtf8(directory).c_str(), &volume) != 0) throw RuntimeError("statvfs", errno);
    return std::uint64_t{volume.f_bavail} * volume.f_frsize;
  }

  void startProgram(const std::wstring& path, NativeWindow) override {
    std::string file = ToUtf8(path);
    char* argv[] = {file.data(), nullptr};
    SpawnActions actions;
    // In its own directory, as a shortcut would start it, whatever directory this one runs in.
    const std::string directory = ToUtf8(DirectoryOf(path));
    const int chdirError =
        posix_spawn_file_actions_addchdir_np(&actions.actions, directory.c_str());
    if (chdirError != 0) throw RuntimeError("posix_spawn_file_actions_addchdir_np", chdirError);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, file.c_str(), &actions.actions, nullptr, argv, environ);
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
      entry = EntryOf(name, info);
    }
    return std::make_unique<SingleEntryListing>(std::move(entry));
  }
};

}  // namespace

std::unique_ptr<Runtime> MakeSystemRuntime(Clock& clock, const CopyCalls& calls) {
  return std::make_unique<PosixRuntime>(clock, calls);
}

}  // namespace dravelin
