#include "program_start.h"

#include <objbase.h>
#include <shellapi.h>

#include <vector>

#include "long_path.h"
#include "path_parts.h"
#include "runtime_error.h"
#include "win32/handles.h"
#include "win32/library_search.h"

namespace dravelin {

namespace {

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

// In a normal window with the focus, in `directory` as its working directory: a client looks for
// its data files there, whatever folder this program was started from.
DWORD CreateProcessIn(const std::wstring& application, const std::wstring& shownPath,
                      const std::wstring& directory) {
  std::wstring commandLine = L"\"" + shownPath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &process)) {
    return GetLastError();
  }
  const win::UniqueKernelHandle thread(process.hThread);
  const win::UniqueKernelHandle started(process.hProcess);
  return ERROR_SUCCESS;
}

// COM, apartment-threaded, on this thread for the object's life, where it can be had: the
// shell's start asks for it, for the shell extensions that it may call (the consent prompt's
// among them) and which may fail the start, silently, without it. Its library is loaded with the
// shell's, and only then.
class ComApartment {
 public:
  ComApartment() {
    const HMODULE com = win::LoadSystemLibrary(L"ole32.dll");
    if (!com) return;
    const auto initialize = reinterpret_cast<HRESULT(WINAPI*)(void*, DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(com, "CoInitializeEx")));
    const auto uninitialize = reinterpret_cast<void(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(com, "CoUninitialize")));
    // S_FALSE (already so on this thread) is released too; another apartment is left as it is.
    if (initialize && uninitialize &&
        SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
      uninitialize_ = uninitialize;
    }
  }
  ~ComApartment() {
    if (uninitialize_) uninitialize_();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  void(WINAPI* uninitialize_)() = nullptr;
};

// The shell's library is loaded only here, for the rare client that needs it: every start of this
// program would pay for it otherwise. It stays loaded: the shell may leave threads behind.
DWORD ShellStart(const std::wstring& path, const std::wstring& directory, HWND owner) {
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const ComApartment apartment;
  const HMODULE shell = win::LoadSystemLibrary(L"shell32.dll");
  if (!shell) return GetLastError();
  const auto execute = reinterpret_cast<ShellExecuteExFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExW")));
  if (!execute) return GetLastError();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // NOASYNC: done before this returns, for this program ends right after. FLAG_NO_UI: the
  // program shows no messages of its own; the consent prompt is the system's and still comes.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  // The prompt belongs to the progress window, still up and in front: a prompt with no owner, or
  // one of a program no longer in front, may only flash on the taskbar.
  info.hwnd = owner;
  info.lpFile = path.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  return execute(&info) ? ERROR_SUCCESS : GetLastError();
}

// CreateProcessW's answer for a program whose manifest asks for administrator rights (740; the
// headers of this tool chain lack its name).
constexpr DWORD kElevationRequired = 740;

// SetCurrentDirectory's limit: MAX_PATH less the closing separator and the terminating NUL.
constexpr std::size_t kLongestWorkingDirectory = MAX_PATH - 2;

// Wine cannot start a program whose full path has MAX_PATH characters or more, in either form
// (nor can Windows without the long-path opt-in). Started by its bare short name from its own
// directory, made current in its 8.3 form, it runs.
bool StartByShortName(const std::wstring& path, const ProcessStarts& starts) {
  const std::wstring shortened = ShortPath(path);
  const std::wstring directory = DirectoryOf(shortened);
  if (shortened.empty() || directory.size() >= MAX_PATH) return false;
  const ScopedCurrentDirectory here(directory);
  return here && starts.create(FileNameOf(shortened), path, directory) == ERROR_SUCCESS;
}

}  // namespace

const ProcessStarts& SystemProcessStarts() {
  static const ProcessStarts starts{CreateProcessIn, ShellStart};
  return starts;
}

void StartProgram(const std::wstring& path, HWND owner, const ProcessStarts& starts) {
  const std::wstring directory = DirectoryOf(path);
  // A working directory must be shorter than MAX_PATH (and is taken in its ordinary form only);
  // given a longer one, Wine now and then fails the start or leaves the new process hanging. A
  // program that deep is started by its short name from its short directory.
  DWORD error = ERROR_FILENAME_EXCED_RANGE;
  if (directory.size() < kLongestWorkingDirectory) {
    error = starts.create(ExtendedLengthPath(path), path, directory);
    // A client whose manifest asks for administrator rights: CreateProcessW refuses it, where a
    // shortcut would show the consent prompt. The shell does that.
    if (error == kElevationRequired) {
      error = starts.shell(path, directory, owner);
      if (error != ERROR_SUCCESS) throw RuntimeError("ShellExecuteExW", static_cast<long>(error));
    }
    if (error == ERROR_SUCCESS) return;
  }
  if (path.size() >= MAX_PATH && StartByShortName(path, starts)) return;
  throw RuntimeError("CreateProcessW", static_cast<long>(error));
}

}  // namespace dravelin
