// The steps of start-up and shutdown that WinMain runs in order. Each step is
// its own function so that the GUI tests can build a frame the way the
// program does.
#pragma once

#include <windows.h>

// Runs the whole program: the steps below, the message loop and the clean-up.
// The result is the process exit code: the WM_QUIT code (0 after a normal
// exit), or 1 when utility mode cannot register its messages or the frame
// cannot be created.
int RunProgram(HINSTANCE instance, HINSTANCE previous, const char* commandLine);

// Sets UtilityInvoked (and keeps the command line as UtilityCommandLine) when
// the command line asks for utility mode; clears both otherwise.
void DecideMode(const char* commandLine);

// Windows4 from the system's version (GetVersionExA); returns it.
int QueryWindowsVersion();

// On systems older than version 4, loads and registers the 3-D control
// library (libraryName, "CTL3D32.DLL" in the program). A library that is
// missing or refuses to register is reported (information icon) except in
// utility mode; a refusing library is freed again. Ctl3dInst holds the
// library while it is registered.
void LoadCtl3d(HINSTANCE instance, const char* libraryName);
// Unregisters and frees the library when LoadCtl3d registered it.
void UnloadCtl3d(HINSTANCE instance);

// Shows the banner centred on the desktop and dispatches messages until it
// has closed itself (three seconds). Returns at once when it cannot be
// created.
void ShowBannerUntilClosed();

// Registers the frame, browser and editor classes. False when one failed.
bool RegisterWindowClasses(HINSTANCE instance);

// InitCommonControls and the tree's image list from bitmap 129.
void LoadFolderImages(HINSTANCE instance);

// Loads the three menu bars of the mode (UtilityInvoked) with their
// window-list popups, and returns the mode's accelerator table.
HACCEL LoadModeMenus(HINSTANCE instance);

// One message of the program's loop: the MDI system keys first, then the
// accelerators; true when either turned it into a command.
bool TranslateFrameMessage(MSG& message, HACCEL accelerators);

// The message loop; returns the WM_QUIT code.
int RunMessageLoop(HACCEL accelerators);

// After the loop: the browser and editor menu bars, the path list, the 3-D
// library.
void CleanUpAfterLoop(HINSTANCE instance);
