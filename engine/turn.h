// The turns of a client folder, which runs of the program in that folder take one after another
// (win32/turn.cpp, posix/turn.cpp). See Runtime::waitForTurn and Runtime::tryWorkTurn.
#pragma once

#include <memory>
#include <string>

#include "runtime.h"

namespace dravelin {

std::unique_ptr<Turn> WaitForTurn(const std::wstring& directory, const TurnNotice& firstLook);
std::unique_ptr<Turn> TryWorkTurn(const std::wstring& directory);

}  // namespace dravelin
