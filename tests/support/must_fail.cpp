// Prints a token and exits with a failure status, so that CTest proves both
// that the program really ran (under Wine too) and that exit codes reach it.
#include <cstdio>

int main() {
  std::puts("quorvex harness probe");
  return 3;
}
