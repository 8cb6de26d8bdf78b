#include "program_runner.h"

#include <cstdlib>

#include "temp_dir.h"

#ifndef _WIN32
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

// One argument of a command line, quoted for the system's command
// interpreter and the C runtime's splitting.
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

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  static TempDir outputs;
  std::string command = QuoteArgument(HostPath(program));
  for (const std::string& arg : args) command += " " + QuoteArgument(arg);
  const std::string outPath = outputs.Path("out.txt"), errPath = outputs.Path("err.txt");
#ifdef _WIN32
  command += " <NUL >" + QuoteArgument(outPath) + " 2>" + QuoteArgument(errPath);
  // cmd /c drops the first and last quote of the line: give it a pair to drop.
  command = "\"" + command + "\"";
#else
  command += " </dev/null >" + QuoteArgument(outPath) + " 2>" + QuoteArgument(errPath);
#endif
  int status = std::system(command.c_str());
#ifndef _WIN32
  status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  const Bytes out = ReadBytes(outPath), err = ReadBytes(errPath);
  return {status, {out.begin(), out.end()}, {err.begin(), err.end()}};
}

}  // namespace testing_support
