// Writes the seed corpora made from the sample tree, one folder per target below the directory given, for
// scripts/fuzz.sh.
#include <filesystem>

#include "fuzz_bodies.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;  // usage: quorvex_fuzz_seeds DIR
  for (const fuzz::Target& target : fuzz::kTargets) {
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / target.name;
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : fuzz::SampleSeeds(target.name))
      testing_support::WriteBytes((folder / name).string(), bytes);
  }
  return 0;
}
