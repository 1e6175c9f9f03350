// A server tree and a program tree on disk, a configuration file in the program tree, and one run
// of the pass against them with a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "fake_runtime.h"
#include "scripted_windows.h"
#include "test_tree.h"
#include "text949.h"
#include "update_pass.h"
#include "variant.h"

namespace dravelin::testing {

constexpr FileTime kHour = 3600;
constexpr FileTime kMorning = 1'796'112'000;  // 2026-12-01 08:00:00 UTC
constexpr FileTime kNoon = kMorning + 4 * kHour;
constexpr FileTime kEvening = kMorning + 10 * kHour;

class PassTest : public ::testing::Test {
 protected:
  // `programSubdirectory`: the program directory is that directory of the program tree (made
  // here), for a test that puts a file system of its own there; else the tree itself.
  explicit PassTest(std::wstring_view programSubdirectory = L"")
      : programDirectory_(programSubdirectory.empty()
                              ? program_.dir()
                              : program_.makeDirectory(programSubdirectory)),
        runtime_(programDirectory_, log_) {}

  // The configuration file of `variant`, in code page 949 with CR LF line ends.
  void configure(const Variant& variant, const std::wstring& serverDirectory,
                 const std::wstring& exeProgram = L"client.exe") {
    const std::string text = "Server_directory=" + ToCp949(serverDirectory) +
                             "\r\nExe_Program=" + ToCp949(exeProgram) + "\r\n";
    std::ofstream(Path(localPath(std::wstring(variant.configFileName))), std::ios::binary) << text;
  }
  // The usual setting: the server tree with its closing separator, and a client program to start.
  void configure(const Variant& variant) {
    configure(variant, server_.dir() + kPathSeparator);
    writeLocal(L"client.exe", "client", kMorning);
  }

  std::wstring writeServer(std::wstring_view name, std::string_view bytes, FileTime time) {
    const std::wstring path = server_.write(name, bytes);
    SetModified(path, time);
    return path;
  }
  std::wstring writeLocal(const std::wstring& name, std::string_view bytes, FileTime time) {
    const std::wstring path = localPath(name);
    std::ofstream(Path(path), std::ios::binary) << bytes;
    SetModified(path, time);
    return path;
  }

  // `unmadeQuestion`: see ScriptedWindows.
  ScriptedWindows& run(const Variant& variant, Script script, int unmadeQuestion = 0) {
    windows_ = std::make_unique<ScriptedWindows>(log_, std::move(script), unmadeQuestion);
    temporaryFilesBefore_ = TemporaryFilesIn(programDirectory_);
    RunUpdatePass(runtime_, *windows_, variant);
    return *windows_;
  }

  std::wstring serverPath(const std::wstring& name) const {
    return server_.dir() + kPathSeparator + name;
  }
  std::wstring localPath(const std::wstring& name) const {
    return programDirectory_ + kPathSeparator + name;
  }
  std::wstring clientPath() const { return localPath(L"client.exe"); }
  bool logged(const std::wstring& line) const {
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }
  // The clean end of a run, in this order: the turn given up, the client at `client` started
  // (the run's one start) while the progress window is up, the window gone; then the clean-up,
  // where the run made or found a work folder. No temporary file of the run's stays behind.
  void expectCleanEndAndClientStarted(const std::wstring& client) {
    std::vector<std::wstring> starts;
    std::ranges::copy_if(log_, std::back_inserter(starts),
                         [](const std::wstring& line) { return line.starts_with(L"start "); });
    EXPECT_EQ(starts, std::vector<std::wstring>{L"start " + client});
    std::vector<std::wstring> end(std::find(log_.begin(), log_.end(), L"turn given up"),
                                  log_.end());
    if (!end.empty() && end.back() == L"clean-up") end.pop_back();
    EXPECT_EQ(end, (std::vector<std::wstring>{L"turn given up", L"start " + client,
                                              L"unload progress window"}));
    // What was there before the run may stay: another run's copy under way, a user's look-alike.
    EXPECT_TRUE(std::ranges::includes(temporaryFilesBefore_, TemporaryFilesIn(programDirectory_)));
  }
  void expectCleanEndAndClientStarted() { expectCleanEndAndClientStarted(clientPath()); }

  UtcClock utc_;
  TempTree server_;
  TempTree program_;
  std::wstring programDirectory_;
  EventLog log_;
  TestRuntime runtime_;
  std::unique_ptr<ScriptedWindows> windows_;
  std::set<std::wstring> temporaryFilesBefore_;  // as the last run found them
};

}  // namespace dravelin::testing
