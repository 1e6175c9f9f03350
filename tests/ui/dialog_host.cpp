// dialog-host: asks the replace question as the update pass does, once for each group of three
// texts, so that the dialog can be driven from outside.
//   dialog-host [--legacy] FILE-NAME OLD-DATE NEW-DATE [FILE-NAME OLD-DATE NEW-DATE ...]
// Prints "dpi=N" first, then for each question, once the modal show has returned and the
// dialog is unloaded: "choice=N" (the answer's number, 0 for none) and "owner=enabled|disabled".
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "check_update_dialog.h"
#include "layout.h"
#include "runtime_error.h"
#include "win32/handles.h"
#include "win32/last_error.h"

namespace {

using namespace dravelin;

constexpr wchar_t kOwnerClass[] = L"DialogHostOwner";
constexpr wchar_t kOwnerCaption[] = L"dialog-host owner";
constexpr RECT kOwnerRect{16, 16, 16 + 320, 16 + 200};  // away from the dialog's placements
constexpr size_t kTextsPerQuestion = 3;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 1;

win::UniqueWindow CreateOwner(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kOwnerClass;
  if (!::RegisterClassExW(&windowClass)) win::ThrowLastError("RegisterClassExW");
  win::UniqueWindow owner(
      ::CreateWindowExW(0, kOwnerClass, kOwnerCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        kOwnerRect.left, kOwnerRect.top, kOwnerRect.right - kOwnerRect.left,
                        kOwnerRect.bottom - kOwnerRect.top, nullptr, nullptr, instance, nullptr));
  if (!owner) win::ThrowLastError("CreateWindowExW");
  return owner;
}

void Ask(Build build, HWND owner, HINSTANCE instance, const std::wstring* texts) {
  // A fresh dialog for every question, filled and shown as the update pass does it.
  win::CheckUpdateDialog dialog(build, owner, instance);
  dialog.setFileName(texts[0]);
  dialog.setOldDate(texts[1]);
  dialog.setNewDate(texts[2]);
  const Answer answer = dialog.showModal();
  dialog.unload();
  std::printf("choice=%d\n", static_cast<int>(answer));
  std::printf("owner=%s\n", ::IsWindowEnabled(owner) ? "enabled" : "disabled");
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  Build build = Build::Current;
  if (!args.empty() && args.front() == L"--legacy") {
    build = Build::Legacy;
    args.erase(args.begin());
  }
  if (args.empty() || args.size() % kTextsPerQuestion != 0) {
    std::fputs("usage: dialog-host [--legacy] FILE-NAME OLD-DATE NEW-DATE [...]\n", stderr);
    return kExitUsage;
  }
  try {
    std::printf("dpi=%d\n", win::DisplayDpi());
    std::fflush(stdout);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const win::UniqueWindow owner = CreateOwner(instance);
    for (size_t first = 0; first < args.size(); first += kTextsPerQuestion)
      Ask(build, owner.get(), instance, &args[first]);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dialog-host: %s\n", error.what());
    return kExitFailed;
  }
}
