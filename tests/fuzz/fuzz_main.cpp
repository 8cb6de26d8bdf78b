// A libFuzzer program over the fuzz body QUORVEX_FUZZ_BODY: a broken rule aborts with its description, and
// libFuzzer keeps the input as a crash.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string broken = fuzz::QUORVEX_FUZZ_BODY(data, size);
  if (!broken.empty()) {
    std::fprintf(stderr, "quorvex fuzz: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
