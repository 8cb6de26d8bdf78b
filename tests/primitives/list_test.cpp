#include "primitives/list.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int16_t kNumberSize = sizeof(int32_t);

// Owns a list for the length of a test.
class ListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(list_, nullptr); }
  void TearDown() override { EXPECT_EQ(KillList(list_), 0); }

  void AddOrdered(std::initializer_list<int32_t> numbers) {
    for (int32_t n : numbers) ASSERT_EQ(AddNewItem(list_, &n, kNumberSize, EditRecordNumberCompare), 1);
  }
  void AddFront(std::initializer_list<int32_t> numbers) {
    for (int32_t n : numbers) ASSERT_EQ(AddItem(list_, &n, kNumberSize), 1);
  }
  std::vector<int32_t> Forward() const {
    std::vector<int32_t> numbers;
    int32_t n = 0;
    for (ListNode* node = GetFirstItem(list_, &n, kNumberSize); node != nullptr;
         node = GetNextItem(node, &n, kNumberSize)) {
      numbers.push_back(n);
    }
    return numbers;
  }
  std::vector<int32_t> Backward() const {
    std::vector<int32_t> numbers;
    int32_t n = 0;
    for (ListNode* node = GetLastItem(list_, &n, kNumberSize); node != nullptr;
         node = GetPreviousItem(node, &n, kNumberSize)) {
      numbers.push_back(n);
    }
    return numbers;
  }

  List* list_ = CreateList();
};

using V = std::vector<int32_t>;

TEST_F(ListTest, EmptyListFindsNothingAndLeavesTheBufferAlone) {
  const int32_t key = 5;
  int32_t buffer = 77;
  EXPECT_EQ(ListEmpty(list_), 1);
  EXPECT_EQ(CountListItems(list_), 0);
  EXPECT_EQ(IsInList(list_, &key, kNumberSize, EditRecordNumberCompare), 0);
  EXPECT_EQ(DeleteItem(list_, &key, kNumberSize, EditRecordNumberCompare), 0);
  EXPECT_EQ(GetFirstItem(list_, &buffer, kNumberSize), nullptr);
  EXPECT_EQ(GetLastItem(list_, &buffer, kNumberSize), nullptr);
  EXPECT_EQ(buffer, 77);
}

TEST_F(ListTest, OrderedInsertionKeepsAscendingOrderAndDeleteRemovesOneOfEqualItems) {
  AddOrdered({5, 3, 5, 9});
  EXPECT_EQ(Forward(), (V{3, 5, 5, 9}));
  const int32_t five = 5;
  EXPECT_EQ(DeleteItem(list_, &five, kNumberSize, EditRecordNumberCompare), 1);
  EXPECT_EQ(Forward(), (V{3, 5, 9}));
  EXPECT_EQ(Backward(), (V{9, 5, 3}));
  EXPECT_EQ(CountListItems(list_), 3);
}

TEST_F(ListTest, OrderedInsertionPlacesAtBothEnds) {
  AddOrdered({5, 1, 9, -4, 12, 7});
  EXPECT_EQ(Forward(), (V{-4, 1, 5, 7, 9, 12}));
  EXPECT_EQ(Backward(), (V{12, 9, 7, 5, 1, -4}));
}

// Items compare by their first number only; the second tells them apart.
int16_t CompareFirstNumber(const void* item, int16_t, const void* key, int16_t) {
  int32_t a = 0;
  int32_t b = 0;
  std::memcpy(&a, item, sizeof a);
  std::memcpy(&b, key, sizeof b);
  return a == b ? 0 : (a > b ? 1 : -1);
}

TEST_F(ListTest, AnEqualNewItemGoesBeforeTheFirstOfItsEquals) {
  const int32_t items[][2] = {{5, 1}, {3, 2}, {5, 3}, {5, 4}};
  for (const auto& item : items) ASSERT_EQ(AddNewItem(list_, item, sizeof item, CompareFirstNumber), 1);
  std::vector<int32_t> tags;
  int32_t item[2] = {};
  for (ListNode* node = GetFirstItem(list_, item, sizeof item); node != nullptr;
       node = GetNextItem(node, item, sizeof item)) {
    tags.push_back(item[1]);
  }
  EXPECT_EQ(tags, (V{2, 4, 3, 1}));
}

