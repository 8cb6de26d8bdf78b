// Replays through every fuzz body the seeds made from the sample tree, the
// small committed seeds and every input that once broke a rule (committed
// under regressions/<target>/ when a fuzzer found it). The fuzzers themselves
// run from scripts/fuzz.sh.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_bodies.h"
#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class FuzzReplay : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzReplay, EverySeedAndEveryOnceFailingInputKeepsEveryRule) {
  const fuzz::Target target = GetParam();
  const auto seeds = fuzz::SampleSeeds(target.name);
  ASSERT_FALSE(seeds.empty());
  for (const auto& [name, bytes] : seeds) EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << name;
  int committed = 0;
  for (const char* folder : {"seeds", "regressions"}) {
    const fs::path path = fs::path(testing_support::HostPath(QUORVEX_FUZZ_DIR)) / folder / target.name;
    for (const auto& entry : fs::directory_iterator(path)) {
      if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
      const testing_support::Bytes bytes = testing_support::ReadBytes(entry.path().string());
      EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << entry.path();
      committed += folder[0] == 's';
    }
  }
  EXPECT_GT(committed, 0) << "no committed seeds for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::kTargets),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
