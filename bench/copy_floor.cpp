// copy-floor: the least that the update's copies can cost, for bench/run-bench to time the
// program against. The server directory is listed, then every file is read through one handle
// into a temporary name in the local directory, given its time, written through to the disk and
// then renamed over its own name in one step, so that each local file is old-whole or new-whole
// at every moment, a power cut included: one after another ("durable"), or eight at a time, as
// the program copies after Replace All ("inflight").
// Then it starts CLIENT, where given, as the program does once its copies are done. Nothing else:
// no configuration, no window, no question, no times compared. It prints the moment its own work
// began (microseconds since 1970), so that it can be timed without Wine's process start.
//   copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [durable|inflight|bare [CLIENT]]
// "bare" copies each file straight onto its name (CopyFileW alone), for reference: the cost of
// the bytes without the temporary name, the flush and the rename.
// Exit status: 0 done, 1 a system call failed (named on stderr), 2 usage.
#include <windows.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
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
// One name for every copy in progress of a copying thread: "copy-floor-<thread>.tmp".
constexpr wchar_t kTemporaryPrefix[] = L"copy-floor-";
// Copies in flight at once in the "inflight" mode, as many as the program makes.
constexpr int kInFlight = 8;

enum class Mode { Durable, InFlight, Bare };

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

// The names of the files (not the subdirectories) of `server`, in listing order.
std::vector<std::wstring> ListFiles(const std::wstring& server) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileExW((server + L"\\*").c_str(), FindExInfoBasic, &entry,
                                                 FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!find) ThrowLastError("FindFirstFileExW");
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(entry.cFileName);
  } while (::FindNextFileW(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError("FindNextFileW");
  return names;
}

// Copies every file of `server` into `local` on `threads` threads, each taking the next file of
// the listing as it is done, each with a temporary name and a block of its own.
void CopyAll(const std::wstring& server, const std::wstring& local, Mode mode) {
  const std::vector<std::wstring> names = ListFiles(server);
  const int threads = mode == Mode::InFlight ? kInFlight : 1;
  std::atomic<std::size_t> next = 0;
  std::mutex failing;
  std::exception_ptr failure;
  const auto copyThread = [&](int thread) {
    const std::wstring temporary =
        local + L"\\" + kTemporaryPrefix + std::to_wstring(thread) + L".tmp";
    std::vector<char> block(kBlockBytes);
    try {
      for (std::size_t i; (i = next++) < names.size();) {
        const std::wstring source = server + L"\\" + names[i];
        const std::wstring destination = local + L"\\" + names[i];
        if (mode == Mode::Bare) {
          CopyBare(source, destination);
        } else {
          CopyDurably(source, destination, temporary, block);
        }
      }
    } catch (...) {
      const std::lock_guard lock(failing);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> running;
  for (int thread = 1; thread < threads; ++thread) running.emplace_back(copyThread, thread);
  copyThread(0);
  for (std::thread& thread : running) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::int64_t began = dravelin::bench::MicrosecondsNow();
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  const std::wstring mode = args.size() >= 3 ? args[2] : L"durable";
  const bool usable = (args.size() >= 2 && args.size() <= 4) &&
                      (mode == L"durable" || mode == L"inflight" || mode == L"bare");
  if (!usable) {
    std::fputs(
        "usage: copy-floor SERVER-DIRECTORY LOCAL-DIRECTORY [durable|inflight|bare [CLIENT]]\n",
        stderr);
    return kExitUsage;
  }
  try {
    CopyAll(args[0], args[1],
            mode == L"bare"       ? Mode::Bare
            : mode == L"inflight" ? Mode::InFlight
                                  : Mode::Durable);
    if (args.size() == 4) dravelin::StartProgram(args[3]);
    std::printf("%" PRId64 "\n", began);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "copy-floor: %s\n", error.what());
    return kExitFailed;
  }
}
