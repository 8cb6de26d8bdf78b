// The About box and the banner: what they paint, their sizes, how they close.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "harness/dialog_responder.h"
#include "harness/wait.h"
#include "resource.h"
#include "shell/about_banner.h"
#include "shell/frame_fixture.h"
#include "shell/shell_globals.h"

namespace {

// A 32-bit top-down DIB section to paint into and read back.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    // Not black, so that the fill is seen.
    for (int i = 0; i < width * height; ++i) bits_[i] = 0x00123456;
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Pixels of exactly this colour inside [x0, x1) x [y0, y1).
  int Count(COLORREF colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == colour ? 1 : 0;
    return n;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  uint32_t* bits_ = nullptr;
};

COLORREF PicturePixel(int x, int y) {
  const HBITMAP picture = LoadBitmapA(hInst, MAKEINTRESOURCEA(IDB_PICTURE));
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, picture);
  const COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(picture);
  return colour;
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kDarkRed = RGB(200, 0, 0);
constexpr COLORREF kGrey = RGB(200, 200, 200);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class PictureBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { hInst = GetModuleHandleA(nullptr); }
};

TEST_F(PictureBoxTest, ThePictureFillsTheTopLeftOneToOne) {
  Canvas canvas(539, 400);
  PaintPictureBox(canvas.dc(), RECT{0, 0, 539, 400}, PictureBox::kAbout);
  for (const POINT p : {POINT{0, 0}, POINT{3, 3}, POINT{60, 40}, POINT{300, 20}, POINT{530, 265}}) {
    EXPECT_EQ(canvas.At(p.x, p.y), PicturePixel(p.x, p.y)) << "at " << p.x << "," << p.y;
  }
  EXPECT_EQ(canvas.At(535, 395), kBlack) << "below the picture the box is black";
  EXPECT_EQ(canvas.At(2, 390), kBlack);
}

TEST_F(PictureBoxTest, NameNoticeAndVersionArePaintedInTheirColoursAndPlaces) {
  Canvas canvas(539, 272);
  PaintPictureBox(canvas.dc(), RECT{0, 0, 539, 272}, PictureBox::kBanner);
  EXPECT_GT(canvas.Count(kRed, 150, 100, 530, 205), 500)
      << "the name in red between x 150 and 529 from y 100";
  EXPECT_EQ(canvas.Count(kRed, 0, 0, 150, 272) + canvas.Count(kRed, 0, 0, 539, 95), 0)
      << "red outside the name";
  EXPECT_GT(canvas.Count(kDarkRed, 150, 185, 525, 261), 200) << "notice and version in dark red";
  EXPECT_EQ(canvas.Count(kDarkRed, 525, 0, 539, 272), 0) << "the texts end at x 524";
  EXPECT_EQ(canvas.Count(kDarkRed, 0, 261, 539, 272), 0) << "the version ends at y 260";
}

TEST_F(PictureBoxTest, OnlyTheAboutBoxShowsTheContactLinesBelowThePicture) {
  Canvas about(539, 400);
  PaintPictureBox(about.dc(), RECT{0, 0, 539, 400}, PictureBox::kAbout);
  EXPECT_GT(about.Count(kGrey, 10, 272, 200, 301), 50) << "the general label, bottom at y 300";
  EXPECT_GT(about.Count(kGrey, 10, 301, 200, 331), 50) << "the support label, bottom at y 330";
  EXPECT_GT(about.Count(kWhite, 60, 272, 539, 301), 50) << "the general address";
  EXPECT_GT(about.Count(kWhite, 60, 301, 539, 331), 50) << "the support address";
  EXPECT_EQ(about.Count(kGrey, 0, 331, 539, 400) + about.Count(kWhite, 0, 331, 539, 400), 0)
      << "nothing below the second line";

  Canvas banner(539, 400);
  PaintPictureBox(banner.dc(), RECT{0, 0, 539, 400}, PictureBox::kBanner);
  EXPECT_EQ(banner.Count(kGrey, 0, 272, 539, 400) + banner.Count(kWhite, 0, 272, 539, 400), 0);
}

TEST_F(PictureBoxTest, PaintingLeavesTheDeviceContextAsItFoundIt) {
  Canvas canvas(539, 400);
  const HGDIOBJ font = GetCurrentObject(canvas.dc(), OBJ_FONT);
  SetTextColor(canvas.dc(), RGB(1, 2, 3));
  PaintPictureBox(canvas.dc(), RECT{0, 0, 539, 400}, PictureBox::kAbout);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), font);
  EXPECT_EQ(GetTextColor(canvas.dc()), RGB(1, 2, 3));
  EXPECT_EQ(GetBkMode(canvas.dc()), OPAQUE);
}

TEST_F(FrameTest, AboutBoxIs539By400WithOkCentredAboveY370AndCloses) {
  BuildFrame("");
  for (const int closeWith : {IDOK, IDCANCEL, 0}) {
    SCOPED_TRACE(closeWith == 0 ? "closed with WM_CLOSE" : "closed with button " + std::to_string(closeWith));
    gui_harness::DialogResponder responder;
    responder.ExpectDialog("About Quorvex", [&](HWND box) {
      RECT client{};
      GetClientRect(box, &client);
      EXPECT_EQ(client.right, 539);
      EXPECT_EQ(client.bottom, 400);
      RECT ok{};
      GetWindowRect(GetDlgItem(box, IDOK), &ok);
      MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
      EXPECT_EQ(ok.left, (539 - (ok.right - ok.left)) / 2);
      EXPECT_EQ(ok.bottom, 370);
      RECT outer{};
      GetWindowRect(box, &outer);
      RECT desktop{};
      GetWindowRect(GetDesktopWindow(), &desktop);
      EXPECT_EQ(outer.left, desktop.right / 2 - (outer.right - outer.left) / 2) << "centred on the desktop";
      if (closeWith == 0) {
        PostMessageA(box, WM_CLOSE, 0, 0);
      } else {
        PostMessageA(box, WM_COMMAND, closeWith, 0);
      }
    });
    SendMessageA(MDIFrame, WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_EQ(responder.Outstanding(), 0u);
  }
}

TEST(Banner, IsACaptionlessPopupThatClosesAfterThreeSecondsAndEndsTheLoop) {
  hInst = GetModuleHandleA(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const HWND banner = Banner(nullptr);
  ASSERT_NE(banner, nullptr);
  ShowWindow(banner, SW_SHOW);
  RECT client{};
  GetClientRect(banner, &client);
  EXPECT_EQ(client.right, 539);
  EXPECT_EQ(client.bottom, 272);
  EXPECT_EQ(GetWindowLongPtrA(banner, GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_EQ(GetWindow(banner, GW_OWNER), nullptr);
  EXPECT_EQ(GetWindow(banner, GW_CHILD), nullptr) << "no controls";

  // Keys and clicks do not close it.
  PostMessageA(banner, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(banner, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
  PostMessageA(banner, WM_CLOSE, 0, 0);

  bool quit = false;
  MSG message;
  ASSERT_TRUE(gui_harness::WaitUntil("the banner to close and post WM_QUIT", [&] {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        EXPECT_EQ(message.wParam, 0u);
      } else {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    return quit && !IsWindow(banner);
  }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
}

}  // namespace
