// pass-bench: one update pass over real directories, the way the program runs it, with the
// windows left out: the first question is answered with Replace All, and the client is not
// started. For timing the pass against other copy tools (bench/run-bench).
//   pass-bench PROGRAM-DIRECTORY [legacy]
// PROGRAM-DIRECTORY holds the configuration file (CONFIG.DVL, or config.ini with "legacy").
// Prints what the pass did, so that a run that copied nothing, or too much, shows.
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime.h"
#include "update_pass.h"
#include "variant.h"

#ifndef _WIN32
#include "utf8.h"
#endif

namespace dravelin {
namespace {

// The system's runtime, with the program directory given on the command line and the copies
// counted; the client start is left out, since it is not part of the pass's work.
class BenchRuntime final : public Runtime {
 public:
  explicit BenchRuntime(std::wstring programDirectory)
      : system_(MakeSystemRuntime()), programDirectory_(std::move(programDirectory)) {}

  int copies() const { return copies_; }

  std::wstring programDirectory() override { return programDirectory_; }
  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    return system_->listFiles(pattern);
  }
  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    return system_->listEverything(directory);
  }
  std::wstring fileNameKey(const std::wstring& name) override { return system_->fileNameKey(name); }
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    return system_->lookUp(path);
  }
  std::uint64_t freeSpace(const std::wstring& directory) override {
    return system_->freeSpace(directory);
  }
  std::unique_ptr<Turn> waitForTurn(const std::wstring& directory,
                                    const TurnNotice& firstLook) override {
    return system_->waitForTurn(directory, firstLook);
  }
  void copyFile(const std::wstring& source, const std::wstring& destination,
                const FileVersion& listed, ListedDestination found) override {
    system_->copyFile(source, destination, listed, found);
    ++copies_;
  }
  std::unique_ptr<Turn> tryWorkTurn(const std::wstring& directory) override {
    return system_->tryWorkTurn(directory);
  }
  Clock& clock() override { return system_->clock(); }
  bool canWriteIn(const std::wstring& directory) override { return system_->canWriteIn(directory); }
  void removeLeftovers(const std::wstring& directory) override {
    system_->removeLeftovers(directory);
  }
  void startProgram(const std::wstring&, NativeWindow) override {}
  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    return system_->openTextInput(path);
  }

 private:
  std::unique_ptr<Runtime> system_;
  std::wstring programDirectory_;
  int copies_ = 0;
};

// A user who answers the first question with Replace All.
class ReplaceAllWindows final : public QuestionsOnly {
 public:
  int questions() const { return questions_; }

  Answer ask(const Question&) override {
    ++questions_;
    return Answer::ReplaceAll;
  }

 private:
  int questions_ = 0;
};

constexpr int kExitUsage = 2;

int Run(const std::vector<std::wstring>& args) {
  if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != L"legacy")) {
    std::fputs("usage: pass-bench PROGRAM-DIRECTORY [legacy]\n", stderr);
    return kExitUsage;
  }
  BenchRuntime runtime(args[0]);
  ReplaceAllWindows windows;
  RunUpdatePass(runtime, windows, VariantFor(args.size() == 2 ? Build::Legacy : Build::Current));
  std::printf("questions %d, copies %d\n", windows.questions(), runtime.copies());
  return 0;
}

}  // namespace
}  // namespace dravelin

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return dravelin::Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(dravelin::FromUtf8(argv[i]));
  return dravelin::Run(args);
}
#endif
