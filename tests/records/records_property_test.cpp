// Random sequences of the editor's record commands on generated files, each
// command given in an editor session that is then closed. After every step
// every instrument of both directories is consistent: its data file is a
// whole number of records, the header counts them, master's first and last
// dates are the file's, every data file is listed exactly once, and the
// records are those a simple model of the commands predicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fixtures.h"
#include "primitives/path_list.h"
#include "records_support.h"
#include "store/editor_session.h"

namespace {

using namespace records_test;
using fixtures::MbfWord;
using fixtures::ScriptedInteraction;

struct Key {
  int dir;
  int fileNumber;
  bool operator<(const Key& other) const {
    return dir != other.dir ? dir < other.dir : fileNumber < other.fileNumber;
  }
};

class Model {
 public:
  explicit Model(uint32_t seed) : random_(seed) {
    dirs_.push_back(root_.Dir());
    dirs_.push_back(root_.MakeSubdir("second"));
    native_.push_back(root_.Path(""));
    native_.push_back(root_.Path("second"));
    fixtures::WriteMaster(root_, fixtures::MasterBuilder().Add(Instrument::Entry(1)).LastFileNumber(1));
    std::vector<int> ids;
    for (int i = 0; i < 12; ++i) ids.push_back(NextId());
    fixtures::WriteDat(root_, 1, IdRecords(ids));
    files_[{0, 1}] = ids;
  }

  int Pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }

  int NextId() { return nextId_ = nextId_ % kMaxId + 1; }

