#include "store/directory_scan.h"

#include <algorithm>
#include <filesystem>

#include "store_fixture.h"

namespace store_test {
namespace {

namespace fs = std::filesystem;

class DirectoryScanTest : public ::testing::Test {
 protected:
  void Make(const std::string& relative) {
    fs::create_directories(fs::path(root_.Path(relative)).parent_path());
    WriteBytes(root_.Path(relative), {1});
  }
  std::string PathOf(std::string relative) const {
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return root_.Dir() + relative + "\\";
  }
  const DirNode* Find(const std::string& relative) const {
    for (const ListNode* it = nodes_->first; it != nullptr; it = it->next) {
      if (PathOf(relative) == static_cast<const DirNode*>(it->item)->path)
        return static_cast<const DirNode*>(it->item);
    }
    return nullptr;
  }
  // The subdirectories of a directory in the order the platform's search gives them.
  static Texts SearchOrder(const std::string& directory) {
    Texts names;
    platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
      if (entry.isDirectory) names.push_back(entry.name);
      return true;
    });
    return names;
  }
  TempDir root_;
  NodeListPtr nodes_{CreateList()};
};

// Also: a link into a directory already scanned is not followed, one to another is (Wine makes no
// links); on POSIX a backslash belongs to the name it is in. Threads looking ahead (one of them entering
// the link into Bravo that the scan passes over) change nothing.
TEST_F(DirectoryScanTest, TheTreeHoldsTheDataDirectoriesAndTheWayToThemInSearchOrder) {
  const std::string longName = "Forty Characters Long Directory Name 40c";
  for (const char* file :
       {"Alpha/master", "Alpha/two/MASTER", "Alpha/one/Master", "Alpha/old/x", "Alpha/older/y",
        "Bravo/deep/er/master", "charlie/masters", "delta/master.bak", "e/f/g/h", ".hidden/master",
        ".hidden/inner/master", "holder/Master/master", "zz/master"})
    Make(file);
  Make(longName + "/master");
  std::error_code noLinks;  // the scan skips .hidden, so zz/out is the first way into .hidden/inner
  for (const auto& [target, link] : {std::pair{"..", "zz/up"},
                                     {"../.hidden/inner", "zz/out"},
                                     {"../.hidden/inner", "zz/same"},
                                     {"../Bravo", "zz/bravo"}})
    fs::create_directory_symlink(target, root_.Path(link), noLinks);
#ifndef _WIN32
  Make("zz/data\\old/master");
#endif
  ASSERT_EQ(ScanRootDirectory(nodes_.get(), root_.Dir().c_str()), 1);
  ASSERT_EQ(PruneDirTree(nodes_.get()), 1);

  const DirNode* root = RootDirNode(nodes_.get());
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_STREQ(root->path, root_.Dir().c_str());
  EXPECT_EQ(std::string(root->name), root_.Dir().substr(0, kDirLabelLength));
  const auto walkOf = [](const List* nodes) {
    Texts walk;
    WalkDirTree(nodes, [&](const DirNode& node, int depth) {
      walk.push_back(node.name + ("@" + std::to_string(depth)));
    });
    return walk;
  };
  const Texts walk = walkOf(nodes_.get());
  Texts expected = {std::string(root->name) + "@0"};
  for (const std::string& name : SearchOrder(root_.Dir())) {
    if (name[0] == '.' || name == "charlie" || name == "delta" || name == "e") continue;
    expected.push_back(name.substr(0, kDirLabelLength) + "@1");
    for (const std::string& inner : SearchOrder(PathOf(name))) {
      if (inner != "old" && inner != "older" && inner != "up" && inner != "same" && inner != "bravo")
        expected.push_back(inner + "@2");
    }
    if (name == "Bravo") expected.push_back("er@3");
  }
  ASSERT_EQ(walk, expected);
  const NodeListPtr ahead(CreateList());
  ASSERT_EQ(ScanRootDirectory(ahead.get(), root_.Dir().c_str(), 3), 1);
  PruneDirTree(ahead.get());
  EXPECT_EQ(walkOf(ahead.get()), walk);
  KillTreeData(ahead.get());
  EXPECT_EQ(root->childCount, 8) << "every subdirectory scanned counts, pruned or not; hidden ones do not";
  EXPECT_EQ(Find("Alpha")->childCount, 4);
  EXPECT_EQ(Find("Alpha")->hasMaster + Find("Bravo")->hasMaster, 1);
  EXPECT_EQ(Find("holder")->hasMaster, 0) << "a directory named master is no master file";
  EXPECT_EQ(Find("Bravo/deep/er")->parent->parent, Find("Bravo"));
  EXPECT_EQ(std::string(Find(longName)->name), longName.substr(0, 29));
  for (const char* gone : {"Alpha/old", "charlie", "delta", "e", "e/f", ".hidden", ".hidden/inner"})
    EXPECT_EQ(Find(gone), nullptr) << gone;
  EXPECT_EQ(HasChildNode(nodes_.get(), Find("Alpha")), 1);
  EXPECT_EQ(HasChildNode(nodes_.get(), Find("Alpha/one")), 0);
#ifndef _WIN32
  const std::string master = PathOf("zz/data\xEF\x81\x9Cold") + "master";  // how data\old is listed
  EXPECT_EQ((std::pair{Exists(master.c_str()), NativePath(master.c_str())}),
            std::pair(1, root_.Path("zz/data\\old/master")));
#endif
}

}  // namespace
}  // namespace store_test
