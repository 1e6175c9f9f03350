// Entry point of both programs. The one thing that tells them apart is DRAVELIN_LEGACY, set by
// the build for dravelin-legacy only; everything else follows from the Build chosen here.
#include <windows.h>

#include "program.h"

namespace {
#ifdef DRAVELIN_LEGACY
constexpr dravelin::Build kBuild = dravelin::Build::Legacy;
#else
constexpr dravelin::Build kBuild = dravelin::Build::Current;
#endif
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    return dravelin::win::RunProgram(kBuild, instance);
  } catch (const std::exception&) {
    // The program shows no messages: a window that cannot even be created ends the run quietly.
    return 1;
  }
}
