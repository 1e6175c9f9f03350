// The runtime services on Windows, through the wide-character API only.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "handles.h"
#include "long_path.h"
#include "runtime.h"
#include "runtime_error.h"
#include "text949.h"
#include "text_input.h"

namespace dravelin {

namespace {

// FILETIME counts 100-ns intervals since 1601; FileTime whole seconds since 1970.
constexpr ULONGLONG kTicksPerSecond = 10'000'000;
constexpr ULONGLONG kTicksFrom1601To1970 = 116'444'736'000'000'000;

FileTime ToFileTime(const FILETIME& ft) {
  const auto ticks = static_cast<LONGLONG>((ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime);
  const LONGLONG since1970 = ticks - static_cast<LONGLONG>(kTicksFrom1601To1970);
  const auto perSecond = static_cast<LONGLONG>(kTicksPerSecond);
  // Round towards the past, also before 1970, so the text shows the second the file was written in.
  return since1970 >= 0 ? since1970 / perSecond : -((-since1970 + perSecond - 1) / perSecond);
}

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

class FindListing final : public Listing {
 public:
  // `ordinaryOnly`: skip directories, hidden and system files; otherwise skip only "." and "..".
  FindListing(const std::wstring& pattern, bool ordinaryOnly) : ordinaryOnly_(ordinaryOnly) {
    // FindExInfoBasic skips the short 8.3 name, and the large fetch asks the file system for
    // bigger batches: both cut the cost of listing large directories over the network.
    find_.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find_) {
      const DWORD error = GetLastError();
      // Nothing to list is no failure: an empty listing, as for a directory with no match.
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
          error != ERROR_NO_MORE_FILES) {
        throw RuntimeError("FindFirstFileExW", error);
      }
    }
    pending_ = static_cast<bool>(find_);
  }

  std::optional<DirEntry> next() override {
    while (pending_) {
      const WIN32_FIND_DATAW current = data_;
      pending_ = FindNextFileW(find_.get(), &data_) != 0;
      if (!pending_) {
        const DWORD error = GetLastError();
        find_.reset();
        if (error != ERROR_NO_MORE_FILES) throw RuntimeError("FindNextFileW", error);
      }
      if (wanted(current)) return DirEntry{current.cFileName, ToFileTime(current.ftLastWriteTime)};
    }
    return std::nullopt;
  }

 private:
  bool wanted(const WIN32_FIND_DATAW& entry) const {
    if (ordinaryOnly_) return (entry.dwFileAttributes & kNotOrdinary) == 0;
    return !IsDotEntry(entry.cFileName);
  }

  bool ordinaryOnly_;
  bool pending_ = false;
  WIN32_FIND_DATAW data_{};
  win::UniqueFindHandle find_;
};

std::wstring DirectoryOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? L"." : path.substr(0, separator);
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// Temporary files are named "dvl", eight hex digits, ".tmp"; a name that is taken is passed over.
constexpr int kTemporaryNameAttempts = 64;
constexpr std::size_t kTemporaryNameLength = sizeof "dvl00000000.tmp";
// Spreads process ids over the 32 bits (Knuth's multiplicative hashing constant).
constexpr DWORD kProcessIdSpread = 0x9E3779B1u;

std::wstring TemporaryName() {
  // Different per process and per call: two copies running at once do not keep colliding.
  static DWORD next = GetCurrentProcessId() * kProcessIdSpread ^ GetTickCount();
  wchar_t name[kTemporaryNameLength];
  std::swprintf(name, kTemporaryNameLength, L"dvl%08lX.tmp", static_cast<unsigned long>(next++));
  return name;
}

// A uniquely named file beside the destination of a copy, removed again unless it was moved
// into place. Made here rather than with GetTempFileNameW, which takes directories of fewer than
// MAX_PATH characters only (and Wine's version writes past its MAX_PATH buffer instead).
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& destination) {
    const std::wstring directory = DirectoryOf(destination);
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      std::wstring candidate = ExtendedLengthPath(directory + L"\\" + TemporaryName());
      // CREATE_NEW fails on a name that exists, so the file is ours alone.
      const win::UniqueFile created(CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (created) {
        path_ = std::move(candidate);
        return;
      }
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    throw RuntimeError("CreateFileW (temporary file)", error);
  }
  ~TemporaryFile() {
    if (path_.empty()) return;
    // The copy carries the source's attributes; a read-only temporary file would refuse deletion.
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::wstring& path() const { return path_; }
  void moveTo(const std::wstring& destination) {
    if (!MoveFileExW(path_.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      throw RuntimeError("MoveFileExW", GetLastError());
    }
    path_.clear();
  }

 private:
  std::wstring path_;
};

// The current directory for a while, put back as it was afterwards.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::wstring& directory) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> previous(size);
    if (size == 0 || GetCurrentDirectoryW(size, previous.data()) >= size) return;
    if (SetCurrentDirectoryW(directory.c_str())) previous_ = previous.data();
  }
  ~ScopedCurrentDirectory() {
    if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
  }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

  explicit operator bool() const { return !previous_.empty(); }

 private:
  std::wstring previous_;
};

