#include "integrity/messages.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

// The texts people see, letter for letter (the misspellings are the
// program's own).
const char* const kExpected[] = {
    "An unknown error occurred!",
    "Unable to allocate memory! Cannot continue this operation.",
    "File is read only or has been opened by another process, check permissions for this file and/or close "
    "the file in any applications that are using it.",
    "The path specified was not valid.",
    "An error occured whilst selecting instruments.",
    "This \"feature\" is not yet ready!",
    "Please select ONLY one instrument and try again.",
    "Please select AT LEAST one instrument and try again.",
    "Please select AT LEAST one record and try again.",
    "Unable to edit files of this format.",
    "Please select ONLY one record and try again.",
    "Please select AT LEAST one test to perform and try again.",
    "The instrument specified was invalid.",
    "A bad command line was specified!",
    "Unable to insert file, the directory is already full!",
    "This error has already been repaired",
    "Repair Unsuccessfull",
    "An invalid date was specified!",
    "An invalid time was specified!",
    "Unable to create directory, either the path specified was invalid or you may not have the appropriate "
    "rights to do this!",
    "This directory does not exist, do you want to attempt to create it ?",
    "Please select a problem to explain and then try again.",
    "File does not exist!",
};
static_assert(sizeof kExpected / sizeof kExpected[0] == kMessageCount);

TEST(GetError, EveryNumberGivesItsTextVerbatim) {
  for (int number = 0; number < kMessageCount; ++number) {
    EXPECT_STREQ(GetError(number), kExpected[number]) << number;
  }
}

TEST(GetError, NumbersOutsideTheTableGiveTheUnknownErrorText) {
  for (const int number : {-1, kMessageCount, 100, INT_MIN, INT_MAX}) {
    EXPECT_STREQ(GetError(number), "An unknown error occurred!") << number;
  }
}

}  // namespace
