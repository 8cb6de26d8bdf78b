#include "shell/startup.h"

#include <commctrl.h>

#include "browser/browser_window.h"
#include "editor/editor_window.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "shell/about_banner.h"
#include "shell/command_line.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"
#include "winui/centre_window.h"

namespace {

constexpr char kCtl3dLibrary[] = "CTL3D32.DLL";
constexpr char kCtl3dMissing[] = "Unable to find CTL3D32.DLL : Continuing without 3D enhancements.";
constexpr char kCtl3dRefused[] = "CTL3D32.DLL refuses to initialise : Continuing without 3D enhancements.";
constexpr char kCannotRegister[] = "Unable to register messages, cannot continue : Exiting.";
constexpr DWORD kVersionInfoSize = 148;
constexpr UINT kHandleLimit = 255;

using Ctl3dCall = BOOL(WINAPI*)(HINSTANCE);

Ctl3dCall Ctl3dExport(HINSTANCE library, const char* name) {
  // Through void (*)(), the one function pointer type that converts to any
  // other without a warning.
  return reinterpret_cast<Ctl3dCall>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

void ShowCtl3dNotice(const char* text) {
  if (UtilityInvoked == 0) MessageBoxA(nullptr, text, AppName, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

bool RegisterOneClass(HINSTANCE instance, const char* name, WNDPROC procedure, int extraBytes, int icon,
                      HBRUSH background) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(icon));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return RegisterClassA(&windowClass) != 0;
}

HBRUSH SystemColourBrush(int colour) {
  return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(colour + 1));
}

void SetStandardCursor(LPCSTR cursor) {
  SetCursor(LoadCursorA(nullptr, cursor));
}

}  // namespace

void DecideMode(const char* commandLine) {
  const bool utility = commandLine != nullptr && IsUtilityCommandLine(commandLine);
  UtilityInvoked = utility ? 1 : 0;
  UtilityCommandLine = utility ? commandLine : nullptr;
}

int QueryWindowsVersion() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = kVersionInfoSize;
  Windows4 = GetVersionExA(&version) && version.dwMajorVersion >= 4 ? 1 : 0;
  return Windows4;
}

void LoadCtl3d(HINSTANCE instance, const char* libraryName) {
  const HINSTANCE library = LoadLibraryA(libraryName);
  if (library == nullptr) {
    ShowCtl3dNotice(kCtl3dMissing);
    return;
  }
  const Ctl3dCall registerLibrary = Ctl3dExport(library, "Ctl3dRegister");
  if (registerLibrary != nullptr && registerLibrary(instance)) {
    if (const Ctl3dCall autoSubclass = Ctl3dExport(library, "Ctl3dAutoSubclass")) autoSubclass(instance);
    Ctl3dInst = library;
    return;
  }
  ShowCtl3dNotice(kCtl3dRefused);
  FreeLibrary(library);
}

void UnloadCtl3d(HINSTANCE instance) {
  if (Ctl3dInst == nullptr) return;
  if (const Ctl3dCall unregister = Ctl3dExport(Ctl3dInst, "Ctl3dUnregister")) unregister(instance);
  FreeLibrary(Ctl3dInst);
  Ctl3dInst = nullptr;
}

void ShowBannerUntilClosed() {
  const HWND banner = Banner(nullptr);
  if (banner == nullptr) return;
  CentreWindow(banner);
  ShowWindow(banner, SW_SHOW);
  UpdateWindow(banner);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool RegisterWindowClasses(HINSTANCE instance) {
  const bool frame = RegisterOneClass(instance, szFrameClass, FrameWndProc, 0, IDI_FRAME,
                                      SystemColourBrush(COLOR_APPWORKSPACE));
  // The children keep their state pointer in their extra bytes (4 in the
  // 32-bit program).
  const bool editor = RegisterOneClass(instance, szEditClass, EditWndProc, sizeof(void*), IDI_EDITOR,
                                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const bool browser = RegisterOneClass(instance, szFilerClass, FilerWndProc, sizeof(void*), IDI_BROWSER,
                                        SystemColourBrush(COLOR_WINDOW));
  return frame && editor && browser;
}

void LoadFolderImages(HINSTANCE instance) {
  InitCommonControls();
  hImageList = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_FOLDERS), 16, 0, RGB(255, 255, 255),
                                    IMAGE_BITMAP, LR_SHARED);
}

HACCEL LoadModeMenus(HINSTANCE instance) {
  const bool utility = UtilityInvoked != 0;
  hMenuInit = LoadMenuA(instance, MAKEINTRESOURCEA(utility ? IDR_MENU_INIT_UTILITY : IDR_MENU_INIT));
  hMenuFiler = LoadMenuA(instance, MAKEINTRESOURCEA(utility ? IDR_MENU_FILER_UTILITY : IDR_MENU_FILER));
  hMenuEdit = LoadMenuA(instance, MAKEINTRESOURCEA(utility ? IDR_MENU_EDIT_UTILITY : IDR_MENU_EDIT));
  hMenuInitWindow = GetSubMenu(hMenuInit, 0);
  hMenuFilerWindow = GetSubMenu(hMenuFiler, 3);
  hMenuEditWindow = GetSubMenu(hMenuEdit, 2);
  return LoadAcceleratorsA(instance, MAKEINTRESOURCEA(utility ? IDR_ACCEL_UTILITY : IDR_ACCEL));
}

bool TranslateFrameMessage(MSG& message, HACCEL accelerators) {
  return TranslateMDISysAccel(MDIhwnd, &message) || TranslateAcceleratorA(MDIFrame, accelerators, &message);
}

int RunMessageLoop(HACCEL accelerators) {
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!TranslateFrameMessage(message, accelerators)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void CleanUpAfterLoop(HINSTANCE instance) {
  DestroyMenu(hMenuFiler);
  DestroyMenu(hMenuEdit);
  hMenuFiler = hMenuFilerWindow = hMenuEdit = hMenuEditWindow = nullptr;
  KillPathList();
  UnloadCtl3d(instance);
}

int RunProgram(HINSTANCE instance, HINSTANCE previous, const char* commandLine) {
  hInst = instance;
  DecideMode(commandLine);
  if (QueryWindowsVersion() == 0) LoadCtl3d(instance, kCtl3dLibrary);
  if (UtilityInvoked == 0) {
    SetStandardCursor(reinterpret_cast<LPCSTR>(IDC_APPSTARTING));
    ShowBannerUntilClosed();
    SetStandardCursor(reinterpret_cast<LPCSTR>(IDC_ARROW));
  }
  SetHandleCount(kHandleLimit);
  if (previous == nullptr) RegisterWindowClasses(instance);
  LoadFolderImages(instance);
  if (RegisterRemoteMessages() == 0 && UtilityInvoked != 0) {
    MessageBoxA(nullptr, kCannotRegister, AppName, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    UnloadCtl3d(instance);
    return 1;
  }
  const HACCEL accelerators = LoadModeMenus(instance);
  if (CreateFrameWindow(instance) == nullptr) {
    // Without a frame the loop would wait for ever with nothing on screen.
    CleanUpAfterLoop(instance);
    DestroyMenu(hMenuInit);
    return 1;
  }
  ShowWindow(MDIFrame, SW_SHOWMAXIMIZED);
  UpdateWindow(MDIFrame);
  if (UtilityInvoked == 0) {
    if (auto directory = ExtractBrowsePath(commandLine != nullptr ? commandLine : "")) {
      OpenStartPathBrowser(*directory);
    }
  }
  const int exitCode = RunMessageLoop(accelerators);
  CleanUpAfterLoop(instance);
  return exitCode;
}