// Starts `application` in a normal window with the focus, its command line naming `shownPath`.
// Gives the system's error code, ERROR_SUCCESS when it started.
DWORD StartProcess(const std::wstring& application, const std::wstring& shownPath) {
  std::wstring commandLine = L"\"" + shownPath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return GetLastError();
  }
  const win::UniqueKernelHandle thread(process.hThread);
  const win::UniqueKernelHandle started(process.hProcess);
  return ERROR_SUCCESS;
}

// Wine cannot start a program whose full path has MAX_PATH characters or more, in either form
// (nor can Windows without the long-path opt-in). Started by its bare short name from its own
// directory, made current in its 8.3 form, it runs.
bool StartByShortName(const std::wstring& path) {
  const std::wstring shortened = ShortPath(path);
  const std::wstring directory = DirectoryOf(shortened);
  if (shortened.empty() || directory.size() >= MAX_PATH) return false;
  const ScopedCurrentDirectory here(directory);
  return here && StartProcess(FileNameOf(shortened), path) == ERROR_SUCCESS;
}

class Win32Runtime final : public Runtime {
 public:
  std::wstring programDirectory() override {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
      const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) throw RuntimeError("GetModuleFileNameW", GetLastError());
      if (length < path.size()) return DirectoryOf(std::wstring(path.data(), length));
      path.resize(path.size() * 2);  // truncated: try again with room to spare
    }
  }

  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    return std::make_unique<FindListing>(ExtendedLengthPath(pattern), true);
  }

  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    return std::make_unique<FindListing>(ExtendedLengthPath(directory + L"\\*"), false);
  }

  std::wstring fileNameKey(const std::wstring& name) override { return UpperCase(name); }

  FileTime fileTimestamp(const std::wstring& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) {
      throw RuntimeError("GetFileAttributesExW", GetLastError());
    }
    return ToFileTime(data.ftLastWriteTime);
  }

  void copyFile(const std::wstring& source, const std::wstring& destination) override {
    const std::wstring from = ExtendedLengthPath(source);
    const std::wstring to = ExtendedLengthPath(destination);
    // A read-only destination stays as it is, as the system's own copy leaves it. Windows'
    // MoveFileEx refuses to replace it as well, but Wine's replaces it, so ask first.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      throw RuntimeError("CopyFileW (read-only destination)", ERROR_ACCESS_DENIED);
    }
    TemporaryFile temporary(to);
    // CopyFileW brings the data, the attributes and the last-write time along.
    if (!CopyFileW(from.c_str(), temporary.path().c_str(), FALSE)) {
      throw RuntimeError("CopyFileW", GetLastError());
    }
    temporary.moveTo(to);
  }

  void startProgram(const std::wstring& path) override {
    const DWORD error = StartProcess(ExtendedLengthPath(path), path);
    if (error == ERROR_SUCCESS) return;
    if (path.size() >= MAX_PATH && StartByShortName(path)) return;
    throw RuntimeError("CreateProcessW", error);
  }

  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    std::FILE* file = _wfopen(ExtendedLengthPath(path).c_str(), L"rb");
    if (file == nullptr) throw RuntimeError("_wfopen", static_cast<long>(GetLastError()));
    return MakeTextInput(file);
  }
};

}  // namespace

std::unique_ptr<Runtime> MakeSystemRuntime() { return std::make_unique<Win32Runtime>(); }

}  // namespace dravelin
