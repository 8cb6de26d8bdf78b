#include "winui/app_globals.h"

HINSTANCE hInst = nullptr;
HWND MDIFrame = nullptr;
HWND MDIhwnd = nullptr;

HMENU hMenuInit = nullptr, hMenuInitWindow = nullptr;
HMENU hMenuFiler = nullptr, hMenuFilerWindow = nullptr;
HMENU hMenuEdit = nullptr, hMenuEditWindow = nullptr;

HIMAGELIST hImageList = nullptr;

HWND hwndEdit = nullptr;

const char AppName[] = "Quorvex";
const char szFrameClass[] = "QuorvexMDIFrame";
const char szFilerClass[] = "MdiFilerChild";
const char szEditClass[] = "MdiEditChild";
