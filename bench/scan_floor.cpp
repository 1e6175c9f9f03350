// scan-floor: the least that a start-up check with nothing to update can cost a Windows program
// with a window, for bench/run-bench to time the program against. It shows what the user must
// see: a window with the banner picture and an animation control, the common controls loaded at
// run time as the program loads them (manifest and all); meanwhile, on a thread of its own, it
// lists the server directory and the local directory once each, compares each server file's
// last-write time with that of the local file of the same name (letter case aside), destroys
// the window, starts the client program without waiting for it, and ends.
//   scan-floor SERVER-DIRECTORY LOCAL-DIRECTORY CLIENT-PROGRAM
// The client starts in its own directory, as the program starts it.
// Exit status: 0 every server file is up to date locally, 3 some are not, 1 a system call failed.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <exception>
#include <future>
#include <string>
#include <unordered_map>

#include "artwork.h"
#include "resource_ids.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/library_search.h"
#include "win32/program_start.h"
#include "window_class.h"

namespace {

using dravelin::win::ThrowLastError;
using dravelin::win::UniqueFindHandle;
using dravelin::win::UniqueWindow;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitOutOfDate = 3;
constexpr int kArguments = 4;  // the program's own name and three more
constexpr wchar_t kWindowClass[] = L"DravelinScanFloor";
constexpr wchar_t kCaption[] = L"scan floor";
constexpr int kWidth = 480;
constexpr int kHeight = 260;
constexpr int kBannerWidth = 445;  // the banner picture's size
constexpr int kBannerHeight = 146;
constexpr int kAnimationSize = 48;

// Names as the file system compares them: letter case aside.
std::wstring NameKey(const wchar_t* name) {
  std::wstring key(name);
  ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

// Calls `visit` with each entry of `directory` (subdirectories included), from one listing.
template <typename Visit>
void ListOnce(const std::wstring& directory, Visit visit) {
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileExW((directory + L"\\*").c_str(), FindExInfoBasic,
                                                 &entry, FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!find) ThrowLastError("FindFirstFileExW");
  do {
    visit(entry);
  } while (::FindNextFileW(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError("FindNextFileW");
}

// How many server files are missing locally or newer than the local copy.
int OutOfDateFiles(const std::wstring& server, const std::wstring& local) {
  std::unordered_map<std::wstring, FILETIME> localTimes;
  ListOnce(local, [&](const WIN32_FIND_DATAW& entry) {
    localTimes.emplace(NameKey(entry.cFileName), entry.ftLastWriteTime);
  });
  int outOfDate = 0;
  ListOnce(server, [&](const WIN32_FIND_DATAW& entry) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
    const auto found = localTimes.find(NameKey(entry.cFileName));
    const bool missing = found == localTimes.end();
    if (missing || ::CompareFileTime(&entry.ftLastWriteTime, &found->second) > 0) ++outOfDate;
  });
  return outOfDate;
}

// A window with the banner picture and an animation control above it, shown.
UniqueWindow ShowWindowWithPictures(HINSTANCE instance, HBITMAP banner) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&windowClass)) ThrowLastError("RegisterClassExW");
  dravelin::win::RegisterAnimationClass();
  UniqueWindow window(::CreateWindowExW(0, kWindowClass, kCaption, WS_OVERLAPPEDWINDOW,
                                        CW_USEDEFAULT, CW_USEDEFAULT, kWidth, kHeight, nullptr,
                                        nullptr, instance, nullptr));
  if (!window) ThrowLastError("CreateWindowExW");
  const HWND picture =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, kBannerWidth,
                        kBannerHeight, window.get(), nullptr, instance, nullptr);
  if (!picture) ThrowLastError("CreateWindowExW (banner)");
  ::SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner));
  if (!::CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | WS_VISIBLE | ACS_CENTER, 0, 0,
                         kAnimationSize, kAnimationSize, window.get(), nullptr, instance,
                         nullptr)) {
    ThrowLastError("CreateWindowExW (animation)");
  }
  ::ShowWindow(window.get(), SW_SHOWNORMAL);
  ::UpdateWindow(window.get());
  return window;
}

// Whatever the window has been sent so far, handled, as any program with a window must.
void DispatchPending() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

int Run(HINSTANCE instance, const std::wstring& server, const std::wstring& local,
        const std::wstring& client) {
  // The listings go on while the window is made, as the program's do.
  std::future<int> outOfDate =
      std::async(std::launch::async, [&] { return OutOfDateFiles(server, local); });
  const dravelin::win::UniqueBitmap banner =
      dravelin::win::LoadBitmapResource(instance, IDB_BANNER);
  UniqueWindow window = ShowWindowWithPictures(instance, banner.get());
  DispatchPending();
  const bool upToDate = outOfDate.get() == 0;
  dravelin::StartProgram(client, window.get());
  window.reset();
  return upToDate ? 0 : kExitOutOfDate;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // As the program does: without it, every library loaded from here on (the window system's, the
  // animation's) is first looked for in the client folder, a read of its thousands of names each
  // under Wine.
  dravelin::win::LoadLibrariesFromTheSystemOnly();
  // A program with a window has no console to explain its usage on: the status says it.
  if (__argc != kArguments) return kExitUsage;
  try {
    return Run(instance, __wargv[1], __wargv[2], __wargv[3]);
  } catch (const std::exception&) {
    return kExitFailed;
  }
}
