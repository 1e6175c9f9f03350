// A stand-in for the client program: proves that it was started by writing "client-started.txt"
// beside itself, with the working directory it was started in (UTF-8) on its second line and the
// moment its process was made on its third (microseconds since 1970, for the benchmark to time a
// start up to the client without the client's own loading), then shows a small window for a few
// seconds and ends.
#include <windows.h>

#include <cstdint>
#include <string>

#include "windows_ticks.h"

namespace {

constexpr UINT kShowMilliseconds = 4000;
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kWidth = 320;
constexpr int kHeight = 120;
constexpr int kRenameAttempts = 500;
constexpr DWORD kRenamePauseMs = 10;

std::wstring MarkerPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"client-started.txt";
}

std::string WorkingDirectoryUtf8() {
  std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
  directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
  std::string utf8(
      WideCharToMultiByte(CP_UTF8, 0, directory.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, directory.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()),
                      nullptr, nullptr);
  utf8.resize(utf8.empty() ? 0 : utf8.size() - 1);  // without the terminating NUL
  return utf8;
}

// The system's record of when this process was made, which is the moment that whoever started it
// was done; the client's own loading comes after.
std::int64_t MicrosecondsSinceProcessMade() {
  FILETIME made{}, ended{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &made, &ended, &kernel, &user)) return 0;
  const std::int64_t ticks =
      (static_cast<std::int64_t>(made.dwHighDateTime) << 32) | made.dwLowDateTime;
  return (ticks - dravelin::kTicksFrom1601To1970) / 10;
}

// Written under another name and renamed, so that a test never reads half a marker.
void WriteMarker() {
  const std::wstring marker = MarkerPath();
  const std::wstring partial = marker + L".partial";
  const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = "started\r\n" + WorkingDirectoryUtf8() + "\r\n" +
                           std::to_string(MicrosecondsSinceProcessMade()) + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  // A scanner may read the new file for a moment (the tests' file-holder does), and the rename
  // waits for it.
  for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
    if (MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    if (GetLastError() != ERROR_SHARING_VIOLATION) return;
    Sleep(kRenamePauseMs);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, L"The client program is running.", -1, &client,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WriteMarker();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"SampleClient";
  RegisterClassW(&windowClass);
  const HWND window =
      CreateWindowExW(0, L"SampleClient", L"Sample client", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  SetTimer(window, kCloseTimer, kShowMilliseconds, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
