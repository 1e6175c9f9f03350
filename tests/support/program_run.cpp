// One run of a program: started suspended inside a job object (so that the client it starts is
// held too), with the window hook in place before its first instruction; answered through the
// UI driver; ended and cleared away whatever happens.
#include <chrono>
#include <cwchar>
#include <map>
#include <stdexcept>

#include "check_update_dialog_layout.h"
#include "program_session.h"
#include "program_shown_event.h"
#include "uidriver.h"
#include "win32/last_error.h"
#include "win32/paths.h"

namespace dravelin::uitest {

namespace {

using namespace std::chrono_literals;

// A run asks its questions within a second or two under Wine; these bounds only end runs that
// hang, so that a broken program fails its test instead of stalling the whole binary.
constexpr auto kRunTimeout = 30s;
constexpr auto kMarkerTimeout = 10s;
constexpr auto kShutdownTimeout = 5s;
constexpr auto kPollInterval = 20ms;
constexpr UINT kKilledExitCode = 0xDEAD;
constexpr size_t kMaxProcessesInJob = 16;
constexpr size_t kPathCapacity = 32'768;

// The hook library lies beside this test program. It stays loaded for the test program's life:
// the hooks placed in the programs under test name it.
HMODULE ShownHookLibrary() {
  static const HMODULE library = [] {
    std::wstring self(kPathCapacity, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring path = self.substr(0, self.find_last_of(L'\\') + 1) + SHOWN_HOOK_NAME;
    const HMODULE loaded = ::LoadLibraryW(path.c_str());
    if (!loaded) win::ThrowLastError("LoadLibraryW (window hook library)");
    return loaded;
  }();
  return library;
}

std::wstring ImagePath(DWORD processId) {
  const win::UniqueKernelHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};  // gone meanwhile
  std::wstring path(kPathCapacity, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return {};
  path.resize(size);
  return path;
}

std::wstring LabelText(HWND dialog, int id) {
  const HWND label = ::GetDlgItem(dialog, id);
  if (!label) throw std::runtime_error("the question has no label " + std::to_string(id));
  return uidriver::InspectControl(label).text;
}

std::wstring_view ButtonText(Answer answer) {
  switch (answer) {
    case Answer::Replace:
      return L"교체";
    case Answer::Skip:
      return L"통과";
    case Answer::ReplaceAll:
      return L"모두교체";
    case Answer::SkipAll:
      return L"모두통과";
    case Answer::CloseFrame:
      break;
  }
  throw std::logic_error("no button for closing the frame");
}

win::UniqueKernelHandle MakeJob() {
  win::UniqueKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) win::ThrowLastError("CreateJobObjectW");
  // Should the test itself die, closing its last handle still ends everything in the job.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
    win::ThrowLastError("SetInformationJobObject");
  return job;
}

// This process's environment with `changes` ("NAME=value") set, as a block for CreateProcessW;
// empty when there is nothing to change.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& changes) {
  if (changes.empty()) return {};
  std::map<std::wstring, std::wstring> variables;
  const auto split = [&](std::wstring_view entry) {
    const std::size_t equals = entry.find(L'=', 1);  // names like "=C:" begin with '='
    if (equals != std::wstring_view::npos)
      variables[std::wstring(entry.substr(0, equals))] = std::wstring(entry.substr(equals + 1));
  };
  const wchar_t* strings = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) split(entry);
  ::FreeEnvironmentStringsW(const_cast<wchar_t*>(strings));
  for (const std::wstring& change : changes) split(change);
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  return block + L'\0';
}

}  // namespace

ProgramRun::ProgramRun(const ClientFolder& folder, const StartOptions& options)
    : folder_(folder), job_(MakeJob()) {
  // A marker left by an earlier run in the same directory would pass for this run's client.
  folder.removeClientMarker();
  const std::wstring program = folder.programPath();
  std::wstring commandLine = L"\"" + program + L"\"";
  const std::wstring directory =
      options.currentDirectory.empty() ? folder.directory() : options.currentDirectory;
  std::wstring environment = EnvironmentBlock(options.environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // Suspended, so that the job and the hook are in place before the program does anything.
  StartProcess("CreateProcessW", [&] {
    return ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT,
                            environment.empty() ? nullptr : environment.data(), directory.c_str(),
                            &startup, &started);
  });
  process_.reset(started.hProcess);
  processId_ = started.dwProcessId;
  const win::UniqueKernelHandle thread(started.hThread);
  try {
    if (!::AssignProcessToJobObject(job_.get(), process_.get()))
      win::ThrowLastError("AssignProcessToJobObject");
    const std::wstring eventName = ShownEventName(processId_, kProgressCaption);
    shownEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    if (!shownEvent_) win::ThrowLastError("CreateEventW");
    const auto procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(ShownHookLibrary(), kShownHookProcedure)));
    if (!procedure) win::ThrowLastError("GetProcAddress (window hook)");
    hook_.reset(
        ::SetWindowsHookExW(WH_CALLWNDPROCRET, procedure, ShownHookLibrary(), started.dwThreadId));
    if (!hook_) win::ThrowLastError("SetWindowsHookExW");
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) win::ThrowLastError("ResumeThread");
  } catch (...) {
    ::TerminateProcess(process_.get(), kKilledExitCode);
    throw;
  }
}

ProgramRun::~ProgramRun() { endEverything(); }

bool ProgramRun::ended() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }

