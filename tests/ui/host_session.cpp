#include "host_session.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "win32/last_error.h"

namespace dravelin::uitest {

namespace {

constexpr auto kHostTimeout = std::chrono::milliseconds(20'000);
constexpr DWORD kPollMs = 20;
constexpr size_t kPathCapacity = 32'768;

// One argument quoted so that the C runtime's parser gives it back unchanged: backslashes are
// literal except before a quote, where they and the quote are escaped.
std::wstring Quote(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');  // before the closing quote
  return quoted + L"\"";
}

std::filesystem::path HostProgram() {
  std::wstring self(kPathCapacity, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return std::filesystem::path(self).parent_path() / DIALOG_HOST_NAME;
}

}  // namespace

Question SampleQuestion() {
  return {L"\\\\server\\share\\client\\한글파일.dat", L"2026-11-30 오전 9:15:00을",
          L"2026-12-01 오후 3:04:05로"};
}

HostSession::HostSession(Build build, const std::vector<Question>& questions) {
  std::wstring commandLine = Quote(HostProgram().wstring());
  if (build == Build::Legacy) commandLine += L" --legacy";
  for (const Question& q : questions)
    for (const std::wstring* text : {&q.fileName, &q.oldDate, &q.newDate})
      commandLine += L" " + Quote(*text);

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) win::ThrowLastError("CreatePipe");
  output_.reset(readEnd);
  const win::UniqueFile hostEnd(writeEnd);
  // Only the writing end goes to the host; with the reading end it would never see the end.
  if (!::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0))
    win::ThrowLastError("SetHandleInformation");

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);  // the host's complaints reach the log
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
    win::ThrowLastError("CreateProcessW");
  process_.reset(started.hProcess);
  const win::UniqueKernelHandle thread(started.hThread);
}

HostSession::~HostSession() {
  if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
    static_cast<void>(::TerminateProcess(process_.get(), 1));  // nothing more to do if it fails
}

HWND HostSession::waitForDialog() const { return uidriver::WaitForWindow(kDialogCaption); }

void HostSession::readAvailable() {
  DWORD available = 0;
  while (::PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &available, nullptr) && available) {
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!::ReadFile(output_.get(), chunk.data(), available, &read, nullptr))
      win::ThrowLastError("ReadFile");
    printed_.append(chunk, 0, read);
  }
}

std::vector<std::string> HostSession::finish() {
  // Read while waiting, so that a full pipe can never stall the host.
  DWORD waited = 0;
  while (::WaitForSingleObject(process_.get(), kPollMs) == WAIT_TIMEOUT) {
    readAvailable();
    waited += kPollMs;
    if (waited >= uidriver::Scaled(kHostTimeout).count())
      throw std::runtime_error("dialog-host did not end");
  }
  readAvailable();
  DWORD status = 0;
  if (!::GetExitCodeProcess(process_.get(), &status)) win::ThrowLastError("GetExitCodeProcess");
  if (status != 0) throw std::runtime_error("dialog-host failed, status " + std::to_string(status));

  std::vector<std::string> lines;
  std::string line;
  for (char c : printed_) {
    if (c == '\r') continue;  // the C runtime writes text-mode line ends
    if (c != '\n') {
      line += c;
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  return lines;
}

std::vector<int> Choices(const std::vector<std::string>& lines) {
  constexpr std::string_view kPrefix = "choice=";
  std::vector<int> choices;
  for (const std::string& line : lines)
    if (line.starts_with(kPrefix)) choices.push_back(std::stoi(line.substr(kPrefix.size())));
  return choices;
}

HWND Control(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  if (!control) throw std::runtime_error("no control " + std::to_string(id));
  return control;
}

}  // namespace dravelin::uitest
