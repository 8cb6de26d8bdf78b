// A libFuzzer program over one fuzz body, named by QUORVEX_FUZZ_BODY. A broken
// rule aborts with its description, which libFuzzer reports as a crash and
// keeps the input of.
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
