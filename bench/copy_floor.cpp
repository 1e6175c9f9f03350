// copy-floor: the least that the update's copies can cost, for bench/run-bench to time the
// program against. Every file of the server directory is copied under a temporary name into the
// local directory, written through to the disk and then renamed over its own name in one step,
// so that each local file is old-whole or new-whole at every moment, a power cut included.
// Nothing else: no configuration, no window, no question, no times compared.
//   copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [bare]
// "bare" copies each file straight onto its name (CopyFileW alone), for reference: the cost of
// the bytes without the temporary name, the flush and the rename.
// Exit status: 0 done, 1 a system call failed (named on stderr), 2 usage.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "win32/handles.h"
#include "win32/last_error.h"

namespace {

using dravelin::win::ThrowLastError;
using dravelin::win::UniqueFile;
using dravelin::win::UniqueFindHandle;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// One name for every copy in progress: the copies run one after another.
constexpr wchar_t kTemporaryName[] = L"copy-floor.tmp";

enum class Mode { Durable, Bare };

// Writes the file's data and metadata through to the disk before it takes its place.
void FlushToDisk(const std::wstring& path) {
  const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError("CreateFileW (temporary copy)");
  if (!::FlushFileBuffers(file.get())) ThrowLastError("FlushFileBuffers");
}

void CopyDurably(const std::wstring& source, const std::wstring& destination,
                 const std::wstring& temporary) {
  if (!::CopyFileW(source.c_str(), temporary.c_str(), FALSE)) ThrowLastError("CopyFileW");
  FlushToDisk(temporary);
  if (!::MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ThrowLastError("MoveFileExW");
  }
}

void CopyBare(const std::wstring& source, const std::wstring& destination) {
  if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE)) ThrowLastError("CopyFileW");
}

// Copies every file (not the subdirectories) of `server` into `local`, in listing order.
void CopyAll(const std::wstring& server, const std::wstring& local, Mode mode) {
  const std::wstring temporary = local + L"\\" + kTemporaryName;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileExW((server + L"\\*").c_str(), FindExInfoBasic, &entry,
                                                 FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!find) ThrowLastError("FindFirstFileExW");
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring source = server + L"\\" + entry.cFileName;
    const std::wstring destination = local + L"\\" + entry.cFileName;
    if (mode == Mode::Bare) {
      CopyBare(source, destination);
    } else {
      CopyDurably(source, destination, temporary);
    }
  } while (::FindNextFileW(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError("FindNextFileW");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  const bool usable = args.size() == 2 || (args.size() == 3 && args[2] == L"bare");
  if (!usable) {
    std::fputs("usage: copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [bare]\n", stderr);
    return kExitUsage;
  }
  try {
    CopyAll(args[0], args[1], args.size() == 3 ? Mode::Bare : Mode::Durable);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "copy-floor: %s\n", error.what());
    return kExitFailed;
  }
}
