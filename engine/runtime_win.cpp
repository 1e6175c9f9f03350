// The runtime services on Windows, through the wide-character API only.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "handles.h"
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

// A uniquely named file beside the destination of a copy, removed again unless it was moved
// into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& destination) {
    std::vector<wchar_t> name(MAX_PATH + 1);
    if (GetTempFileNameW(DirectoryOf(destination).c_str(), L"dvl", 0, name.data()) == 0) {
      throw RuntimeError("GetTempFileNameW", GetLastError());
    }
    path_ = name.data();
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
    return std::make_unique<FindListing>(pattern, true);
  }

  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    return std::make_unique<FindListing>(directory + L"\\*", false);
  }

  std::wstring fileNameKey(const std::wstring& name) override { return UpperCase(name); }

  FileTime fileTimestamp(const std::wstring& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      throw RuntimeError("GetFileAttributesExW", GetLastError());
    }
    return ToFileTime(data.ftLastWriteTime);
  }

  void copyFile(const std::wstring& source, const std::wstring& destination) override {
    // A read-only destination stays as it is, as the system's own copy leaves it. Windows'
    // MoveFileEx refuses to replace it as well, but Wine's replaces it, so ask first.
    const DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      throw RuntimeError("CopyFileW (read-only destination)", ERROR_ACCESS_DENIED);
    }
    TemporaryFile temporary(destination);
    // CopyFileW brings the data, the attributes and the last-write time along.
    if (!CopyFileW(source.c_str(), temporary.path().c_str(), FALSE)) {
      throw RuntimeError("CopyFileW", GetLastError());
    }
    temporary.moveTo(destination);
  }

  void startProgram(const std::wstring& path) override {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
      throw RuntimeError("CreateProcessW", GetLastError());
    }
    const win::UniqueKernelHandle thread(process.hThread);
    const win::UniqueKernelHandle started(process.hProcess);
  }

  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) throw RuntimeError("_wfopen", static_cast<long>(GetLastError()));
    return MakeTextInput(file);
  }
};

}  // namespace

std::unique_ptr<Runtime> MakeSystemRuntime() { return std::make_unique<Win32Runtime>(); }

}  // namespace dravelin
