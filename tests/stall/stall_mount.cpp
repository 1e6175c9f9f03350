#include "stall_mount.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <thread>

#include "program_session.h"
#include "test_tree.h"
#include "uidriver.h"
#include "win32/handles.h"
#include "win32/last_error.h"

namespace dravelin::uitest::stalltest {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// Set by the script that mounts stall-fs.
constexpr RunnerVariables kStallVariables{"DRAVELIN_STALL_MOUNTED", "DRAVELIN_STALL_SOURCE",
                                          "DRAVELIN_STALL_CONTROL", "tests/stall/run-stall-tests"};

// A program under test reaches its first listing or read within a second or two; the bounds
// only keep a stall that never comes, or never ends, from stalling the test binary.
constexpr auto kStallStartTimeout = 30s;
constexpr auto kStallEndSlack = 30s;  // beyond the length asked for

std::wstring_view KindName(StallKind kind) {
  return kind == StallKind::Listing ? L"listing" : L"read";
}

std::wstring ControlFile(std::wstring_view name) { return JoinPath(Mount().control, name); }

std::wstring MarkerPath(StallKind kind, std::wstring_view state) {
  return ControlFile(std::wstring(KindName(kind)) + L"-" + std::wstring(state));
}

bool Present(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Remove(const std::wstring& path) {
  if (!::DeleteFileW(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
    win::ThrowLastError("DeleteFileW");
}

void WriteWhole(const std::wstring& path, std::string_view bytes) {
  const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) win::ThrowLastError("CreateFileW");
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    win::ThrowLastError("WriteFile");
}

// Whether the file opens for reading: Wine's server opens it, so a server held up by the stall
// would not answer.
bool Opens(const std::wstring& path) {
  const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

// Puts a request in the control directory, under another name first: stall-fs never reads half
// a request.
void PlaceRequest(const std::wstring& request, const std::string& text) {
  const std::wstring partial = ControlFile(L"." + request + L".partial");
  WriteWhole(partial, text);
  if (!::MoveFileExW(partial.c_str(), ControlFile(request).c_str(), MOVEFILE_REPLACE_EXISTING))
    win::ThrowLastError("MoveFileExW");
}

}  // namespace

const MountLocation& Mount() {
  static const MountLocation mount = ReadMountLocation(kStallVariables);
  return mount;
}

StallFolder::StallFolder() : MountedFolder(Mount()) {}

std::wstring StallFolder::relative(std::wstring_view name) const {
  return name.empty() ? this->name() : this->name() + L"/" + std::wstring(name);
}

void StallFolder::write(std::wstring_view name, std::string_view bytes, FileTime modified) const {
  const std::wstring path = behind(name);
  WriteWhole(path, bytes);
  testing::SetModified(path, modified);
}

ArmedStall ArmStall(StallKind kind, Milliseconds length, std::wstring_view file) {
  Remove(MarkerPath(kind, L"stalled"));
  Remove(MarkerPath(kind, L"resumed"));
  const std::wstring request = L"stall-" + std::wstring(KindName(kind));
  std::string text = std::to_string(length.count());
  if (!file.empty()) text.append(1, ' ').append(uidriver::ToUtf8(file));
  PlaceRequest(request, text);
  return {kind, length};
}

void WaitForStallToBegin(const ArmedStall& stall) {
  const std::wstring stalled = MarkerPath(stall.kind, L"stalled");
  if (!WaitUntil([&] { return Present(stalled); }, kStallStartTimeout)) {
    throw std::runtime_error("stall-fs did not stall: the stall was never taken");
  }
}

FarServer::FarServer(Milliseconds latency) {
  PlaceRequest(L"latency", std::to_string(latency.count()));
}

FarServer::~FarServer() { Remove(ControlFile(L"latency")); }

StallWatch WatchStall(const ArmedStall& stall, HWND window, const std::wstring& openMeanwhile,
                      Milliseconds probeLimit, Milliseconds interval,
                      const std::function<bool()>& happened) {
  const std::wstring stalled = MarkerPath(stall.kind, L"stalled");
  const std::wstring resumed = MarkerPath(stall.kind, L"resumed");
  WaitForStallToBegin(stall);
  const auto deadline = Clock::now() + stall.length + uidriver::Scaled(kStallEndSlack);
  StallWatch watch;
  watch.stalled = uidriver::FromUtf8(testing::ReadAll(stalled));
  watch.mountOpenedDuringStall = Opens(openMeanwhile) && !Present(resumed);
  for (;;) {
    // Seen to hold, and then the stall not yet over: it held while the stall lasted.
    const bool held = !watch.happenedDuringStall && happened && happened();
    if (Present(resumed)) break;
    watch.happenedDuringStall = watch.happenedDuringStall || held;
    if (Clock::now() >= deadline) throw std::runtime_error("the stall did not end in time");
    if (!::IsWindow(window)) throw std::runtime_error("the window went while the stall lasted");
    const auto sent = Clock::now();
    const std::optional<Milliseconds> answer = uidriver::Probe(window, probeLimit);
    ++watch.probes;
    if (!answer) ++watch.lost;
    const auto waited = std::chrono::duration_cast<Milliseconds>(Clock::now() - sent);
    watch.longest = std::max(watch.longest, waited);
    std::this_thread::sleep_until(sent + interval);
  }
  return watch;
}

}  // namespace dravelin::uitest::stalltest
