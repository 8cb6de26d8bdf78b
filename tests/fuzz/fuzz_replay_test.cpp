// Every fuzz body over the seeds from the sample tree, the committed seeds and every input that once broke a
// rule; scripts/fuzz.sh runs the fuzzers.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_bodies.h"
#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace {

class FuzzReplay : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzReplay, EverySeedAndEveryOnceFailingInputKeepsEveryRule) {
  const fuzz::Target target = GetParam();
  auto inputs = fuzz::SampleSeeds(target.name);
  const size_t samples = inputs.size();
  for (const char* folder : {"seeds", "regressions"}) {
    const auto path =
        std::filesystem::path(testing_support::HostPath(QUORVEX_FUZZ_DIR)) / folder / target.name;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.path().filename().string()[0] != '.')
        inputs[entry.path().string()] = testing_support::ReadBytes(entry.path().string());
    }
  }
  EXPECT_GT(inputs.size(), samples) << "no committed seeds";
  for (const auto& [name, bytes] : inputs) EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::kTargets),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
