// Starting the client as a shortcut to it starts it: in its own folder, in a normal window with
// the focus, not waited for; by the shell where the client asks for administrator rights.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace dravelin {

// The two ways of starting a program, each giving the system's error code, ERROR_SUCCESS when the
// program started. `create`: CreateProcessW of `application`, its command line naming `shownPath`,
// in `directory`. `shell`: the shell's start of `path` in `directory`, which asks the user's
// consent for a program whose manifest asks for administrator rights, as a shortcut does, in a
// prompt that `owner` owns.
struct ProcessStarts {
  std::function<DWORD(const std::wstring& application, const std::wstring& shownPath,
                      const std::wstring& directory)>
      create;
  std::function<DWORD(const std::wstring& path, const std::wstring& directory, HWND owner)> shell;
};

const ProcessStarts& SystemProcessStarts();

// Starts the program at `path`, a full path; `owner` owns the consent prompt, if one comes.
// Throws a RuntimeError naming the call that failed.
void StartProgram(const std::wstring& path, HWND owner = nullptr,
                  const ProcessStarts& starts = SystemProcessStarts());

}  // namespace dravelin
