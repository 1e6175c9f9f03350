// copy-floor: the least that the update's copies can cost, for bench/run-bench to time the
// program against. Every file of the server directory, one after another, is read through one
// handle into a temporary name in the local directory, given its time, written through to the
// disk and then renamed over its own name in one step, so that each local file is old-whole or
// new-whole at every moment, a power cut included.
// Then it starts CLIENT, where given, as the program does once its copies are done. Nothing else:
// no configuration, no window, no question, no times compared. It prints the moment its own work
// began (microseconds since 1970), so that it can be timed without Wine's process start.
//   copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [durable|bare [CLIENT]]
// "bare" copies each file straight onto its name (CopyFileW alone), for reference: the cost of
// the bytes without the temporary name, the flush and the rename.
// Exit status: 0 done, 1 a system call failed (named on stderr), 2 usage.
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "floor_clock.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#include "win32/program_start.h"

namespace {

using dravelin::win::ThrowLastError;
using dravelin::win::UniqueFile;
using dravelin::win::UniqueFindHandle;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// One name for every copy in progress: the copies run one after another.
constexpr wchar_t kTemporaryName[] = L"copy-floor.tmp";

enum class Mode { Durable, Bare };

constexpr DWORD kBlockBytes = 1 << 20;

// Reads the source through one handle into the temporary name in 1 MiB blocks, gives the copy the
// source's time, writes it through to the disk and renames it over its own name.
void CopyDurably(const std::wstring& source, const std::wstring& destination,
                 const std::wstring& temporary, std::vector<char>& block) {
  const UniqueFile from(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!from) ThrowLastError("CreateFileW (source)");
  FILETIME modified{};
  if (!::GetFileTime(from.get(), nullptr, nullptr, &modified)) ThrowLastError("GetFileTime");
  {
    const UniqueFile to(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!to) ThrowLastError("CreateFileW (temporary copy)");
    DWORD got = 0;
    do {
      if (!::ReadFile(from.get(), block.data(), kBlockBytes, &got, nullptr))
        ThrowLastError("ReadFile");
      DWORD written = 0;
      if (got && (!::WriteFile(to.get(), block.data(), got, &written, nullptr) || written != got)) {
        ThrowLastError("WriteFile");
      }
    } while (got);
    if (!::SetFileTime(to.get(), nullptr, nullptr, &modified)) ThrowLastError("SetFileTime");
    if (!::FlushFileBuffers(to.get())) ThrowLastError("FlushFileBuffers");
  }
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
  std::vector<char> block(kBlockBytes);
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
      CopyDurably(source, destination, temporary, block);
    }
  } while (::FindNextFileW(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError("FindNextFileW");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::int64_t began = dravelin::bench::MicrosecondsNow();
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  const bool usable = (args.size() >= 2 && args.size() <= 4) &&
                      (args.size() == 2 || args[2] == L"durable" || args[2] == L"bare");
  if (!usable) {
    std::fputs("usage: copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [durable|bare [CLIENT]]\n",
               stderr);
    return kExitUsage;
  }
  try {
    CopyAll(args[0], args[1], args.size() >= 3 && args[2] == L"bare" ? Mode::Bare : Mode::Durable);
    if (args.size() == 4) dravelin::StartProgram(args[3]);
    std::printf("%" PRId64 "\n", began);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "copy-floor: %s\n", error.what());
    return kExitFailed;
  }
}
