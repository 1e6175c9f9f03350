// The whole run of either program: the progress window comes up, the animation starts, the
// update pass runs to its end (closing the window and starting the client), and the program ends.
#pragma once

#include <windows.h>

#include "variant.h"

namespace dravelin::win {

int RunProgram(Build build, HINSTANCE instance);

}  // namespace dravelin::win
