#include "browser/directory_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Builds directory trees under a scratch root and scans them.
class DirectoryScanTest : public ::testing::Test {
 protected:
  ~DirectoryScanTest() override {
    KillTreeData(nodes_);
    KillList(nodes_);
  }

  // A directory (and its parents), relative to the root, with '/'.
  void Dir(const std::string& relative) { fs::create_directories(fs::path(root_.Path(relative))); }
  void File(const std::string& relative) {
    Dir(fs::path(relative).parent_path().string());
    std::ofstream(fs::path(root_.Path(relative))) << "x";
  }
  void DataDir(const std::string& relative) { File(relative + "/master"); }

  void Scan(bool prune = true) {
    ASSERT_EQ(ScanRootDirectory(nodes_, root_.Dir().c_str()), 1);
    if (prune) {
      ASSERT_EQ(PruneDirTree(nodes_), 1);
    }
  }

  // The core's path of a directory below the root.
  std::string PathOf(const std::string& relative) const {
    std::string path = root_.Dir();
    for (char c : relative) path += c == '/' ? '\\' : c;
    return path + "\\";
  }

  const DirNode* Find(const std::string& relative) const {
    std::string path = PathOf(relative);
    for (const ListNode* it = nodes_->first; it != nullptr; it = it->next) {
      auto* node = static_cast<const DirNode*>(it->item);
      if (path == node->path) return node;
    }
    return nullptr;
  }

  // "label@depth" in tree order.
  std::vector<std::string> Walk() const {
    std::vector<std::string> lines;
    WalkDirTree(nodes_, [&](const DirNode& node, int depth) {
      lines.push_back(std::string(node.name) + "@" + std::to_string(depth));
    });
    return lines;
  }

  // The subdirectory names of a directory in the order the platform's search
  // gives them.
  std::vector<std::string> SearchOrder(const std::string& directory) const {
    std::vector<std::string> names;
    platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
      if (entry.isDirectory) names.push_back(entry.name);
      return true;
    });
    return names;
  }

  testing_support::TempDir root_;
  List* nodes_ = CreateList();
};

TEST_F(DirectoryScanTest, RootAloneWithoutSubdirectoriesHasNoExpandButton) {
  Scan();
  ASSERT_EQ(CountListItems(nodes_), 1);
  const DirNode* root = RootDirNode(nodes_);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->childCount, 0);
  EXPECT_STREQ(root->path, root_.Dir().c_str());
  EXPECT_EQ(std::string(root->name), root_.Dir().substr(0, kDirLabelLength));
}

TEST_F(DirectoryScanTest, PruningKeepsOnlyDataDirectoriesAndTheWayToThem) {
  DataDir("A");
  Dir("B");                 // no master, nothing below
  DataDir("C/D");           // C leads to data
  Dir("E/F/G");             // three levels of nothing: several passes remove them
  File("H/notmaster.txt");  // other files do not count
  Scan();
  EXPECT_NE(Find("A"), nullptr);
  EXPECT_NE(Find("C"), nullptr);
  EXPECT_NE(Find("C/D"), nullptr);
  for (const char* gone : {"B", "E", "E/F", "E/F/G", "H"}) EXPECT_EQ(Find(gone), nullptr) << gone;
  EXPECT_EQ(CountListItems(nodes_), 4);
}

TEST_F(DirectoryScanTest, RootWithoutAnyMasterStillShowsItself) {
  Dir("x/y");
  Scan();
  EXPECT_EQ(CountListItems(nodes_), 1);
  EXPECT_EQ(RootDirNode(nodes_)->childCount, 1);
}

TEST_F(DirectoryScanTest, ChildCountsCountScannedSubdirectoriesEvenWhenPruned) {
  DataDir("Data");
  Dir("Data/Old");
  Dir("Data/Older");
  DataDir("Lead/Deep");
  Scan();
  EXPECT_EQ(Find("Data")->childCount, 2);  // both pruned, the expand button stays
  EXPECT_EQ(Find("Lead")->childCount, 1);
  EXPECT_EQ(Find("Lead/Deep")->childCount, 0);
  EXPECT_EQ(RootDirNode(nodes_)->childCount, 2);
}

TEST_F(DirectoryScanTest, NamesBeginningWithAFullStopAreSkippedWithEverythingBelow) {
  DataDir(".hidden");
  DataDir(".hidden/inner");
  DataDir("shown");
  Scan();
  EXPECT_EQ(Find(".hidden"), nullptr);
  EXPECT_EQ(Find(".hidden/inner"), nullptr);
  EXPECT_NE(Find("shown"), nullptr);
  EXPECT_EQ(RootDirNode(nodes_)->childCount, 1);
}

