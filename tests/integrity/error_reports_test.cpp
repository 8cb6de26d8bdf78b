#include "integrity/error_reports.h"

#include <gtest/gtest.h>

#include <string>

#include "fixtures.h"
#include "integrity/error_list.h"
#include "support/temp_dir.h"

namespace {

using fixtures::DatBuilder;
using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using fixtures::StoredDate;
using fixtures::StoredTime;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Builds an ErrorList as a test does: entries and defects in the order found,
// each added at the front.
class ListBuilder {
 public:
  ListBuilder() : list_(CreateList()) {}
  ~ListBuilder() { KillErrorList(list_); }
  ListBuilder& DAT(int32_t record, std::initializer_list<std::pair<uint8_t, int32_t>> defects) {
    DATErrorEntry entry{record, nullptr};
    for (auto [column, code] : defects) AddDATError(column, code, &entry);
    AddItem(list_, &entry, sizeof entry);
    return *this;
  }
  ListBuilder& Master(int32_t fileNumber, std::initializer_list<std::pair<int32_t, int32_t>> defects) {
    MasterErrorEntry entry{fileNumber, nullptr};
    for (auto [code, repaired] : defects) AddMasterError(code, repaired, &entry);
    AddItem(list_, &entry, sizeof entry);
    return *this;
  }
  const List* Get() const { return list_; }

