// The List against a small model, the path history, zero-filled blocks with
// their injected failures, and the blank-padded text fields.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "primitives/code_page.h"
#include "primitives/list.h"
#include "primitives/memory.h"
#include "primitives/path_list.h"
#include "primitives/text_fields.h"

namespace {

struct Item {
  int32_t key;
  int32_t tag;  // tells apart items of equal keys
  bool operator==(const Item&) const = default;
};

int16_t CompareKeys(const void* item, int16_t, const void* key, int16_t) {
  const int32_t a = static_cast<const Item*>(item)->key, b = static_cast<const Item*>(key)->key;
  return static_cast<int16_t>(a == b ? 0 : a > b ? 1 : -1);
}

std::vector<Item> Walk(const List* list, bool backwards) {
  std::vector<Item> items;
  Item item{};
  for (ListNode* node = backwards ? GetLastItem(list, &item, sizeof item)
                                  : GetFirstItem(list, &item, sizeof item);
       node != nullptr;
       node = backwards ? GetPreviousItem(node, &item, sizeof item) : GetNextItem(node, &item, sizeof item))
    items.insert(backwards ? items.begin() : items.end(), item);
  return items;
}

// Random operations on a List and on a vector that states the rules: AddItem
// puts the item first; AddNewItem puts it before the first item that sorts at
// or after it; DeleteItem and IsInList find the first equal item from the
// front; DeleteCurrent unlinks a node; FlushList empties; memory that runs out
// adds nothing.
TEST(ListModel, RandomOperationsAgreeWithTheModel) {
  std::mt19937 random(16);
  List* list = CreateList();
  std::vector<Item> model;
  for (int step = 0; step < 3000; ++step) {
    const Item item{static_cast<int32_t>(random() % 12) - 6, step};
    switch (random() % 8) {
      case 0:
        ASSERT_EQ(AddItem(list, &item, sizeof item), 1);
        model.insert(model.begin(), item);
        break;
      case 1:
      case 2: {
        ASSERT_EQ(AddNewItem(list, &item, sizeof item, CompareKeys), 1);
        auto at = model.begin();
        while (at != model.end() && at->key < item.key) ++at;
        model.insert(at, item);
        break;
      }
      case 3: {
        auto found =
            std::find_if(model.begin(), model.end(), [&](const Item& i) { return i.key == item.key; });
        ASSERT_EQ(IsInList(list, &item, sizeof item, CompareKeys), found != model.end());
        ASSERT_EQ(DeleteItem(list, &item, sizeof item, CompareKeys), found != model.end());
        if (found != model.end()) model.erase(found);
        break;
      }
      case 4:
      case 5: {
        if (model.empty()) break;
        const size_t index = random() % model.size();
        ListNode* node = GetFirstItem(list, nullptr, 0);
        for (size_t i = 0; i < index; ++i) node = GetNextItem(node, nullptr, 0);
        ASSERT_EQ(DeleteCurrent(list, node), 1);
        model.erase(model.begin() + static_cast<long>(index));
        break;
      }
      case 6:
        FailNthAllocation(1);  // the node with its copy of the item
        ASSERT_EQ(AddItem(list, &item, sizeof item), 0);
        break;
      default:
        if (random() % 20 == 0) {
          ASSERT_EQ(FlushList(list), 1);
          model.clear();
        }
    }
    ASSERT_EQ(Walk(list, false), model) << "step " << step;
    ASSERT_EQ(Walk(list, true), model) << "step " << step;
    ASSERT_EQ(CountListItems(list), static_cast<int32_t>(model.size()));
    ASSERT_EQ(ListEmpty(list), model.empty() ? 1 : 0);
  }
  EXPECT_EQ(KillList(list), 0);
}

TEST(ListModel, ReadsCopyNoMoreThanTheItemHoldsAndRecordNumbersCompareSigned) {
  const ListPtr list(CreateList());
  const char two[2] = {'a', 'b'};
  ASSERT_EQ(AddItem(list.get(), two, sizeof two), 1);
  char buffer[4] = {'x', 'x', 'x', 'x'};
  ASSERT_NE(GetFirstItem(list.get(), buffer, sizeof buffer), nullptr);
  EXPECT_EQ(std::string(buffer, 4), "abxx");
  EXPECT_EQ(DeleteCurrent(list.get(), nullptr), 0);
  EXPECT_EQ(AddItem(list.get(), nullptr, 2), 0) << "no item to copy";
  EXPECT_EQ(AddItem(list.get(), nullptr, 0), 1) << "an empty item needs none";
  const int32_t numbers[][3] = {
      {5, 5, 0}, {6, 5, 1}, {4, 5, -1}, {-1, 1, -1}, {INT32_MIN, INT32_MAX, -1}, {INT32_MAX, INT32_MIN, 1}};
  for (const auto& n : numbers)
    EXPECT_EQ(EditRecordNumberCompare(&n[0], 4, &n[1], 4), n[2]) << n[0] << " vs " << n[1];
  EXPECT_EQ(EditRecordNumberCompare(&numbers[0][0], 4, &numbers[0][1], 8), -1) << "sizes differ";
  EXPECT_EQ(EditRecordNumberCompare(&numbers[0][0], 2, &numbers[0][1], 2), -1) << "not 32 bits";
}

TEST(PathHistory, NewestFirstWithoutExactDuplicates) {
  KillPathList();
  char copied[] = "D:\\QUOTES\\";
  for (const char* path : {"A\\", "B\\", "A\\", "a\\", static_cast<const char*>(copied)}) AddPath(path);
  copied[0] = 'E';
  std::vector<std::string> paths;
  for (const PathNode* node = PathList; node != nullptr; node = node->next) paths.emplace_back(node->path);
  EXPECT_EQ(paths, (std::vector<std::string>{"D:\\QUOTES\\", "a\\", "B\\", "A\\"}));
  KillPathList();
  EXPECT_EQ(PathList, nullptr);
}

TEST(Memory, BlocksAreZeroFilledAndOnlyTheNamedAllocationFails) {
  for (size_t size : {size_t{0}, size_t{53}, size_t{1} << 20}) {
    auto* block = static_cast<unsigned char*>(MemAllocate(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(std::count(block, block + size, 0), static_cast<long>(size));
    EXPECT_EQ(MemDeAllocate(block), nullptr);
  }
  FailNthAllocation(2);
  const BlockPtr<unsigned char> blocks[3] = {AllocateBlock(8), AllocateBlock(8), AllocateBlock(8)};
  EXPECT_TRUE(blocks[0] != nullptr && blocks[1] == nullptr && blocks[2] != nullptr);
  FailNthAllocation(1);
  FailNthAllocation(0);  // cancelled: never comes
  const BlockPtr<int32_t> items = AllocateBlock<int32_t>(2);
  EXPECT_EQ(items ? std::count(items.get(), items.get() + 2, 0) : -1, 2) << "room for two items, zero-filled";
}

TEST(TextFields, TrimPadAndCount) {
  // The field (width characters, then a spare byte and a sentinel), trimmed.
  const std::pair<std::string, const char*> trims[] = {{"ABC             ", "ABC"},
                                                       {"                ", ""},
                                                       {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
                                                       {"ABC\t  ", "ABC\t"},
                                                       {std::string("AB\0  ", 5), "AB"}};
  for (const auto& [width, trimmed] : trims) {
    std::string field = width + "?!";
    EXPECT_EQ(RTrim(field.data(), static_cast<int>(width.size())), 1);
    EXPECT_STREQ(field.c_str(), trimmed);
    EXPECT_EQ(field.back(), '!') << "nothing written beyond the spare byte";
  }
  char text[] = "ABC\0################";
  EXPECT_EQ(RPad(text, 14), 1);
  EXPECT_EQ(std::string(text, 15), "ABC           #") << "blanks up to the width, no terminator";
  char full[] = "ABCDEFGHIJKLMN";
  RPad(full, 14);
  EXPECT_STREQ(full, "ABCDEFGHIJKLMN");
  for (const auto& [candidate, blank] : {std::pair{"   ", 1}, {"", 1}, {" X", 0}, {"\t", 0}, {nullptr, 1}})
    EXPECT_EQ(IsBlankOnly(candidate), blank) << (candidate ? candidate : "no text");
  EXPECT_EQ(CountOccurences("aAa", 'a'), 2);
  EXPECT_EQ(CountOccurences("a/b", '\0'), 0);
}

}  // namespace

TEST(CodePages, EveryByteComesBackAndWhatAPageCannotHoldIsRefused) {
  for (const CodePage page : {CodePage::Windows1252, CodePage::Latin1}) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    EXPECT_EQ(FromUtf8(ToUtf8(all, page), page), all);
  }
  EXPECT_EQ(ToUtf8("\x80 \xE9\x8D", CodePage::Windows1252), "\u20AC \u00E9\u008D");
  EXPECT_EQ(ToUtf8("\x80", CodePage::Latin1), "\u0080");
  EXPECT_EQ(FromUtf8("Soci\u00E9t\u00E9 \u2122", CodePage::Windows1252), "Soci\xE9t\xE9 \x99");
  const std::pair<const char*, CodePage> refused[] = {
      {"\u20AC", CodePage::Latin1},       {"\u0416", CodePage::Windows1252}, {"\u0080", CodePage::Windows1252},
      {"\x80", CodePage::Windows1252},    {"\xC0\xAF", CodePage::Latin1},    {"\xED\xA0\x80", CodePage::Latin1},
      {"\xE2\x82", CodePage::Windows1252}, {"\xF4\x90\x80\x80", CodePage::Latin1}};
  for (const auto& [text, page] : refused) EXPECT_EQ(FromUtf8(text, page), std::nullopt) << text;
  // The first three are UTF-8 that their page cannot hold; the others are not UTF-8 at all.
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_EQ(IsUtf8(refused[i].first), i < 3) << i;
  EXPECT_EQ(CodePageNamed("CP1252"), CodePage::Windows1252);
  EXPECT_EQ(CodePageNamed("Latin1"), CodePage::Latin1);
  EXPECT_EQ(CodePageNamed("utf-16"), std::nullopt);
}
