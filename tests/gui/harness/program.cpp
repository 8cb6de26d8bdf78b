#include "harness/program.h"

#include "harness/dialog_responder.h"
#include "harness/wait.h"

namespace gui_harness {

namespace {

constexpr UINT kRequestTimeoutMs = 60000;

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->windows.push_back(window);
  return TRUE;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  char full[MAX_PATH * 4] = {};
  GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  return full;
}

Program::Program(const std::string& executable, const std::string& arguments) {
  const std::string exe = WindowsPath(executable);
  std::string commandLine = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_)) {
    ADD_FAILURE() << "could not start " << exe << " (error " << GetLastError() << ")";
    process_ = {};
  }
}

Program::~Program() {
  if (process_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Program::Running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

testing::AssertionResult Program::WaitForExit(DWORD& exitCode, std::chrono::milliseconds limit) {
  if (process_.hProcess == nullptr) return testing::AssertionFailure() << "the program never started";
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
    return testing::AssertionFailure()
           << "timed out after " << limit.count() << " ms waiting for the program to end";
  }
  GetExitCodeProcess(process_.hProcess, &exitCode);
  return testing::AssertionSuccess();
}

std::vector<HWND> Program::Windows() const {
  WindowSearch search{Id(), {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

HWND Program::Window(const std::string& className, const std::optional<std::string>& caption) const {
  for (HWND window : Windows()) {
    if (ClassName(window) == className && (!caption || WindowText(window) == *caption)) return window;
  }
  return nullptr;
}

HWND Program::Frame() const {
  const HWND frame = FindWindowA("QuorvexMDIFrame", nullptr);
  DWORD owner = 0;
  if (frame != nullptr) GetWindowThreadProcessId(frame, &owner);
  return owner == Id() && IsWindowVisible(frame) ? frame : nullptr;
}

HWND FindProgramDialog(const Program& program, const std::string& caption) {
  return program.Window("#32770", caption);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

COLORREF ClientPixel(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  return ScreenPixel(point.x, point.y);
}

void PressChord(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *it;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

RemoteRequest::RemoteRequest(HWND target, const char* messageName)
    : message_(RegisterWindowMessageA(messageName)) {
  thread_ = std::thread([this, target] {
    DWORD_PTR result = 0;
    const LRESULT sent = SendMessageTimeoutA(target, message_, 0, 0, SMTO_NORMAL, kRequestTimeoutMs, &result);
    result_ = static_cast<LRESULT>(result);
    answered_ = sent != 0;
    done_ = true;
  });
}

RemoteRequest::~RemoteRequest() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace gui_harness
