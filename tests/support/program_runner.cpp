#include "program_runner.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace testing_support {

std::string HostPath(std::string path) {
#ifdef _WIN32
  // The Unix root is drive Z under Wine.
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
#endif
  return path;
}

namespace {

// One argument of a command line, quoted for the C runtime's splitting
// (under POSIX, for the shell).
std::string QuoteArgument(const std::string& arg) {
#ifdef _WIN32
  // The C runtime's rules: backslashes before a quote are doubled, and the quote escaped.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '"') quoted.append(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    quoted += c;
  }
  return quoted + std::string(backslashes, '\\') + "\"";  // before the closing quote too
#else
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

#ifdef _WIN32

// Under Windows the program is started directly, its standard handles on NUL
// and the two files, and waited for: no command interpreter stands between
// (its start, its search for the program and its redirections were one more
// process that could fail under load). -1 and the reason in *failure when it
// cannot be started.
int Run(const std::string& command, const std::string& outPath, const std::string& errPath,
        std::string* failure) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  const auto open = [&](const char* name, DWORD access, DWORD creation) {
    return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE handles[] = {open("NUL", GENERIC_READ, OPEN_EXISTING),
                      open(outPath.c_str(), GENERIC_WRITE, CREATE_ALWAYS),
                      open(errPath.c_str(), GENERIC_WRITE, CREATE_ALWAYS)};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = handles[0], startup.hStdOutput = handles[1], startup.hStdError = handles[2];
  PROCESS_INFORMATION process{};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  int status = -1;
  if (std::find(std::begin(handles), std::end(handles), INVALID_HANDLE_VALUE) != std::end(handles)) {
    *failure = "the standard handles could not be opened (error " + std::to_string(GetLastError()) + ")";
  } else if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process)) {
    *failure = "the program could not be started (error " + std::to_string(GetLastError()) + ")";
  } else {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (HANDLE handle : handles) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  return status;
}

#else

int Run(const std::string& command, const std::string& outPath, const std::string& errPath, std::string*) {
  const std::string line =
      command + " </dev/null >" + QuoteArgument(outPath) + " 2>" + QuoteArgument(errPath);
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  static TempDir outputs;
  std::string command = QuoteArgument(HostPath(program));
  for (const std::string& arg : args) command += " " + QuoteArgument(arg);
  const std::string outPath = outputs.Path("out.txt"), errPath = outputs.Path("err.txt");
  std::string failure;
  const int status = Run(command, outPath, errPath, &failure);
  const Bytes out = ReadBytes(outPath), err = ReadBytes(errPath);
  return {status, {out.begin(), out.end()}, failure.empty() ? std::string(err.begin(), err.end()) : failure};
}

}  // namespace testing_support
