// Replays through every fuzz body: the seeds made from the sample tree, the
// small committed seeds, and every input that once broke a rule (committed
// under regressions/<target>/ when a fuzzer found it). Runs in every test
// build, natively and under Wine; the fuzzers themselves run from
// scripts/fuzz.sh.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz_bodies.h"
#include "fuzz_seeds.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path FuzzFolder() {
  std::string root = QUORVEX_FUZZ_DIR;
#ifdef _WIN32
  // Under Wine the Linux file system is drive Z:.
  if (!root.empty() && root[0] == '/') root = "Z:" + root;
#endif
  return fs::path(root);
}

// The committed inputs of a folder (seeds or regressions) for the target.
std::map<std::string, testing_support::Bytes> Committed(const std::string& folder,
                                                        const std::string& target) {
  std::map<std::string, testing_support::Bytes> inputs;
  const fs::path path = FuzzFolder() / folder / target;
  std::error_code error;
  if (!fs::is_directory(path, error)) return inputs;
  for (const auto& entry : fs::directory_iterator(path)) {
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
      inputs[entry.path().filename().string()] = testing_support::ReadBytes(entry.path().string());
  }
  return inputs;
}

class FuzzReplay : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzReplay, EverySeedAndEveryOnceFailingInputKeepsEveryRule) {
  const fuzz::Target target = GetParam();
  const auto seeds = fuzz::SampleSeeds(target.name);
  ASSERT_FALSE(seeds.empty());
  for (const auto& [name, bytes] : seeds) EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << name;
  const auto committed = Committed("seeds", target.name);
  ASSERT_FALSE(committed.empty()) << "no committed seeds for " << target.name;
  for (const auto& [name, bytes] : committed) EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << name;
  // Every input that once broke a rule, kept when a fuzzer found it.
  for (const auto& [name, bytes] : Committed("regressions", target.name))
    EXPECT_EQ(target.body(bytes.data(), bytes.size()), "") << "regression " << name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::kTargets),
                         [](const ::testing::TestParamInfo<fuzz::Target>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
