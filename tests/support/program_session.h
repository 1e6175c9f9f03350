// Whole runs of dravelin and dravelin-legacy: a client directory of its own with a copy of the
// program and the sample client, a server directory beside it, and one run of the program,
// started there as a shortcut would start it and watched from outside. Its windows are driven
// through the UI driver; its process, and the client it starts, are held in a job object.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "builds.h"
#include "local_dates.h"
#include "questions.h"
#include "runtime.h"
#include "test_tree.h"
#include "variant.h"
#include "win32/handles.h"

namespace dravelin::uitest {

// What all the tests share (tests/support), as the UI tests name it.
using testing::Answer;
using testing::BuildName;
using testing::ForEachBuild;
using testing::kBuilds;
using testing::Question;

inline constexpr std::wstring_view kProgressCaption = L"File Transfer...";
inline constexpr std::wstring_view kQuestionCaption = L"Update Check Windows";
inline constexpr std::wstring_view kClientName = L"client.exe";
inline constexpr std::wstring_view kClipName = L"filecopy.avi";
// Written by the sample client beside itself when it starts.
inline constexpr std::wstring_view kClientMarkerName = L"client-started.txt";

// A path given by the build system (a Linux path when the tests run under Wine) as Windows
// programs see it.
std::wstring WindowsPath(std::string_view buildPath);

// The bytes of the sample animation clip, which the progress window plays.
std::string SampleClip();

// A client's configuration: Server_directory (`serverPrefix`, with its closing separator) and
// Exe_Program (the sample client), in code page 949.
std::string ConfigNaming(const std::wstring& serverPrefix);

// A client directory holding a copy of one program and the sample client, and a server
// directory with a Korean name, both removed at the end.
class ClientFolder {
 public:
  explicit ClientFolder(Build build);

  Build build() const { return build_; }
  std::wstring programPath() const;
  std::wstring directory() const { return client_.dir(); }
  std::wstring local(std::wstring_view name) const { return client_.path(name); }
  std::wstring server(std::wstring_view name) const { return serverPrefix() + std::wstring(name); }
  // The server directory as the configuration names it: with its closing separator.
  std::wstring serverPrefix() const { return serverDir_ + L"\\"; }
  std::wstring configPath() const;

  void writeLocal(std::wstring_view name, std::string_view bytes, FileTime modified) const;
  void writeServer(std::wstring_view name, std::string_view bytes, FileTime modified) const;
  std::wstring makeServerDirectory(std::wstring_view name) const;
  std::wstring makeLocalDirectory(std::wstring_view name) const;
  void writeLocalBytes(std::wstring_view name, std::string_view bytes) const;

  // The program's configuration file, exactly these bytes.
  void writeConfig(std::string_view bytes) const;
  // Server_directory (the server prefix) and Exe_Program (the sample client), in code page 949.
  void writeConfig() const { writeConfig(standardConfig()); }
  std::string standardConfig() const { return ConfigNaming(serverPrefix()); }
  // The same, naming a server directory elsewhere (a folder on a mount).
  void writeConfigNaming(const std::wstring& serverPrefix) const {
    writeConfig(ConfigNaming(serverPrefix));
  }
  // The sample animation clip as filecopy.avi.
  void addClip() const;

  // A copy is under way: its temporary file is in the client directory's work folder.
  bool copyUnderWay() const { return testing::CountLeftovers(directory()) > 0; }

  bool clientMarkerPresent() const;
  // The working directory that the started client wrote into its marker.
  std::wstring clientWorkingDirectory() const;
  void removeClientMarker() const;

  // Every ordinary file of the client directory but the client's marker: name, bytes and time.
  struct LocalFile {
    std::string bytes;
    FileTime modified;
    bool operator==(const LocalFile&) const = default;
  };
  std::map<std::wstring, LocalFile> localFiles() const;

