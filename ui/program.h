// The whole run of either program: the progress window comes up, the animation starts, the
// update pass runs to its end (closing the window and starting the client), and the program ends.
// Each program's entry point (main_current.cpp, main_legacy.cpp) names its Build, the one value
// that tells the two programs apart.
#pragma once

#include <windows.h>

#include "variant.h"

namespace dravelin::win {

// The whole program: the run below, with nothing shown should it fail. Gives the exit code.
int ProgramMain(Build build, HINSTANCE instance);

int RunProgram(Build build, HINSTANCE instance);

}  // namespace dravelin::win
