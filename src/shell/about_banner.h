// The banner shown for three seconds at an interactive start, and the About
// box (Help, command 518). Both paint the program's picture (bitmap 700) and
// its name, notice and version over black; the About box adds two contact
// lines and its OK button.
#pragma once

#include <windows.h>

// Our texts.
extern const char kVersionText[];
extern const char kNoticeText[];
extern const char kGeneralContactLabel[];
extern const char kGeneralContactAddress[];
extern const char kSupportContactLabel[];
extern const char kSupportContactAddress[];

// Creates the banner (template 102) as a modeless dialog without owner; null
// on failure. It closes itself after three seconds and then posts WM_QUIT
// (code 0), which ends the caller's message loop.
HWND Banner(HWND unused);
// Runs the About box (template 101) modally over parent.
void About(HWND parent);

INT_PTR CALLBACK BannerDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

enum class PictureBox { kBanner, kAbout };

// Paints a box's whole client area into dc: black, the picture at the top
// left, the name, notice and version, and for the About box the contact
// lines. Everything it creates is freed before it returns.
void PaintPictureBox(HDC dc, const RECT& client, PictureBox box);

// The box sizes in pixels (of the client area).
inline constexpr int kPictureWidth = 539;
inline constexpr int kPictureHeight = 272;
inline constexpr int kAboutHeight = 400;
