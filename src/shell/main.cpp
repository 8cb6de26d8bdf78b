// The program's entry point; start-up, the loop and the clean-up are in
// startup.cpp.
#include <windows.h>

#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int) {
  return RunProgram(instance, previous, commandLine);
}
