// Another program holding a folder's files: file-holder, started and ended by the tests.
#include <stdexcept>

#include "program_session.h"
#include "uidriver.h"
#include "win32/last_error.h"

namespace dravelin::uitest {

namespace {

using namespace std::chrono_literals;

// It holds what it was asked to within a second under Wine; this only ends a test whose holder
// never got to it.
constexpr auto kHolderReadyTimeout = 30s;

}  // namespace

FileHolder::FileHolder(Mode mode, const std::wstring& folder, std::chrono::milliseconds hold,
                       const std::wstring& spared) {
  const std::wstring ready = L"dravelin-test-held-" + std::to_wstring(::GetCurrentProcessId()) +
                             L"-" + std::to_wstring(::GetTickCount64());
  const win::UniqueKernelHandle readyEvent(::CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
  if (!readyEvent) win::ThrowLastError("CreateEventW (file holder)");
  std::wstring commandLine = L"\"" + WindowsPath(FILE_HOLDER_PROGRAM) + L"\" " +
                             (mode == EveryFile ? L"all" : L"watch") + L" \"" + folder + L"\" " +
                             std::to_wstring(hold.count()) + L" " + ready +
                             (spared.empty() ? L"" : L" \"" + spared + L"\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  StartProcess("CreateProcessW (file holder)", [&] {
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &started);
  });
  ::CloseHandle(started.hThread);
  process_.reset(started.hProcess);
  const HANDLE either[] = {readyEvent.get(), process_.get()};
  const auto waitMs = static_cast<DWORD>(uidriver::Scaled(kHolderReadyTimeout).count());
  if (::WaitForMultipleObjects(2, either, FALSE, waitMs) != WAIT_OBJECT_0) {
    throw std::runtime_error("the file holder did not get hold of the files");
  }
}

FileHolder::~FileHolder() {
  ::TerminateProcess(process_.get(), 0);  // a holder of every file may have ended already
  ::WaitForSingleObject(process_.get(), INFINITE);
}

}  // namespace dravelin::uitest