TEST_F(ListTest, AddItemPutsTheNewestFirst) {
  AddFront({1, 2, 3});
  EXPECT_EQ(Forward(), (V{3, 2, 1}));
  EXPECT_EQ(Backward(), (V{1, 2, 3}));
}

TEST_F(ListTest, ItemsAreCopiesOfTheCallersBytes) {
  int32_t n = 42;
  ASSERT_EQ(AddItem(list_, &n, kNumberSize), 1);
  n = 7;
  EXPECT_EQ(Forward(), (V{42}));
}

TEST_F(ListTest, AKeyOfAnotherSizeNeverComparesEqual) {
  AddOrdered({5});
  const int64_t wideFive = 5;
  const int16_t shortFive = 5;
  EXPECT_EQ(IsInList(list_, &wideFive, sizeof wideFive, EditRecordNumberCompare), 0);
  EXPECT_EQ(IsInList(list_, &shortFive, sizeof shortFive, EditRecordNumberCompare), 0);
  EXPECT_EQ(DeleteItem(list_, &wideFive, sizeof wideFive, EditRecordNumberCompare), 0);
  const int32_t five = 5;
  EXPECT_EQ(IsInList(list_, &five, kNumberSize, EditRecordNumberCompare), 1);
}

TEST_F(ListTest, DeleteCurrentDuringAWalkUsingTheNeighbourTakenFirst) {
  AddOrdered({1, 2, 3, 4, 5, 6});
  int32_t n = 0;
  ListNode* node = GetFirstItem(list_, &n, kNumberSize);
  while (node != nullptr) {
    int32_t next = 0;
    ListNode* following = GetNextItem(node, &next, kNumberSize);
    if (n % 2 == 1) {
      EXPECT_EQ(DeleteCurrent(list_, node), 1);
    }
    node = following;
    n = next;
  }
  EXPECT_EQ(Forward(), (V{2, 4, 6}));
  EXPECT_EQ(Backward(), (V{6, 4, 2}));
}

TEST_F(ListTest, DeleteCurrentAtEitherEndMovesThatEnd) {
  AddOrdered({1, 2, 3});
  int32_t n = 0;
  EXPECT_EQ(DeleteCurrent(list_, GetFirstItem(list_, &n, kNumberSize)), 1);
  EXPECT_EQ(DeleteCurrent(list_, GetLastItem(list_, &n, kNumberSize)), 1);
  EXPECT_EQ(Forward(), (V{2}));
  EXPECT_EQ(Backward(), (V{2}));
  EXPECT_EQ(DeleteCurrent(list_, GetFirstItem(list_, &n, kNumberSize)), 1);
  EXPECT_EQ(ListEmpty(list_), 1);
  EXPECT_EQ(GetLastItem(list_, &n, kNumberSize), nullptr);
}

TEST_F(ListTest, FlushEmptiesTheListWhichStaysUsable) {
  AddOrdered({4, 8, 15});
  EXPECT_EQ(FlushList(list_), 1);
  EXPECT_EQ(ListEmpty(list_), 1);
  EXPECT_EQ(CountListItems(list_), 0);
  AddOrdered({16, 23});
  EXPECT_EQ(Forward(), (V{16, 23}));
}

TEST_F(ListTest, ReadingBackNeverCopiesMoreThanTheItemHolds) {
  const char two[2] = {'a', 'b'};
  ASSERT_EQ(AddItem(list_, two, sizeof two), 1);
  char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  ASSERT_NE(GetFirstItem(list_, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(std::string(buffer, sizeof buffer), "abxxxxxx");
}

TEST(EditRecordNumberCompare, OrdersSigned32BitNumbersOfEqualSize) {
  const struct {
    int32_t item;
    int32_t key;
    int16_t expected;
  } cases[] = {
      {5, 5, 0},
      {6, 5, 1},
      {4, 5, -1},
      {-1, 1, -1},
      {1, -1, 1},
      {INT32_MIN, INT32_MAX, -1},
      {INT32_MAX, INT32_MIN, 1},
      {0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EditRecordNumberCompare(&c.item, kNumberSize, &c.key, kNumberSize), c.expected)
        << c.item << " vs " << c.key;
  }
  const int32_t five = 5;
  EXPECT_EQ(EditRecordNumberCompare(&five, kNumberSize, &five, 8), -1);
  EXPECT_EQ(EditRecordNumberCompare(&five, 2, &five, 2), -1);
}

}  // namespace
