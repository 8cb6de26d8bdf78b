#include "shell/shell_globals.h"

HINSTANCE hInst = nullptr;
HWND MDIFrame = nullptr;
HWND MDIhwnd = nullptr;

HMENU hMenuInit = nullptr, hMenuInitWindow = nullptr;
HMENU hMenuFiler = nullptr, hMenuFilerWindow = nullptr;
HMENU hMenuEdit = nullptr, hMenuEditWindow = nullptr;

HIMAGELIST hImageList = nullptr;

UINT UtilInit = 0, UtilLoad = 0, UtilTestDAT = 0, UtilTestMaster = 0, UtilClose = 0;
int AllowRemoteFunctionEvoke = 0;

int UtilityInvoked = 0;
const char* UtilityCommandLine = nullptr;

int Windows4 = 0;
HINSTANCE Ctl3dInst = nullptr;

HWND hwndEdit = nullptr;

const char AppName[] = "Quorvex";
const char szFrameClass[] = "QuorvexMDIFrame";
const char szFilerClass[] = "MdiFilerChild";
const char szEditClass[] = "MdiEditChild";