bool ProgramRun::endsBefore(HANDLE other) const {
  const HANDLE either[] = {process_.get(), other};
  const auto waitMs = static_cast<DWORD>(uidriver::Scaled(kRunTimeout).count());
  const DWORD first = ::WaitForMultipleObjects(2, either, FALSE, waitMs);
  if (first == WAIT_FAILED) win::ThrowLastError("WaitForMultipleObjects");
  return first == WAIT_OBJECT_0;
}

HWND ProgramRun::nextQuestion() {
  HWND question = nullptr;
  const auto askedOrEnded = [&] {
    if (ended()) return true;
    question = ownWindow(kQuestionCaption);
    return question != nullptr;
  };
  if (!WaitUntil(askedOrEnded, kRunTimeout, kPollInterval)) {
    endEverything();
    throw std::runtime_error("the program neither asked nor ended in time; it was ended");
  }
  if (question) uidriver::WaitUntilReady(question);
  return question;
}

Question ProgramRun::read(HWND dialog) {
  using namespace win::checkupdate;
  return {LabelText(dialog, FileNameLabel), LabelText(dialog, OldDateLabel),
          LabelText(dialog, NewDateLabel)};
}

void ProgramRun::answer(HWND dialog, Answer answer) {
  questions_.push_back(read(dialog));
  if (answer == Answer::CloseFrame) {
    uidriver::CloseThroughSystemMenu(dialog);
  } else {
    uidriver::ClickButton(uidriver::FindControlByText(dialog, ButtonText(answer)));
  }
  uidriver::WaitUntilGone(dialog);
}

RunResult ProgramRun::finish() {
  for (HWND dialog = nextQuestion(); dialog; dialog = nextQuestion())
    answer(dialog, Answer::CloseFrame);
  RunResult result;
  result.questions = questions_;
  if (!::GetExitCodeProcess(process_.get(), &result.exitCode))
    win::ThrowLastError("GetExitCodeProcess");
  result.windowShown = ::WaitForSingleObject(shownEvent_.get(), 0) == WAIT_OBJECT_0;
  // The client keeps running for a few seconds, so a client started by the program is still in
  // the job now; an empty job means that none was started.
  result.clientStarted =
      clientLeftRunning() &&
      WaitUntil([&] { return folder_.clientMarkerPresent(); }, kMarkerTimeout, kPollInterval);
  return result;
}

HWND ProgramRun::ownWindow(std::wstring_view caption) const {
  for (const HWND window : uidriver::FindTopWindows(caption)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == processId_) return window;
  }
  return nullptr;
}

HWND ProgramRun::progressWindow() {
  HWND window = nullptr;
  const auto shownOrEnded = [&] {
    if (ended()) return true;
    window = ownWindow(kProgressCaption);
    return window != nullptr;
  };
  if (!WaitUntil(shownOrEnded, kRunTimeout, kPollInterval)) {
    throw std::runtime_error("the progress window never came");
  }
  return window;
}

void ProgramRun::kill() {
  if (!::TerminateProcess(process_.get(), kKilledExitCode)) win::ThrowLastError("TerminateProcess");
  const auto shutdownMs = static_cast<DWORD>(uidriver::Scaled(kShutdownTimeout).count());
  if (::WaitForSingleObject(process_.get(), shutdownMs) != WAIT_OBJECT_0)
    throw std::runtime_error("the killed program did not end");
}

std::vector<DWORD> ProgramRun::processesInJob() const {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[kMaxProcessesInJob];
  } ids{};
  if (!::QueryInformationJobObject(job_.get(), JobObjectBasicProcessIdList, &ids, sizeof ids,
                                   nullptr))
    win::ThrowLastError("QueryInformationJobObject");
  std::vector<DWORD> processes;
  const ULONG_PTR* first = ids.list.ProcessIdList;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i)
    processes.push_back(static_cast<DWORD>(first[i]));
  return processes;
}

bool ProgramRun::clientLeftRunning() const {
  const std::wstring client = folder_.local(kClientName);
  for (DWORD id : processesInJob())
    if (id != processId_ && win::SamePath(ImagePath(id), client)) return true;
  return false;
}

void ProgramRun::endEverything() noexcept {
  if (!job_) return;
  std::vector<DWORD> running;
  try {
    running = processesInJob();
  } catch (const std::exception&) {
    // Nothing to wait for then; terminating the job below still ends its processes.
  }
  ::TerminateJobObject(job_.get(), kKilledExitCode);
  // The client directory is removed next, which needs every program in it to be gone.
  const auto shutdownMs = static_cast<DWORD>(uidriver::Scaled(kShutdownTimeout).count());
  ::WaitForSingleObject(process_.get(), shutdownMs);
  for (DWORD id : running) {
    const win::UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    if (process) ::WaitForSingleObject(process.get(), shutdownMs);
  }
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds usual,
               std::chrono::milliseconds interval) {
  return testing::PollUntil(done, uidriver::Scaled(usual), interval);
}

void StartProcess(const char* what, const std::function<BOOL()>& create) {
  if (create()) return;
  if (::GetLastError() == ERROR_INTERNAL_ERROR && create()) return;
  win::ThrowLastError(what);
}

bool WaitForACopyUnderWay(const ClientFolder& folder) {
  return WaitUntil([&] { return folder.copyUnderWay(); }, kRunTimeout);
}

RunResult RunProgram(const ClientFolder& folder, const std::vector<Answer>& answers) {
  ProgramRun run(folder);
  for (Answer answer : answers) {
    const HWND dialog = run.nextQuestion();
    if (!dialog) break;  // fewer questions than answers: the result shows it
    run.answer(dialog, answer);
  }
  return run.finish();
}

}  // namespace dravelin::uitest
