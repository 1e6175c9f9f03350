#include "share_server.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "program_session.h"
#include "test_tree.h"
#include "uidriver.h"
#include "win32/file_times.h"
#include "win32/handles.h"
#include "win32/last_error.h"

namespace dravelin::uitest::sharetest {

namespace {

using namespace std::chrono_literals;

// Set by the script that serves and mounts the share.
constexpr RunnerVariables kShareVariables{"DRAVELIN_SHARE_MOUNTED", "DRAVELIN_SHARE_SERVED",
                                          "DRAVELIN_SHARE_CONTROL", "tests/share/run-share-tests"};

// The script looks for requests ten times a second; stopping smbd takes it well under a second
// and starting it a second or two. The bound only keeps a lost request from stalling the tests.
constexpr auto kRequestTimeout = 30s;

// A request is a file of this name in the control directory; the script removes it when done
// and leaves the server's state ("running" or "stopped") in the state file.
constexpr std::wstring_view kStopRequest = L"stop-server";
constexpr std::wstring_view kStartRequest = L"start-server";
constexpr std::wstring_view kStateFile = L"server-state";
constexpr std::string_view kStopped = "stopped";
constexpr std::string_view kRunning = "running";

// Leaves a request for the script and waits until it has been carried out.
void Request(std::wstring_view request, std::string_view expectedState) {
  const std::wstring& control = Share().control;
  const std::wstring requestPath = JoinPath(control, request);
  std::ofstream(testing::Path(requestPath)).close();
  if (!WaitUntil(
          [&] { return ::GetFileAttributesW(requestPath.c_str()) == INVALID_FILE_ATTRIBUTES; },
          kRequestTimeout)) {
    throw std::runtime_error("run-share-tests did not answer the request " +
                             uidriver::ToUtf8(request));
  }
  const std::string state = testing::ReadAll(JoinPath(control, kStateFile));
  if (state != expectedState) {
    throw std::runtime_error("after " + uidriver::ToUtf8(request) + " the server is " + state);
  }
}

FILETIME ToFiletime(PreciseTime time) {
  return win::FiletimeOf(win::TicksOf(win::FiletimeAt(time.seconds)) + time.ticks);
}

}  // namespace

const MountLocation& Share() {
  static const MountLocation share = ReadMountLocation(kShareVariables);
  return share;
}

ServerOutage::ServerOutage() { Request(kStopRequest, kStopped); }

ServerOutage::~ServerOutage() {
  try {
    Request(kStartRequest, kRunning);
  } catch (const std::exception& error) {
    // A destructor cannot fail the test; the tests after this one fail on the dead share instead.
    std::fprintf(stderr, "the share's server was not started again: %s\n", error.what());
  }
}

SharedFolder::SharedFolder() : MountedFolder(Share()) {}

// As copying a file onto a share writes it: a piece at a time, so that a reader of a large file
// meanwhile finds it truncated and growing.
constexpr std::size_t kWritePieceBytes = std::size_t{1} << 20;

void SharedFolder::write(std::wstring_view name, std::string_view bytes,
                         PreciseTime modified) const {
  const std::wstring path = behind(name);
  const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) win::ThrowLastError("CreateFileW");
  for (std::size_t done = 0; done < bytes.size();) {
    const auto piece = static_cast<DWORD>(std::min(bytes.size() - done, kWritePieceBytes));
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data() + done, piece, &written, nullptr) || written != piece)
      win::ThrowLastError("WriteFile");
    done += piece;
  }
  const FILETIME time = ToFiletime(modified);
  if (!::SetFileTime(file.get(), nullptr, nullptr, &time)) win::ThrowLastError("SetFileTime");
}

void SharedFolder::makeDirectory(std::wstring_view name) const {
  if (!::CreateDirectoryW(behind(name).c_str(), nullptr)) win::ThrowLastError("CreateDirectoryW");
}

PreciseTime PreciseModified(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    win::ThrowLastError("GetFileAttributesExW");
  const FileTime seconds = win::SecondsOf(data.ftLastWriteTime);
  return {seconds, win::TicksOf(data.ftLastWriteTime) - win::TicksOf(win::FiletimeAt(seconds))};
}

}  // namespace dravelin::uitest::sharetest
