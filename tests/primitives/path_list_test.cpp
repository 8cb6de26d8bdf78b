#include "primitives/path_list.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The global history is emptied around every test.
class PathListTest : public ::testing::Test {
 protected:
  void SetUp() override { KillPathList(); }
  void TearDown() override { KillPathList(); }

  static std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const PathNode* node = PathList; node != nullptr; node = node->next) paths.emplace_back(node->path);
    return paths;
  }
};

using S = std::vector<std::string>;

TEST_F(PathListTest, TheSameTextTwiceLeavesOneEntry) {
  AddPath("C:\\DATA\\");
  AddPath("C:\\DATA\\");
  EXPECT_EQ(Paths(), (S{"C:\\DATA\\"}));
}

TEST_F(PathListTest, TextsDifferingInCaseAreTwoEntries) {
  AddPath("C:\\DATA\\");
  AddPath("c:\\data\\");
  EXPECT_EQ(Paths(), (S{"c:\\data\\", "C:\\DATA\\"}));
}

TEST_F(PathListTest, NewestFirstAndARepeatDoesNotMoveItsEntry) {
  AddPath("A\\");
  AddPath("B\\");
  AddPath("C\\");
  AddPath("A\\");
  EXPECT_EQ(Paths(), (S{"C\\", "B\\", "A\\"}));
}

TEST_F(PathListTest, EntriesAreCopies) {
  char path[] = "D:\\QUOTES\\";
  AddPath(path);
  path[0] = 'E';
  EXPECT_EQ(Paths(), (S{"D:\\QUOTES\\"}));
}

TEST_F(PathListTest, KillEmptiesTheListWhichStaysUsable) {
  AddPath("A\\");
  AddPath("B\\");
  KillPathList();
  EXPECT_EQ(PathList, nullptr);
  AddPath("A\\");
  EXPECT_EQ(Paths(), (S{"A\\"}));
}

}  // namespace
