// Entry point of dravelin: the program of the Build::Current values.
#include <windows.h>

#include "program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return dravelin::win::ProgramMain(dravelin::Build::Current, instance);
}
