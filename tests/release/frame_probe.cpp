// Starts a program as a user does, PROGRAM PATH:"DIRECTORY", waits for its frame and for the browser it opens
// on DIRECTORY, closes the frame as its close box does and waits for the program to end. Prints what it saw;
// exits 0 only when all of it happened and the program ended with code 0.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: frame_probe PROGRAM DIRECTORY\n");
    return 2;
  }
  std::string line = std::string("\"") + argv[1] + "\" PATH:\"" + argv[2] + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::printf("cannot start %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  // The banner comes first (three seconds), then the frame with the browser; a minute at most.
  HWND frame = nullptr, browser = nullptr;
  for (int i = 0; i < 600 && browser == nullptr; ++i) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;  // ended on its own
    frame = FindWindowA("QuorvexMDIFrame", nullptr);
    if (frame != nullptr && !IsWindowVisible(frame)) frame = nullptr;
    const HWND client = frame ? FindWindowExA(frame, nullptr, "MDIClient", nullptr) : nullptr;
    browser = client ? FindWindowExA(client, nullptr, "MdiFilerChild", nullptr) : nullptr;
  }
  char caption[256] = "(none)", title[MAX_PATH + 2] = "(none)";
  if (frame != nullptr) GetWindowTextA(frame, caption, sizeof caption);
  if (browser != nullptr) GetWindowTextA(browser, title, sizeof title);
  std::printf("frame: %s\nbrowser: %s\n", caption, title);
  if (frame != nullptr) PostMessageA(frame, WM_CLOSE, 0, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("exit code: %lu\n", code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return frame != nullptr && browser != nullptr && code == 0 ? 0 : 1;
}
