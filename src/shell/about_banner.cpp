#include "shell/about_banner.h"

#include <cstring>

#include "resource.h"
#include "shell/shell_globals.h"
#include "winui/centre_window.h"
#include "winui/gdi_guards.h"
#include "winui/window_thunk.h"

const char kVersionText[] = "Version " QUORVEX_VERSION;
const char kNoticeText[] = "(c) 2026 The Quorvex Team";
const char kGeneralContactLabel[] = "Enquiries : ";
const char kGeneralContactAddress[] = "info@quorvex.example";
const char kSupportContactLabel[] = "Support : ";
const char kSupportContactAddress[] = "support@quorvex.example";

namespace {

constexpr char kTypeface[] = "Times New Roman";
constexpr COLORREF kNameColour = RGB(255, 0, 0);
constexpr COLORREF kNoticeColour = RGB(200, 0, 0);
constexpr COLORREF kLabelColour = RGB(200, 200, 200);
constexpr COLORREF kAddressColour = RGB(255, 255, 255);
constexpr UINT kBannerMilliseconds = 3000;

ScopedFont MakeFont(int height, bool italic, DWORD quality) {
  return ScopedFont(CreateFontA(height, 0, 0, 0, FW_BOLD, italic ? TRUE : FALSE, FALSE, FALSE, 0, 0, 0,
                                quality, 0, kTypeface));
}

SIZE TextSize(HDC dc, const char* text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
  return size;
}

void DrawText(HDC dc, int x, int y, const char* text) {
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

void PaintPicture(HDC dc) {
  ScopedBitmap picture(LoadBitmapA(hInst, MAKEINTRESOURCEA(IDB_PICTURE)));
  if (!picture) return;
  ScopedMemoryDC memory(dc);
  ScopedSelectObject selected(memory.get(), picture.get());
  StretchBlt(dc, -1, -1, kPictureWidth, kPictureHeight, memory.get(), -1, -1, kPictureWidth, kPictureHeight,
             SRCCOPY);
}

// The name, centred between x 150 and 529, its top at y 100.
void PaintName(HDC dc) {
  ScopedFont font = MakeFont(100, true, PROOF_QUALITY);
  ScopedSelectObject selected(dc, font.get());
  SetTextColor(dc, kNameColour);
  const SIZE size = TextSize(dc, AppName);
  DrawText(dc, 150 + (529 - 150 - size.cx) / 2, 100, AppName);
}

// The notice and the version, ending at x 524, their bottoms at y 220 and 260.
void PaintNoticeAndVersion(HDC dc) {
  ScopedFont font = MakeFont(30, true, 0);
  ScopedSelectObject selected(dc, font.get());
  SetTextColor(dc, kNoticeColour);
  const SIZE notice = TextSize(dc, kNoticeText);
  DrawText(dc, 524 - notice.cx, 220 - notice.cy, kNoticeText);
  const SIZE version = TextSize(dc, kVersionText);
  DrawText(dc, 524 - version.cx, 260 - version.cy, kVersionText);
}

// Two lines below the picture, their bottoms at y 300 and 330, both placed by
// the size of the general label.
void PaintContacts(HDC dc) {
  SIZE label{};
  {
    ScopedFont font = MakeFont(25, false, 0);
    ScopedSelectObject selected(dc, font.get());
    SetTextColor(dc, kLabelColour);
    label = TextSize(dc, kGeneralContactLabel);
    DrawText(dc, 10, 300 - label.cy, kGeneralContactLabel);
    DrawText(dc, 10, 330 - label.cy, kSupportContactLabel);
  }
  ScopedFont font = MakeFont(25, true, 0);
  ScopedSelectObject selected(dc, font.get());
  SetTextColor(dc, kAddressColour);
  DrawText(dc, label.cx + 10, 300 - label.cy, kGeneralContactAddress);
  DrawText(dc, label.cx + 10, 330 - label.cy, kSupportContactAddress);
}

INT_PTR OnPaint(HWND dialog, PictureBox box) {
  ScopedPaint paint(dialog);
  RECT client{};
  GetClientRect(dialog, &client);
  PaintPictureBox(paint.dc(), client, box);
  return TRUE;
}

INT_PTR OnBannerInit(HWND dialog) {
  SetWindowPos(dialog, nullptr, 0, 0, kPictureWidth, kPictureHeight, SWP_NOZORDER | SWP_NOREDRAW);
  SetTimer(dialog, IDT_BANNER, kBannerMilliseconds, nullptr);
  return TRUE;
}

INT_PTR OnBannerTimer(HWND dialog) {
  KillTimer(dialog, IDT_BANNER);
  // A modeless box is closed by destroying it (EndDialog only hides it).
  DestroyWindow(dialog);
  PostQuitMessage(0);
  return TRUE;
}

INT_PTR OnAboutInit(HWND dialog) {
  // The client area, in which everything is placed, is 539 x 400.
  RECT outer{0, 0, kPictureWidth, kAboutHeight};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOREDRAW);
  const HWND ok = GetDlgItem(dialog, IDOK);
  RECT button{};
  GetWindowRect(ok, &button);
  const int width = button.right - button.left;
  const int height = button.bottom - button.top;
  SetWindowPos(ok, nullptr, (kPictureWidth - width) / 2, 370 - height, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  InvalidateRect(dialog, nullptr, TRUE);
  CentreWindow(dialog);
  return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, WORD command) {
  if (command != IDOK && command != IDCANCEL) return FALSE;
  EndDialog(dialog, 0);
  return TRUE;
}

}  // namespace

void PaintPictureBox(HDC dc, const RECT& client, PictureBox box) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  PaintPicture(dc);
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF previousColour = GetTextColor(dc);
  PaintName(dc);
  PaintNoticeAndVersion(dc);
  if (box == PictureBox::kAbout) PaintContacts(dc);
  SetTextColor(dc, previousColour);
  SetBkMode(dc, previousMode);
}

INT_PTR CALLBACK BannerDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return RunDialogProcedure([&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        return OnBannerInit(dialog);
      case WM_PAINT:
        return OnPaint(dialog, PictureBox::kBanner);
      case WM_TIMER:
        return OnBannerTimer(dialog);
      default:
        return FALSE;
    }
  });
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return RunDialogProcedure([&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        return OnAboutInit(dialog);
      case WM_PAINT:
        return OnPaint(dialog, PictureBox::kAbout);
      case WM_COMMAND:
        return OnAboutCommand(dialog, LOWORD(wParam));
      case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
      default:
        return FALSE;
    }
  });
}

HWND Banner(HWND) {
  return CreateDialogParamA(hInst, MAKEINTRESOURCEA(IDD_BANNER), nullptr, BannerDlgProc, 0);
}

void About(HWND parent) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ABOUT), parent, AboutDlgProc, 0);
}