 private:
  Build build_;
  testing::TempTree client_;
  testing::TempTree serverRoot_;
  std::wstring serverDir_;
};

// A thread hook, removed with its owner.
using UniqueHook = win::UniqueHandle<win::ClosedBy<HHOOK, ::UnhookWindowsHookEx>>;

struct RunResult {
  std::vector<Question> questions;  // in the order asked, as the dialog showed them
  DWORD exitCode = STILL_ACTIVE;
  bool windowShown = false;    // the progress window came on screen
  bool clientStarted = false;  // the client in the client directory ran and wrote its marker
};

// How a run is started, where it differs from a shortcut in the client directory.
struct StartOptions {
  std::wstring currentDirectory;          // "" for the client directory
  std::vector<std::wstring> environment;  // "NAME=value" entries set for the program
};

class ProgramRun {
 public:
  // Starts the program of `folder`, by default with the client directory as its current directory.
  explicit ProgramRun(const ClientFolder& folder, const StartOptions& options = {});
  ~ProgramRun();  // ends whatever the run left running (the client, or a program that hung)

  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The next question, on screen and ready for input; null when the program ended instead.
  HWND nextQuestion();
  // The question's captions as it shows them.
  static Question read(HWND dialog);
  // Reads the question's captions, leaves it as told and waits until it is gone.
  void answer(HWND dialog, Answer answer);

  // Waits for the program to end, closing through its frame (and recording) every question that
  // is still asked. Throws when the program does not end in time (it is ended first).
  RunResult finish();

  // The program's progress window once it is on screen; null when the program ended first.
  HWND progressWindow();
  // The question this run has on screen now, if any; does not wait.
  HWND shownQuestion() const { return ownWindow(kQuestionCaption); }
  bool ended() const;
  // Waits until the program ends or `other` (a process, an event) is signalled, whichever comes
  // first; true when the program's end came first. False when neither came in time.
  bool endsBefore(HANDLE other) const;
  // Ends the program at once, as the task manager or a log-off would, and waits until it is gone.
  void kill();

 private:
  // The top window of that caption, if this run's program shows it.
  HWND ownWindow(std::wstring_view caption) const;
  bool clientLeftRunning() const;
  std::vector<DWORD> processesInJob() const;
  void endEverything() noexcept;

  const ClientFolder& folder_;
  win::UniqueKernelHandle job_;
  win::UniqueKernelHandle process_;
  DWORD processId_ = 0;
  win::UniqueKernelHandle shownEvent_;
  UniqueHook hook_;
  std::vector<Question> questions_;
};

// Another program holding files of a folder, as an antivirus or an indexer does (file-holder):
// every file of the folder at once for a while (but the one named `spared`), or each file that is
// made or changed, for a while from the moment its writer lets go. Made once the files are held or
// the watch has begun; ended with the object.
class FileHolder {
 public:
  enum Mode { EveryFile, EachNewFile };
  FileHolder(Mode mode, const std::wstring& folder, std::chrono::milliseconds hold,
             const std::wstring& spared = L"");
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  // Signalled once the holder has let go of the files: a holder of every file ends when its time
  // is up, one of each new file only with the object.
  HANDLE letGo() const { return process_.get(); }

 private:
  win::UniqueKernelHandle process_;
};

// Looks at `done` every `interval` until it holds or `usual` (stretched on slow machines) has
// passed; says whether it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds usual,
               std::chrono::milliseconds interval = std::chrono::milliseconds(1));

// Runs `create`, a CreateProcessW call, and once more where Wine says that the new process ended
// before it had finished starting (ERROR_INTERNAL_ERROR: it died in Wine's own start-up with
// status 0, before any of its code ran; seen once in a test run of some hundred starts). Throws
// naming `what` when it fails.
void StartProcess(const char* what, const std::function<BOOL()>& create);

// Waits until a copy into `folder` is under way; false when none began in time.
bool WaitForACopyUnderWay(const ClientFolder& folder);

// Starts the program, answers its questions in order (any further one is closed through its
// frame and recorded), and waits for its end.
RunResult RunProgram(const ClientFolder& folder, const std::vector<Answer>& answers = {});

// The end of a run that went well: its window came up, the client started, the program exited
// with 0 and left nothing of a copy behind in the client directory.
void ExpectEndedWithTheClient(const RunResult& result, const ClientFolder& folder);

}  // namespace dravelin::uitest
