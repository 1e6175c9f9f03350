// The runtime services on Windows, through the wide-character API only.
#include "runtime.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "long_path.h"
#include "path_parts.h"
#include "program_path.h"
#include "program_start.h"
#include "runtime_error.h"
#include "system_runtime.h"
#include "text949.h"
#include "text_input.h"
#include "win32/file_times.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/later_file_classes.h"

namespace dravelin {

namespace {

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::uint64_t SizeOf(const WIN32_FIND_DATAW& entry) {
  return (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

DirEntry EntryOf(const WIN32_FIND_DATAW& entry) {
  return DirEntry{entry.cFileName, win::SecondsOf(entry.ftLastWriteTime), SizeOf(entry),
                  (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

// Nothing there to list is no failure.
bool NothingThere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_NO_MORE_FILES;
}

class FindListing final : public Listing {
 public:
  // `ordinaryOnly`: skip directories, hidden and system files; otherwise skip only "." and "..".
  FindListing(const std::wstring& pattern, bool ordinaryOnly) : ordinaryOnly_(ordinaryOnly) {
    // FindExInfoBasic skips the short 8.3 name, and the large fetch asks the file system for
    // bigger batches: both cut the cost of listing large directories over the network.
    find_.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH));
    // Nothing to list is no failure: an empty listing, as for a directory with no match.
    if (!find_) {
      const DWORD error = GetLastError();
      if (!NothingThere(error)) throw RuntimeError("FindFirstFileExW", error);
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
      if (wanted(current)) return EntryOf(current);
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

// Whether `directory` tells file names apart by letter case. Windows 10 1803 and later can make a
// folder so (WSL does for its own); older systems refuse the query, and none of their folders is.
bool TellsCaseApart(const std::wstring& directory) {
  const win::UniqueFile folder(
      CreateFileW(ExtendedLengthPath(directory).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILE_CASE_SENSITIVE_INFO info{};
  return folder &&
         GetFileInformationByHandleEx(folder.get(), win::kFileCaseSensitiveInfo, &info,
                                      sizeof info) &&
         (info.Flags & win::kCaseSensitiveDirectory) != 0;
}

class Win32Runtime final : public SystemRuntime {
 public:
  using SystemRuntime::SystemRuntime;

  std::wstring programDirectory() override { return DirectoryOf(RunningProgramPath()); }

  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    return std::make_unique<FindListing>(ExtendedLengthPath(pattern), true);
  }

  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    return std::make_unique<FindListing>(ExtendedLengthPath(directory + L"\\*"), false);
  }

  // Letter case does not tell names apart, but in a folder made case-sensitive.
  std::wstring fileNameKey(const std::wstring& name) override {
    std::call_once(caseLookedUp_, [&] { caseSensitive_ = TellsCaseApart(programDirectory()); });
    return caseSensitive_ ? name : UpperCase(name);
  }

  // A name without wildcards finds one entry, which carries the name that the file system gives
  // it: a short 8.3 name finds its file's long name.
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    WIN32_FIND_DATAW data{};
    const win::UniqueFindHandle found(FindFirstFileExW(ExtendedLengthPath(path).c_str(),
                                                       FindExInfoBasic, &data,
                                                       FindExSearchNameMatch, nullptr, 0));
    if (found) return EntryOf(data);
    if (NothingThere(GetLastError())) return std::nullopt;
    win::ThrowLastError("FindFirstFileExW (lookup)");
  }

  std::uint64_t freeSpace(const std::wstring& directory) override {
    ULARGE_INTEGER available{};
    // A directory's path with its closing separator, as a share's root must be given.
    if (!GetDiskFreeSpaceExW(ExtendedLengthPath(directory + L"\\").c_str(), &available, nullptr,
                             nullptr)) {
      win::ThrowLastError("GetDiskFreeSpaceExW");
    }
    return available.QuadPart;
  }

  void startProgram(const std::wstring& path, NativeWindow owner) override {
    StartProgram(path, static_cast<HWND>(owner));
  }

  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    std::FILE* file = _wfopen(ExtendedLengthPath(path).c_str(), L"rb");
    if (file == nullptr) win::ThrowLastError("_wfopen");
    return MakeTextInput(file);
  }

 private:
  std::once_flag caseLookedUp_;
  bool caseSensitive_ = false;  // whether the client folder tells names apart by letter case
};

}  // namespace

std::unique_ptr<Runtime> MakeSystemRuntime(Clock& clock, const CopyCalls& calls) {
  return std::make_unique<Win32Runtime>(clock, calls);
}

}  // namespace dravelin
