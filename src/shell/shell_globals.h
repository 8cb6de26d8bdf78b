// The shell's own process-wide flags: the remote requests and the start-up
// checks. The window handles every window reads are in winui/app_globals.h.
#pragma once

#include <windows.h>

#include "winui/app_globals.h"

// The registered inter-program messages; 0 when registration failed.
extern UINT UtilInit, UtilLoad, UtilTestDAT, UtilTestMaster, UtilClose;
// 1 when all five messages were registered.
extern int AllowRemoteFunctionEvoke;

// 1 in utility mode; the command line is then kept (not owned) for the remote
// test requests. Null in interactive mode.
extern int UtilityInvoked;
extern const char* UtilityCommandLine;

// 1 when the system's major version is 4 or higher.
extern int Windows4;
// The 3-D control library while it is loaded and registered.
extern HINSTANCE Ctl3dInst;
