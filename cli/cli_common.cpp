#include "cli_common.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace qvx {

std::string CoreDirectory(const std::string& dir) {
  if (dir.empty()) return dir;
  std::string text = dir;
  while (!text.empty() && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text + "\\";
}

void UseBinaryOutput() {
#ifdef _WIN32
  // Text mode would turn every "\n" into "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return kExitFailure;
}

}  // namespace qvx