 private:
  List* list_;
};

class ErrorReportTest : public ::testing::Test {
 protected:
  std::string Heading(const char* what) const {
    return std::string("Quorvex\n\r\n\rErrors Found in ") + what + " directory  '" + dir_.Dir() + "'\n\r";
  }
  TempDir dir_;
};

TEST_F(ErrorReportTest, DATReportListsRecordsInFileOrderWithThePreviousDate) {
  fixtures::WriteMaster(dir_,
                        MasterBuilder().Add({.fileNumber = 3, .fieldCount = 6, .name = "ACME WIDGETS"}));
  DatBuilder dat = DatBuilder::ForFields(6);
  for (float date : {960112.0f, 960115.0f, StoredDate(2010, 1, 5), StoredDate(2010, 1, 6)}) {
    dat.Values({date, 10, 12, 9, 11, 100});
  }
  fixtures::WriteDat(dir_, 3, dat);
  ListBuilder list;
  list.DAT(0, {{1, 0}, {4, 0}}).DAT(2, {{3, 1}}).DAT(3, {{0, 8}, {7, 0}});

  const std::string expected = Heading("DAT file (F3.DAT) in") +
                               "Instrument name : ACME WIDGETS\n\r\n\r"
                               "Record Number :      0\n\rFirst Record\n\r"
                               "Close : Corrupt Numbers\n\rOpen : Corrupt Numbers\n\r\n\r"
                               "Record Number :      2\n\rPrevious Record's Date : 15:01:96\n\r"
                               "Low : High < Low\n\r\n\r"
                               "Record Number :      3\n\rPrevious Record's Date : 05:01:10\n\r"
                               "Unknown : Corrupt Numbers\n\rDate : Dates out of order\n\r\n\r";
  std::string failed;
  ASSERT_EQ(WriteDATErrorReport(dir_.Path("report.txt").c_str(), dir_.Dir().c_str(), 3, list.Get(), &failed),
            1);
  EXPECT_EQ(Text(ReadBytes(dir_.Path("report.txt"))), expected);
}

TEST_F(ErrorReportTest, IntradayReportShowsThePreviousDateAndTime) {
  fixtures::WriteMaster(dir_,
                        MasterBuilder().Add({.fileNumber = 1, .fieldCount = 7, .name = "FX", .period = 'I'}));
  fixtures::WriteDat(dir_, 1,
                     DatBuilder::ForFields(7)
                         .Values({StoredDate(2013, 11, 14), StoredTime(10, 5, 0), 1, 1, 1, 1, 1})
                         .Values({1131132.0f, StoredTime(10, 10, 30), 1, 1, 1, 1, 1})
                         .Values({StoredDate(2013, 11, 14), StoredTime(10, 15, 0), 1, 1, 1, 1, 1}));
  ListBuilder list;
  list.DAT(1, {{0, 9}}).DAT(2, {{0, 9}});
  std::string text, failed;
  ASSERT_EQ(FormatDATErrorReport(dir_.Dir().c_str(), 1, list.Get(), &text, &failed), 1);
  // Record 1 follows a sound record; record 2 follows 32/11/13, whose time is
  // still shown.
  EXPECT_EQ(text, Heading("DAT file (F1.DAT) in") +
                      "Instrument name : FX\n\r\n\r"
                      "Record Number :      1\n\rPrevious Record's Date/Time : 14/11/13 @ 10:05:00\n\r"
                      "Date : Date/Times out of order\n\r\n\r"
                      "Record Number :      2\n\rPrevious Record's Date/Time : 32/11/13 @ 10:10:30\n\r"
                      "Date : Date/Times out of order\n\r\n\r");
}

TEST_F(ErrorReportTest, DATReportWithoutItsDataFileWritesNothing) {
  fixtures::WriteMaster(dir_, MasterBuilder().Add({.fileNumber = 3}));
  ListBuilder list;
  list.DAT(0, {{0, 6}});
  std::string failed;
  EXPECT_EQ(WriteDATErrorReport(dir_.Path("report.txt").c_str(), dir_.Dir().c_str(), 3, list.Get(), &failed),
            0);
  EXPECT_EQ(failed, dir_.Dir() + "F3.dat");
  EXPECT_FALSE(testing_support::FileExistsNative(dir_.Path("report.txt")));
}

TEST_F(ErrorReportTest, MasterReportRunsFromTheHeaderInMasterOrder) {
  fixtures::WriteMaster(dir_, MasterBuilder()
                                  .Add({.fileNumber = 2, .name = "BETA BRICKS     "})
                                  .Add({.fileNumber = 12, .name = "GAMMA"}));
  ListBuilder list;
  list.Master(0, {{8, 1}}).Master(2, {{0, 1}, {2, 0}}).Master(12, {{6, 0}}).Master(7, {{10, 0}});
  const std::string expected = Heading("Master file for") +
                               "\n\r"
                               "Header Record Errors : \n\rRepaired     : Too many files reported\n\r\n\r"
                               "MasterRecord For File F2.dat (BETA BRICKS) Errors :\n\r"
                               "Not Repaired : Bad Master FileType\n\rRepaired     : Missing DAT File\n\r\n\r"
                               "MasterRecord For File F12.dat (GAMMA) Errors :\n\r"
                               "Not Repaired : Invalid IntraDay Time-Base Specified\n\r\n\r"
                               "MasterRecord For File F7.dat () Errors :\n\r"
                               "Not Repaired : Unknown File Format\n\r\n\r";
  std::string failed;
  ASSERT_EQ(WriteMasterErrorReport(dir_.Path("m.txt").c_str(), dir_.Dir().c_str(), list.Get(), &failed), 1);
  EXPECT_EQ(Text(ReadBytes(dir_.Path("m.txt"))), expected);
  EXPECT_EQ(FormatMasterErrorReport(dir_.Dir().c_str(), list.Get()), expected);
}

TEST_F(ErrorReportTest, ReportFileThatCannotBeCreatedIsNamed) {
  ListBuilder list;
  list.Master(0, {{9, 0}});
  const std::string name = dir_.Path("no such directory/m.txt");
  std::string failed;
  EXPECT_EQ(WriteMasterErrorReport(name.c_str(), dir_.Dir().c_str(), list.Get(), &failed), 0);
  EXPECT_EQ(failed, name);
}

TEST(PlainLineEnds, TurnsEachLineEndIntoOneNewline) {
  EXPECT_EQ(PlainLineEnds("a\n\r\n\rb : c\n\r"), "a\n\nb : c\n");
  EXPECT_EQ(PlainLineEnds("\r\n\n"), "\r\n\n");
}

}  // namespace
