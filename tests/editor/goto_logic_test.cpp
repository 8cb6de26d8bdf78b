// The Goto dialogs' logic: typed two-digit years, validation, the searches
// and their not-found cases, and the fields the dialogs open with.
#include "editor/goto_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_test_support.h"

namespace editor_test {
namespace {

TEST(TypedYearTest, TwoDigitYearsBelowFiftyAreThisCentury) {
  struct Case {
    long typed;
    int16_t since1900;
  };
  for (const Case& c : std::vector<Case>{
           {0, 100}, {10, 110}, {49, 149}, {50, 50}, {96, 96}, {99, 99}, {-1, -1}, {100, -1}, {2010, -1}}) {
    EXPECT_EQ(TypedYearSince1900(c.typed), c.since1900) << c.typed;
  }
}

TEST(GotoMessageTest, EachRefusalHasItsText) {
  EXPECT_STREQ(GotoMessage(GotoOutcome::InvalidDate), "An invalid date was specified!");
  EXPECT_STREQ(GotoMessage(GotoOutcome::InvalidTime), "An invalid time was specified!");
  EXPECT_STREQ(GotoMessage(GotoOutcome::NotFound), "Not Found! Do you want to search for another date ?");
}

class GotoTest : public EditorFixture {
 protected:
  GotoResult Search(const std::string& day, int month, const std::string& year, bool intraday,
                    const std::string& time = "", bool excludeTime = false) {
    GotoInput input;
    input.day = day;
    input.month = month;
    input.year = year;
    input.excludeTime = excludeTime;
    if (!time.empty()) {
      input.hours = time.substr(0, 2);
      input.minutes = time.substr(3, 2);
      input.seconds = time.substr(6, 2);
    }
    return SearchGoto(state_.session.file.Get(), state_.session.masterRecord, input, intraday);
  }
};

// Daily records from 4 Jan 2010, one a day (see DailyValues).
TEST_F(GotoTest, DailySearchFindsTheFirstRecordOnOrAfterTheDate) {
  OpenDaily(10);
  struct Case {
    std::string day;
    int month;
    std::string year;
    GotoOutcome outcome;
    int32_t record;
  };
  const std::vector<Case> cases = {
      {"4", 1, "10", GotoOutcome::Found, 0},         {"8", 1, "10", GotoOutcome::Found, 4},
      {"31", 12, "99", GotoOutcome::Found, 0},       {"1", 1, "09", GotoOutcome::Found, 0},
      {"13", 1, "10", GotoOutcome::Found, 9},        {"14", 1, "10", GotoOutcome::NotFound, -1},
      {"1", 1, "50", GotoOutcome::Found, 0},         {"1", 1, "49", GotoOutcome::NotFound, -1},
      {"31", 2, "10", GotoOutcome::InvalidDate, -1}, {"29", 2, "96", GotoOutcome::Found, 0},
      {"29", 2, "97", GotoOutcome::InvalidDate, -1}, {"4", 0, "10", GotoOutcome::InvalidDate, -1},
      {"", 1, "10", GotoOutcome::InvalidDate, -1},   {"4", 1, "", GotoOutcome::Found, 0} /* 2000 */,
      {"-4", 1, "10", GotoOutcome::InvalidDate, -1}, {"4", 1, "-1", GotoOutcome::InvalidDate, -1},
  };
  for (const Case& c : cases) {
    const GotoResult result = Search(c.day, c.month, c.year, false);
    const std::string what = c.day + "/" + std::to_string(c.month) + "/" + c.year;
    EXPECT_EQ(result.outcome, c.outcome) << what;
    EXPECT_EQ(result.record, c.record) << what;
  }
}

// Intraday records: 4 a day from 14 Nov 2013, at 09:00, 09:15, 09:30, 09:45.
TEST_F(GotoTest, IntradaySearchUsesTheTimeUnlessExcluded) {
  Open(7, 'I', IntradayRecords(8));
  struct Case {
    std::string day;
    std::string time;
    bool excludeTime;
    GotoOutcome outcome;
    int32_t record;
  };
  const std::vector<Case> cases = {
      {"14", "09:15:00", false, GotoOutcome::Found, 1},
      {"14", "09:16:00", false, GotoOutcome::Found, 2},
      {"14", "10:00:00", false, GotoOutcome::Found, 4},  // the next day's first
      {"15", "23:00:00", false, GotoOutcome::Found, 7},  // after the last: the last record
      {"15", "23:00:00", true, GotoOutcome::Found, 4},
      {"16", "", true, GotoOutcome::NotFound, -1},
      {"14", "24:00:00", false, GotoOutcome::InvalidTime, -1},
      {"14", "09:60:00", false, GotoOutcome::InvalidTime, -1},
      {"14", "24:00:00", true, GotoOutcome::Found, 0},   // the time is not read
      {"31", "09:00:00", false, GotoOutcome::Found, 0},  // 31 Oct: before the first
  };
  for (const Case& c : cases) {
    const int month = c.day == "31" ? 10 : 11;
    const GotoResult result = Search(c.day, month, "13", true, c.time, c.excludeTime);
    const std::string what = c.day + " " + c.time + (c.excludeTime ? " (date only)" : "");
    EXPECT_EQ(result.outcome, c.outcome) << what;
    EXPECT_EQ(result.record, c.record) << what;
  }
  GotoResult invalid = Search("31", 11, "13", true, "09:00:00");
  EXPECT_EQ(invalid.outcome, GotoOutcome::InvalidDate) << "the date is checked before the time";
}

TEST_F(GotoTest, DialogsOpenWithTheCurrentRecordsDateAndTime) {
  Open(7, 'I', IntradayRecords(8));
  GotoInput fields;
  ASSERT_TRUE(CurrentRecordFields(state_.session.file.Get(), state_.session.masterRecord, 6, true, &fields));
  EXPECT_EQ(fields.day, "15");
  EXPECT_EQ(fields.month, 11);
  EXPECT_EQ(fields.year, "13");
  EXPECT_EQ(fields.hours, "9");
  EXPECT_EQ(fields.minutes, "30");
  EXPECT_EQ(fields.seconds, "0");
  GotoInput none;
  EXPECT_FALSE(CurrentRecordFields(state_.session.file.Get(), state_.session.masterRecord, 8, true, &none))
      << "the new-record row has no date";
  EXPECT_EQ(none.day, "");
  EXPECT_EQ(none.month, 0);
}

TEST_F(GotoTest, DailyFieldsShowTheYearWithoutItsCentury) {
  Open(7, 'D', DailyRecords(3).SetValue(1, 0, fixtures::StoredDate(2005, 3, 7)).SetValue(2, 0, 991231.0f));
  struct Case {
    int32_t record;
    std::string day, year;
    int month;
  };
  for (const Case& c : std::vector<Case>{{0, "4", "10", 1}, {1, "7", "5", 3}, {2, "31", "99", 12}}) {
    GotoInput fields;
    ASSERT_TRUE(CurrentRecordFields(state_.session.file.Get(), state_.session.masterRecord, c.record, false,
                                    &fields));
    EXPECT_EQ(fields.day, c.day) << c.record;
    EXPECT_EQ(fields.month, c.month) << c.record;
    EXPECT_EQ(fields.year, c.year) << c.record;
    EXPECT_EQ(fields.hours, "") << "no time in a daily dialog";
  }
}

TEST_F(GotoTest, AnUnreadableDateCannotOpenTheFields) {
  Open(7, 'D', DailyRecords(3).SetValue(1, 0, 1001340.0f));  // month 13
  GotoInput fields;
  EXPECT_FALSE(
      CurrentRecordFields(state_.session.file.Get(), state_.session.masterRecord, 1, false, &fields));
}

}  // namespace
}  // namespace editor_test
