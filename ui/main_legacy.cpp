// Entry point of dravelin-legacy: the program of the Build::Legacy values.
#include <windows.h>

#include "program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return dravelin::win::ProgramMain(dravelin::Build::Legacy, instance);
}
