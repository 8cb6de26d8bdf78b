#include "integrity/explanations.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "integrity/error_list.h"

namespace {

using Table = std::vector<std::pair<int32_t, std::string>>;

// The texts letter for letter: the spelling and the double blanks are the
// program's own.
const Table kDAT = {
    {2,
     "This can cause random problems within many programs such as unexplained crashing and the inability to "
     "load "
     "or view this file."},
    {2, "This can cause invalid indicators to appear."},
    {2, "This can cause invalid indicators to appear."},
    {2, "This can cause invalid indicators to appear."},
    {1,
     "This can cause invalid indicators to appear.  Not all programs use this field, but those that do will "
     "display data incorrectly."},
    {2,
     "This can cause invalid indicators to appear.  Not all programs use this field, but those that do will "
     "display data incorrectly."},
    {2,
     "This can case major problems if generating time frames from files, plus dates will be displayed "
     "incorrectly."},
    {2,
     "This can case major problems if generating time frames from files, plus times will be displayed "
     "incorrectly."},
    {2,
     "This can case major problems with all programs which use dates for anything other than just "
     "displaying, "
     "such as generating time frames."},
    {2,
     "This can case major problems with all programs which use dates for anything other than just "
     "displaying, "
     "such as generating time frames."},
    {2, "A serious internal error within the utility has occured."},
};

const Table kMaster = {
    {2, "There is no file in which data is stored."},
    {1,
     "Most programs do not use DOP files however some programs use it.  It exists solely for compatibility "
     "reasons "
     "with some old programs."},
    {0,
     "Many programs do not look at the file type of the master file, but is needed for strict conformance "
     "with "
     "the MetaStock standard."},
    {2,
     "Programs will not know what type of file is being loaded in and are unlikely to be able to display it "
     "correctly.  This utility may not be able to repair this."},
    {1, "This may cause problems with live data feeds and other programs which update data files."},
    {1, "This may cause problems with live data feeds and other programs which update data files."},
    {1,
     "For non-intraday files this is not a problem, for intraday files however this can cause major "
     "problems."},
    {2,
     "Programs wil not know what type of file is being displayed, and is unlikely to be able to display the "
     "file. "
     "Repairing this error with this utility wil automatically select between Intraday and Daily file "
     "format."},
    {1, "Some programs may attempt to display instruments which do not exist."},
    {1, "Not all of the contents of the directory may be displayed in some programs."},
    {1,
     "This problem may be caused by two things, either the file is in a format which this version of the "
     "utility "
     "does not support, or the master record for this file may have been corrupted.  Using the utilty on the "
     "former type of error is very likely to cause problems with other programs."},
    {2,
     "It is unlikely that programs will be able to read files with this problem. The record size for the dat "
     "file is an invalid size.  To repair this error the utility will do its bets to determine the correct "
     "record "
     "size for the data file."},
    {2, "A serious internal error within the utility has occured."},
};

TEST(Explanations, EveryCodeHasItsSeverityAndTextVerbatim) {
  for (const auto& [table, lookup] :
       {std::pair{&kDAT, &GetDATExplanation}, std::pair{&kMaster, &GetMasterExplanation}}) {
    for (size_t code = 0; code < table->size(); ++code) {
      const ErrorExplanation& explanation = lookup(static_cast<int32_t>(code));
      EXPECT_EQ(explanation.severity, (*table)[code].first) << code;
      EXPECT_EQ(explanation.explanation, (*table)[code].second) << code;
      EXPECT_LT((*table)[code].second.size(), sizeof explanation.explanation);
    }
  }
}

TEST(Explanations, CodesBeyondTheCatalogueGiveTheInternalError) {
  EXPECT_EQ(&GetDATExplanation(11), &GetDATExplanation(10));
  EXPECT_EQ(&GetDATExplanation(-1), &GetDATExplanation(10));
  EXPECT_EQ(&GetMasterExplanation(13), &GetMasterExplanation(12));
}

TEST(Explanations, SeverityTexts) {
  EXPECT_STREQ(GetSeverityText(0), "Unlikely to cause problems");
  EXPECT_STREQ(GetSeverityText(1), "Problems Possible");
  EXPECT_STREQ(GetSeverityText(2), "Problems Always");
  EXPECT_STREQ(GetSeverityText(3), "Serious Internal Error!");
  EXPECT_STREQ(GetSeverityText(4), "Serious Internal Error!");
}

TEST(ErrorList, KillErrorListSaysWhetherItHeldEntriesAndFreesThem) {
  EXPECT_EQ(KillErrorList(nullptr), 0);
  EXPECT_EQ(KillErrorList(CreateList()), 0);
  List* list = CreateList();
  DATErrorEntry entry{4, nullptr};
  ASSERT_EQ(AddDATError(2, 0, &entry), 1);
  ASSERT_NE(entry.defects, nullptr);
  ASSERT_EQ(AddDATError(3, 1, &entry), 1);
  EXPECT_EQ(DATDefectOf(entry.defects->first)->columnIndex, 3);
  AddItem(list, &entry, sizeof entry);
  // Under the sanitizers a defect list left behind fails the run.
  EXPECT_EQ(KillErrorList(list), 1);
}

}  // namespace