TEST_F(DirectoryScanTest, LabelsAreCutTo29CharactersPathsAreWhole) {
  const std::string longName = "Forty Characters Long Directory Name 40c";
  ASSERT_EQ(longName.size(), 40u);
  DataDir(longName);
  DataDir("short");
  Scan();
  const DirNode* node = Find(longName);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(std::string(node->name), longName.substr(0, 29));
  EXPECT_EQ(std::string(node->path), PathOf(longName));
  EXPECT_STREQ(Find("short")->name, "short");
}

TEST_F(DirectoryScanTest, MasterIsFoundWhateverItsLetterCase) {
  for (const char* name : {"MASTER", "Master", "master"}) {
    File(std::string("dir_") + name + "/" + name);
    EXPECT_EQ(HasMasterFile(PathOf(std::string("dir_") + name).c_str()), 1) << name;
  }
  File("other/masters");
  File("other/master.bak");
  EXPECT_EQ(HasMasterFile(PathOf("other").c_str()), 0);
}

// A subdirectory that happens to be named master is not a master file: the
// directory above it is shown only on the way to data below it.
TEST_F(DirectoryScanTest, ADirectoryNamedMasterIsNotAMasterFile) {
  Dir("holder/Master");
  EXPECT_EQ(HasMasterFile(PathOf("holder").c_str()), 0);
  Scan();
  EXPECT_EQ(Find("holder"), nullptr);
  DataDir("holder/Master");
  Scan();
  ASSERT_NE(Find("holder"), nullptr);
  EXPECT_EQ(Find("holder")->hasMaster, 0);
  EXPECT_EQ(Find("holder/Master")->hasMaster, 1);
}

TEST_F(DirectoryScanTest, NodesLinkToTheirParentsCopyInTheList) {
  DataDir("a/b/c");
  Scan();
  const DirNode* c = Find("a/b/c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->parent, Find("a/b"));
  EXPECT_EQ(c->parent->parent, Find("a"));
  EXPECT_EQ(c->parent->parent->parent, RootDirNode(nodes_));
  EXPECT_STREQ(GetPathFromTree(c), PathOf("a/b/c").c_str());
}

// The Windows tree view is filled by walking the List: the root must be its
// last item and every node must lie closer to the front than its parent.
TEST_F(DirectoryScanTest, ListRunsFromTheDeepestNodesToTheRoot) {
  DataDir("a/b");
  DataDir("a/c");
  DataDir("d");
  Scan(false);
  EXPECT_EQ(static_cast<const DirNode*>(nodes_->last->item)->parent, nullptr);
  int index = 0;
  std::vector<std::pair<const DirNode*, int>> positions;
  for (const ListNode* it = nodes_->first; it != nullptr; it = it->next) {
    positions.emplace_back(static_cast<const DirNode*>(it->item), index++);
  }
  for (const auto& [node, position] : positions) {
    if (node->parent == nullptr) continue;
    for (const auto& [other, otherPosition] : positions) {
      if (other == node->parent) {
        EXPECT_LT(position, otherPosition) << node->path;
      }
    }
  }
}

TEST_F(DirectoryScanTest, TreeShowsSubdirectoriesInSearchOrderEachFollowedByItsSubtree) {
  for (const char* name : {"delta", "Alpha", "charlie", "Bravo"}) DataDir(name);
  DataDir("Alpha/two");
  DataDir("Alpha/one");
  Scan();
  std::vector<std::string> expected = {std::string(RootDirNode(nodes_)->name) + "@0"};
  for (const std::string& name : SearchOrder(root_.Dir())) {
    expected.push_back(name + "@1");
    if (name == "Alpha") {
      for (const std::string& inner : SearchOrder(PathOf("Alpha"))) expected.push_back(inner + "@2");
    }
  }
  EXPECT_EQ(Walk(), expected);
  std::vector<std::string> names;
  for (const DirNode* child : ChildDirNodes(nodes_, RootDirNode(nodes_))) names.push_back(child->name);
  EXPECT_EQ(names, SearchOrder(root_.Dir()));
}

TEST_F(DirectoryScanTest, UnreadableRootGivesTheRootAlone) {
  testing_support::TempDir other;
  std::string missing = other.Dir() + "does-not-exist\\";
  List* nodes = CreateList();
  EXPECT_EQ(ScanRootDirectory(nodes, missing.c_str()), 1);
  EXPECT_EQ(CountListItems(nodes), 1);
  KillTreeData(nodes);
  KillList(nodes);
}

#ifndef _WIN32
// A link back up the tree must not send the scan round for ever.
TEST_F(DirectoryScanTest, DirectoryLinkedIntoItsOwnSubtreeEndsTheScan) {
  DataDir("a");
  fs::create_directory_symlink(fs::path(root_.Path("")), fs::path(root_.Path("a/loop")));
  Scan();
  EXPECT_LT(CountListItems(nodes_), 1000);
  EXPECT_NE(Find("a"), nullptr);
}
#endif

}  // namespace