  void Step() {
    auto chosen = files_.begin();
    std::advance(chosen, Pick(0, static_cast<int>(files_.size()) - 1));
    const Key key = chosen->first;
    std::vector<int>& ids = chosen->second;
    ScriptedInteraction ui({true, true});
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, dirs_[key.dir].c_str(), key.fileNumber, ui), 1);
    const int n = static_cast<int>(ids.size());
    auto select = [&](int32_t r) {
      AddNewItem(session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
    };
    switch (Pick(0, files_.size() < 24 ? 5 : 4)) {
      case 0: {  // insert at any row, the new-record row included
        const int r = Pick(0, n);
        const int inserted = EditorInsertRecord(&session, r, ui);
        ASSERT_EQ(inserted, n > 0 ? 1 : 0);
        if (n > 0)
          ids.insert(ids.begin() + std::min(r, n - 1) + 1, ids[static_cast<size_t>(std::min(r, n - 1))]);
        break;
      }
      case 1: {  // delete a random selection, some of it beyond the file
        std::set<int> chosenRecords;
        for (int k = Pick(1, 4); k > 0; --k) chosenRecords.insert(Pick(0, n + 2));
        for (int r : chosenRecords) select(r);
        ASSERT_EQ(EditorDeleteSelection(&session, ui), 1);
        std::vector<int> kept;
        for (int r = 0; r < n; ++r) {
          if (!chosenRecords.count(r)) kept.push_back(ids[static_cast<size_t>(r)]);
        }
        ids = kept;
        break;
      }
      case 2: {  // truncate after or before
        if (n == 0) break;
        const int r = Pick(0, n - 1);
        const int after = Pick(0, 1), include = Pick(0, 1);
        select(r);
        ASSERT_EQ(EditorTruncate(&session, after, include, ui), 1);
        if (after) {
          ids.resize(static_cast<size_t>(include ? r : r + 1));
        } else {
          ids.erase(ids.begin(), ids.begin() + (include ? r + 1 : r));
        }
        break;
      }
      case 3: {  // append a complete record
        const int id = NextId();
        const std::string date = StrDateOf(IdDate(id));
        const std::string value = std::to_string(id);
        const std::string volume = std::to_string(100 * id);
        const char* texts[] = {date.c_str(), value.c_str(), value.c_str(), value.c_str(), volume.c_str()};
        for (int c = 0; c < kFields; ++c)
          ASSERT_EQ(CommitCellText(&session, n, c, texts[c]), CellCommit::Pending);
        ASSERT_EQ(AppendPendingRecord(&session), 1);
        ids.push_back(id);
        break;
      }
      case 4: {  // retype a cell with the value it holds
        if (n == 0) break;
        const int r = Pick(0, n - 1);
        const std::string text = std::to_string(ids[static_cast<size_t>(r)]);
        ASSERT_EQ(CommitCellText(&session, r, Pick(1, 3), text.c_str()), CellCommit::Stored);
        break;
      }
      case 5: {  // split into either directory
        if (n == 0) break;
        const int r = Pick(0, n - 1);
        const int first = Pick(0, 1), last = Pick(0, 1), intact = Pick(0, 1);
        const int destination = Pick(0, 1);
        select(r);
        const std::set<int> before = Listed(destination);
        ASSERT_EQ(EditorSplit(&session, dirs_[destination].c_str(), first, last, intact, ui),
                  SplitDialogResult::Split);
        std::vector<int> added;
        for (int number : Listed(destination)) {
          if (!before.count(number)) added.push_back(number);
        }
        ASSERT_EQ(added.size(), intact ? 2u : 1u);
        const std::vector<int> firstPortion(ids.begin(), ids.begin() + r + first);
        const std::vector<int> lastPortion(ids.begin() + (last ? r : r + 1), ids.end());
        files_[{destination, added[0]}] = firstPortion;
        if (intact) {
          files_[{destination, added[1]}] = lastPortion;
        } else {
          files_[key] = lastPortion;
        }
        break;
      }
    }
    ASSERT_EQ(CloseEditorSession(&session), 1);
  }

  void CheckConsistent(int step) {
    for (int d = 0; d < 2; ++d) {
      std::set<int> listed;
      for (const records_test::Listed& entry : ReadMaster(native_[static_cast<size_t>(d)] + "/master")) {
        ASSERT_TRUE(listed.insert(entry.fileNumber).second) << "step " << step << ": F" << entry.fileNumber;
        const std::string path =
            native_[static_cast<size_t>(d)] + "/F" + std::to_string(entry.fileNumber) + ".DAT";
        const Bytes bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size() % kL, 0u) << "step " << step << ": " << path;
        const DatContents contents = ReadContents(path);
        EXPECT_EQ(contents.headerCount, bytes.size() / kL) << "step " << step << ": " << path;
        const std::vector<int>& ids = files_.at({d, entry.fileNumber});
        ASSERT_EQ(contents.ids, ids) << "step " << step << ": " << path;
        EXPECT_EQ(entry.firstDateWord, ids.empty() ? 0u : MbfWord(IdDate(ids.front()))) << "step " << step;
        EXPECT_EQ(entry.lastDateWord, ids.empty() ? 0u : MbfWord(IdDate(ids.back()))) << "step " << step;
      }
      std::set<int> files;
      for (const std::string& name : FilesIn(native_[static_cast<size_t>(d)])) {
        int number = 0;
        if (std::sscanf(name.c_str(), "F%d.DAT", &number) == 1) files.insert(number);
        EXPECT_NE(name.rfind("QVX", 0), 0u) << "step " << step << ": temporary file left: " << name;
      }
      EXPECT_EQ(files, listed) << "step " << step;
    }
  }

 private:
  static std::string StrDateOf(float date) {
    const int value = static_cast<int>(date);
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", value % 100, value / 100 % 100, value / 10000 % 100);
    return text;
  }
  std::set<int> Listed(int dir) const {
    std::set<int> numbers;
    for (const records_test::Listed& entry : ReadMaster(native_[static_cast<size_t>(dir)] + "/master")) {
      numbers.insert(entry.fileNumber);
    }
    return numbers;
  }

  std::mt19937 random_;
  TempDir root_;
  std::vector<std::string> dirs_;
  std::vector<std::string> native_;
  std::map<Key, std::vector<int>> files_;
  int nextId_ = 0;
};

TEST(RecordsPropertyTest, RandomCommandSequencesKeepEveryFileConsistent) {
  for (uint32_t seed : {7u, 2024u}) {
    KillPathList();
    Model model(seed);
    for (int step = 0; step < 200; ++step) {
      ASSERT_NO_FATAL_FAILURE(model.Step()) << "seed " << seed << ", step " << step;
      ASSERT_NO_FATAL_FAILURE(model.CheckConsistent(step)) << "seed " << seed;
    }
  }
  KillPathList();
}

}  // namespace
