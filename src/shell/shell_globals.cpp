#include "shell/shell_globals.h"

UINT UtilInit = 0, UtilLoad = 0, UtilTestDAT = 0, UtilTestMaster = 0, UtilClose = 0;
int AllowRemoteFunctionEvoke = 0;

int UtilityInvoked = 0;
const char* UtilityCommandLine = nullptr;

int Windows4 = 0;
HINSTANCE Ctl3dInst = nullptr;
