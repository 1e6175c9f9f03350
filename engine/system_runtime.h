// What the runtimes of both systems share: the copies through the work folder (file_copy.h) and
// the turn of a client folder (turn.h), each with a Win32 and a POSIX side of its own.
#pragma once

#include <memory>
#include <string>

#include "file_copy.h"
#include "patience.h"
#include "runtime.h"
#include "turn.h"

namespace dravelin {

class SystemRuntime : public Runtime {
 public:
  SystemRuntime(Clock& clock, const CopyCalls& calls)
      : clock_(clock), patience_(clock), copier_(patience_, calls) {}

  std::unique_ptr<Turn> waitForTurn(const std::wstring& directory,
                                    const TurnNotice& firstLook) override {
    return WaitForTurn(directory, firstLook);
  }

  std::unique_ptr<Turn> tryWorkTurn(const std::wstring& directory) override {
    return TryWorkTurn(directory);
  }

  Clock& clock() override { return clock_; }

  void copyFile(const std::wstring& source, const std::wstring& destination,
                const FileVersion& listed, ListedDestination found) override {
    copier_.copyOver(source, destination, listed, found);
  }

  bool canWriteIn(const std::wstring& directory) override { return copier_.canWriteIn(directory); }

  void removeLeftovers(const std::wstring& directory) override {
    copier_.removeLeftovers(directory);
  }

 private:
  Clock& clock_;
  Patience patience_;  // one run's waiting for files that other programs hold
  FileCopier copier_;
};

}  // namespace dravelin
