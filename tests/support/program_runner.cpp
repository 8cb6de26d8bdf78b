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
  // The C runtime's rules: backslashes before a quote are doubled.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
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
  const std::string out = outputs.Path("out.txt"), err = outputs.Path("err.txt");
#ifdef _WIN32
  command += " <NUL >" + QuoteArgument(out) + " 2>" + QuoteArgument(err);
  // cmd /c drops the first and last quote of the line: give it a pair to drop.
  command = "\"" + command + "\"";
#else
  command += " </dev/null >" + QuoteArgument(out) + " 2>" + QuoteArgument(err);
#endif
  ProgramRun run;
  const int raw = std::system(command.c_str());
#ifdef _WIN32
  run.status = raw;
#else
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  const Bytes o = ReadBytes(out), e = ReadBytes(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

}  // namespace testing_support
