// Writes the seed corpora made from the sample tree: one folder per target
// below the directory given, for scripts/fuzz.sh.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz_bodies.h"
#include "fuzz_seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvex_fuzz_seeds DIR\n");
    return 2;
  }
  for (const fuzz::Target& target : fuzz::kTargets) {
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / target.name;
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : fuzz::SampleSeeds(target.name)) {
      std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).string().c_str());
        return 2;
      }
    }
  }
  return 0;
}
