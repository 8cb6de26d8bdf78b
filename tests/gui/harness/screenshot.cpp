#include "harness/screenshot.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "harness/program.h"

#ifndef QUORVEX_ARTIFACT_DIR
#error "QUORVEX_ARTIFACT_DIR names the build tree's artifact directory"
#endif

namespace gui_harness {

namespace {

constexpr char kConvert[] = "/usr/bin/convert";
constexpr DWORD kConvertLimitMs = 30000;

bool WriteBitmapFile(const std::string& path, int width, int height,
                     const std::vector<unsigned char>& pixels) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up rows, as the pixels were copied
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                  std::fwrite(&info, sizeof(info), 1, out) == 1 &&
                  std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return std::fclose(out) == 0 && ok;
}

// Runs ImageMagick as a Unix program (Wine starts ELF files too).
void ConvertToPng(const std::string& name) {
  if (GetFileAttributesA(WindowsPath(kConvert).c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::string unixBase = std::string(QUORVEX_ARTIFACT_DIR) + "/" + name;
  std::string commandLine = std::string(kConvert) + " " + unixBase + ".bmp " + unixBase + ".png";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  WaitForSingleObject(process.hProcess, kConvertLimitMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

std::string ArtifactDirectory() {
  const std::string directory = WindowsPath(QUORVEX_ARTIFACT_DIR);
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  return directory;
}

std::string SaveScreenshot(const std::string& name) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::string path;
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const auto* first = static_cast<const unsigned char*>(bits);
    std::vector<unsigned char> pixels(first, first + stride * static_cast<size_t>(height));
    SelectObject(memory, previous);
    const std::string candidate = ArtifactDirectory() + "\\" + name + ".bmp";
    if (WriteBitmapFile(candidate, width, height, pixels)) path = candidate;
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!path.empty()) ConvertToPng(name);
  return path;
}

}  // namespace gui_harness
