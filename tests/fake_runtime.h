// The system's own runtime, with three changes for the pass tests: the program directory is a
// test tree, the client start is recorded instead of made, and the waits for files that other
// programs hold are played, not slept. Every call is counted, so the tests can see how many
// requests the pass makes of the file system; the turn's end, the start and the clean-up are
// logged, so they can see the order of the end. A directory can be laid out by the test instead.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "listing_in_memory.h"
#include "played_clock.h"
#include "runtime.h"
#include "runtime_error.h"
#include "test_tree.h"

namespace dravelin::testing {

// What the pass did that the tests look at, in order: copies, questions, the progress window's
// unload and the client start, each as one line.
using EventLog = std::vector<std::wstring>;

class TestRuntime final : public Runtime {
 public:
  TestRuntime(std::wstring programDirectory, EventLog& log)
      : system_(MakeSystemRuntime(clock_)),
        programDirectory_(std::move(programDirectory)),
        log_(log) {}

  // Make the listing of the program directory fail, as an unreadable directory would.
  bool failProgramDirectoryListing = false;
  // Changes what the listings of files show, as a server may list what no disk here can hold.
  std::function<void(DirEntry&)> listedAs;
  // The room on the disk, where the test gives it; and what happens before each copy.
  std::function<std::uint64_t()> roomLeft;
  std::function<void()> beforeCopy;
  // Directories as the test lays them out, for what no disk here holds or keeps in order: names
  // that differ in case only or that no file can have, in the order of the test's list. Their
  // listings and lookups show these entries, and names compare without regard to case, as on
  // Windows (on every system, once a directory is laid out).
  std::map<std::wstring, std::vector<DirEntry>> laidOut;

  // The copies from now on make `calls` (win32/copy_calls.h).
  void playCopyCalls(const CopyCalls& calls) { system_ = MakeSystemRuntime(clock_, calls); }
  // How long the run waited for files that other programs hold.
  Milliseconds waited() const { return clock_.played(); }

  int calls(const std::string& operation) const {
    const auto found = calls_.find(operation);
    return found == calls_.end() ? 0 : found->second;
  }
  // Every path the pass tried to start, whether or not a program was there.
  const std::vector<std::wstring>& startAttempts() const { return startAttempts_; }

  std::wstring programDirectory() override {
    count("programDirectory");
    return programDirectory_;
  }
  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    count("listFiles");
    const std::wstring everyFile = std::wstring(1, kPathSeparator) + L"*.*";
    if (pattern.ends_with(everyFile)) {
      const auto found = laidOut.find(pattern.substr(0, pattern.size() - everyFile.size()));
      if (found != laidOut.end()) return std::make_unique<ListingInMemory>(found->second);
    }
    if (!listedAs) return system_->listFiles(pattern);
    return std::make_unique<AlteredListing>(system_->listFiles(pattern), listedAs);
  }
  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    count("listEverything");
    if (failProgramDirectoryListing) throw RuntimeError("listEverything (test)", 5);
    const auto found = laidOut.find(directory);
    if (found != laidOut.end()) return std::make_unique<ListingInMemory>(found->second);
    return system_->listEverything(directory);
  }
  // Pure text work, no request: not counted.
  std::wstring fileNameKey(const std::wstring& name) override {
    return laidOut.empty() ? system_->fileNameKey(name) : CaselessKey(name);
  }
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    count("lookUp");
    const std::size_t separator = path.find_last_of(kPathSeparator);
    const auto found = laidOut.find(path.substr(0, separator));
    if (separator == std::wstring::npos || found == laidOut.end()) return system_->lookUp(path);
    const std::wstring key = fileNameKey(path.substr(separator + 1));
    for (const DirEntry& entry : found->second) {
      if (fileNameKey(entry.name) == key) return entry;
    }
    return std::nullopt;
  }
  std::uint64_t freeSpace(const std::wstring& directory) override {
    return roomLeft ? roomLeft() : system_->freeSpace(directory);
  }
  std::unique_ptr<Turn> waitForTurn(const std::wstring& directory,
                                    const TurnNotice& firstLook) override {
    count("waitForTurn");
    return std::make_unique<LoggedTurn>(system_->waitForTurn(directory, firstLook), *this);
  }
  std::unique_ptr<Turn> tryWorkTurn(const std::wstring& directory) override {
    count("tryWorkTurn");
    return system_->tryWorkTurn(directory);
  }
  Clock& clock() override { return system_->clock(); }
  void copyFile(const std::wstring& source, const std::wstring& destination,
                const FileVersion& listed, ListedDestination found) override {
    count("copyFile");
    if (beforeCopy) beforeCopy();
    system_->copyFile(source, destination, listed, found);
    log(L"copied " + Wide(Path(destination).filename()));
  }
  bool canWriteIn(const std::wstring& directory) override {
    count("canWriteIn");
    return system_->canWriteIn(directory);
  }
  void removeLeftovers(const std::wstring& directory) override {
    count("removeLeftovers");
    log(L"clean-up");
    system_->removeLeftovers(directory);
  }
  // Fails as the system's start does when nothing startable is at the path.
  void startProgram(const std::wstring& path, NativeWindow) override {
    count("startProgram");
    startAttempts_.push_back(path);
    log(L"start " + path);
    if (!std::filesystem::is_regular_file(Path(path))) {
      throw RuntimeError("startProgram (test): no program at the path", 2);
    }
  }
  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override {
    count("openTextInput");
    return system_->openTextInput(path);
  }

 private:
  struct AlteredListing final : Listing {
    AlteredListing(std::unique_ptr<Listing> from, std::function<void(DirEntry&)> how)
        : listing(std::move(from)), alter(std::move(how)) {}
    std::optional<DirEntry> next() override {
      std::optional<DirEntry> entry = listing->next();
      if (entry) alter(*entry);
      return entry;
    }
    std::unique_ptr<Listing> listing;
    std::function<void(DirEntry&)> alter;
  };
  struct LoggedTurn final : Turn {
    LoggedTurn(std::unique_ptr<Turn> held, TestRuntime& by) : turn(std::move(held)), runtime(by) {}
    ~LoggedTurn() override {
      turn.reset();
      runtime.log(L"turn given up");
    }
    std::unique_ptr<Turn> turn;
    TestRuntime& runtime;
  };

  void count(const std::string& operation) {
    const std::lock_guard lock(mutex_);
    ++calls_[operation];
  }
  void log(std::wstring line) {
    const std::lock_guard lock(mutex_);
    log_.push_back(std::move(line));
  }

  PlayedClock clock_;
  std::unique_ptr<Runtime> system_;
  std::wstring programDirectory_;
  EventLog& log_;
  std::mutex mutex_;  // for the log and the counts
  std::map<std::string, int> calls_;
  std::vector<std::wstring> startAttempts_;
};

}  // namespace dravelin::testing
