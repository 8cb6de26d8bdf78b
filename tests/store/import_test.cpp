// Import from text: every bad file refused with its line and rule and not a byte changed; the layouts and
// forms of text taken alike; the three modes; create --from; and the writer's round trip, the sample tree's
// data files and random stored values exported as text and imported back to the same bytes.
#include <bit>
#include <charconv>
#include <random>

#include "primitives/mbf.h"
#include "primitives/text_fields.h"
#include "sample_data.h"
#include "store/record_import.h"
#include "store_fixture.h"

namespace store_test {
namespace {

const std::string kFive = "date,high,low,close,volume\n";
const std::string kSeven = "date,time,open,high,low,close,volume\n";

// F1: five daily fields holding ids 1 ... held (dates 2010-01-01 on); F2: seven intraday fields, time base 5,
// no data file; the text file beside them.
struct Scene {
  explicit Scene(int held = 0) {
    WriteMaster(dir, MasterBuilder()
                         .Add(IdEntry(1))
                         .Add({.fileNumber = 2, .fieldCount = 7, .period = 'I', .timeBase = 5})
                         .LastFileNumber(2));
    WriteDat(dir, 1, IdRecords(Ids(1, held)));
  }
  bool Import(int n, const std::string& text, ImportMode mode = ImportMode::IntoEmpty) {
    WriteText(dir.Path("in.csv"), text);
    return ImportRecords(dir.Dir().c_str(), n, dir.Name("in.csv").c_str(), mode, CodePage::Windows1252,
                         &result, &fault);
  }
  TempDir dir;
  ImportResult result;
  std::string fault;
};

// The five-field row of id i: date IdDate(i), prices i, volume 100 i.
std::string Row(int id) {
  const std::string i = std::to_string(id);
  return JoinParts({"2010-01-", id < 10 ? "0" : "", i, ",", i, ",", i, ",", i, ",", i, "00\n"});
}

TEST(ImportTest, ABadFileIsRefusedByItsLineAndRuleAndChangesNothing) {
  const std::string one = Row(1), two = Row(2), bars = "2010-01-04,10:00:00,1,1,1,1,1\n";
  const std::tuple<int, int, ImportMode, std::string, std::string> cases[] = {
      {0, 1, ImportMode::IntoEmpty, "", "line 1: the file is empty"},
      {0, 1, ImportMode::IntoEmpty, " \n\r\n", "line 3: the file holds no header line"},
      {0, 1, ImportMode::IntoEmpty, kFive, "line 2: no records after the header"},
      {0, 1, ImportMode::IntoEmpty, "date,high,low,volume\n2010-01-01,1,1,1\n",
       "line 1: no close column, which F1's layout has (date, high, low, close, volume)"},
      {0, 1, ImportMode::IntoEmpty, "Date,High,Bid\n",
       "line 1: \"Bid\" is not a column import knows (date, time, "
       "open, high, low, close, volume, open_interest, directory, file, symbol, name, period)"},
      {0, 1, ImportMode::IntoEmpty, "<DATE>,DTYYYYMMDD\n", "line 1: the column date is named twice"},
      {0, 1, ImportMode::IntoEmpty, "high,low\n", "line 1: no date column"},
      {0, 1, ImportMode::IntoEmpty, kFive + one + "2010-02-31,1,1,1,1\n", "line 3: 2010-02-31 is not a date"},
      {0, 1, ImportMode::IntoEmpty, kFive + "31/01/2010,1,1,1,1\n", "line 2: 31/01/2010 is not a date"},
      {0, 1, ImportMode::IntoEmpty, kFive + "18991231,1,1,1,1\n", "line 2: 18991231 is not a date"},
      {0, 1, ImportMode::IntoEmpty, kFive + ",1,1,1,1\n", "line 2: no date"},
      {0, 1, ImportMode::IntoEmpty, kFive + two + one,
       "line 3: 2010-01-01 does not come after 2010-01-02 (line 2): Dates out of order"},
      {0, 1, ImportMode::IntoEmpty, kFive + one + one,
       "line 3: 2010-01-01 does not come after 2010-01-01 (line 2): Dates out of order"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,1,1O,1\n", "line 2: 1O is not a number (close)"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,1,nan,1\n", "line 2: nan is not a number (close)"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,1,1,-5\n", "line 2: volume -5 is below zero"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,1,1,2e9\n",
       "line 2: volume 2e9 is above 1000000000, the most a data file holds"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,2,1,1\n",
       "line 2: low 2 is above high 1 (High < Low)"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,2,1,2.5,1\n",
       "line 2: close 2.5 is above high 2 (Close > High)"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,2,1,0.5,1\n",
       "line 2: close 0.5 is below low 1 (Close < Low)"},
      {0, 1, ImportMode::IntoEmpty, kFive + "2010-01-01,1,1,1\n",
       "line 2: 4 fields, but the header (line 1) names 5"},
      {0, 1, ImportMode::IntoEmpty, kFive + one + std::string(8193, '1') + "\n",
       "line 3: longer than 8192 characters"},
      {0, 1, ImportMode::IntoEmpty, kFive + "\"2010-01-01,1,1,1,1\n", "line 2: a quoted field is not closed"},
      {0, 1, ImportMode::IntoEmpty, kFive + one + std::string("x\0y\n", 4),
       "line 3: a zero byte: import reads UTF-8 text (is the file UTF-16?)"},
      {0, 1, ImportMode::IntoEmpty,
       "date,open,high,low,close,volume\n2010-01-01,,1,1,1,1\n2010-01-02,1,1,1,1,1\n",
       "line 3: a value in the open column, which F1's layout has not (date, high, low, close, volume)"},
      {0, 1, ImportMode::IntoEmpty, "symbol," + kFive + "A," + one + "B," + two,
       "line 3: symbol \"B\", but line 2 gives \"A\": a file holds the records of one instrument"},
      {0, 1, ImportMode::IntoEmpty, "name," + kFive + "\xC4\x80," + one,
       "line 2: the name \"\xC4\x80\" holds a character Windows-1252 has not (or is not UTF-8)"},
      {0, 1, ImportMode::IntoEmpty, "per," + kFive + "W," + one, "line 2: period W, but F1 is daily"},
      {0, 1, ImportMode::IntoEmpty, "per," + kFive + "X," + one,
       "line 2: period \"X\" is no period (D, W, M, I, or the minutes of an intraday bar)"},
      {3, 1, ImportMode::IntoEmpty, kFive + Row(4),
       "F1 holds 3 records: give --append to add the file's after them, or --replace to replace them"},
      {3, 1, ImportMode::Append, kFive + Row(3),
       "line 2: 2010-01-03 does not come after 2010-01-03 (the last record of F1): Dates out of order"},
      {0, 2, ImportMode::IntoEmpty, kSeven + "2010-01-04,24:00:00,1,1,1,1,1\n",
       "line 2: 24:00:00 is not a time"},
      {0, 2, ImportMode::IntoEmpty, kSeven + "2010-01-04,,1,1,1,1,1\n", "line 2: no time"},
      {0, 2, ImportMode::IntoEmpty, kSeven + bars + "2010-01-04,09:55:00,1,1,1,1,1\n",
       "line 3: 2010-01-04 09:55:00 comes before 2010-01-04 10:00:00 (line 2): Date/Times out of order"},
      {0, 2, ImportMode::IntoEmpty, kSeven + bars + "2010-01-03,11:00:00,1,1,1,1,1\n",
       "line 3: 2010-01-03 comes before 2010-01-04 (line 2): Dates out of order"},
      {0, 2, ImportMode::IntoEmpty, kSeven + "2010-01-04,10:00:00,0.5,2,1,1,1\n",
       "line 2: open 0.5 is below low 1 (Open < Low)"},
      {0, 2, ImportMode::IntoEmpty, "<PER>," + kSeven + "15," + bars,
       "line 2: bars of 15 minutes, but F2's time base is 5"},
  };
  for (const auto& [held, n, mode, text, fault] : cases) {
    Scene scene(held);
    WriteText(scene.dir.Path("in.csv"), text);
    const Snapshot before = TakeSnapshot(scene.dir.Path(""));
    EXPECT_FALSE(scene.Import(n, text, mode)) << text;
    EXPECT_EQ(scene.fault, fault);
    EXPECT_TRUE(TakeSnapshot(scene.dir.Path("")) == before) << fault;
  }
}

// Every form of the same three records gives the same data file, and master's dates are theirs.
TEST(ImportTest, LayoutsLineEndsQuotesAndOrderOfColumnsAllGiveTheSameRecords) {
  const std::string rows = Row(1) + Row(2) + Row(3);
  const std::string forms[] = {
      kFive + rows,
      "\xEF\xBB\xBF"
      "Date , HIGH,Low,Close,Volume\r\n\"2010-01-01\",\"1\", 1 ,1,100\r\n\r\n" +
          Row(2) + "2010-01-03,3,3,3,300",
      "directory,file,symbol,name,period,date,time,open,high,low,close,volume,open_interest\n"
      "x,F1,S,\"A, \"\"B\"\"\",D,2010-01-01,,,1,1,1,100,\nx,F1,S,\"A, \"\"B\"\"\",D,2010-01-02,,,2,2,2,200,\n"
      "x,F1,S,\"A, \"\"B\"\"\",D,2010-01-03,,,3,3,3,300,\n",
      "<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\r\n"
      "S,d,20100101,,,1,1,1,100,\r\nS,d,20100102,,,2,2,2,2e2,\r\nS,d,20100103,,,3,3,3,300.0,\r\n",
      "volume,close,low,high,date\n100,1,1,1,20100101\n200,2,2,2,2010-01-02\n300,3,3,3,2010-01-03\n",
  };
  for (const std::string& text : forms) {
    Scene scene;
    ASSERT_TRUE(scene.Import(1, text)) << scene.fault;
    EXPECT_EQ(std::pair(scene.result.imported, scene.result.held), std::pair(3, 3));
    EXPECT_EQ(ReadBytes(scene.dir.Path("F1.DAT")), IdRecords({1, 2, 3}).Build()) << text;
    const Bytes entry = ViewMaster(TakeSnapshot(scene.dir.Path(""))).records.at(0);
    EXPECT_EQ(std::pair(GetU32(entry, 25), GetU32(entry, 29)),
              std::pair(MbfWord(IdDate(1)), MbfWord(IdDate(3))));
  }
}

// The header's bytes other than the count stay; append keeps the records, replace does not; an empty
// field is the corrupt-number marker, with a warning; EMASTER follows master's dates.
TEST(ImportTest, ModesKeepTheHeaderAndEmptyFieldsBecomeTheMarker) {
  const auto header = [](DatBuilder dat) {
    Bytes bytes = dat.HeaderFirst(0x1234).Build();
    bytes[9] = 0x55;
    return bytes;
  };
  for (const ImportMode mode : {ImportMode::Append, ImportMode::Replace}) {
    Scene scene(3);
    WriteBytes(scene.dir.Path("F1.DAT"), header(IdRecords({1, 2, 3})));
    WriteBytes(scene.dir.Path("EMASTER"), EmasterOf(ReadBytes(scene.dir.Path("master"))));
    ASSERT_TRUE(scene.Import(1, kFive + Row(4) + "2010-01-05,5,5,,500\n", mode)) << scene.fault;
    const bool append = mode == ImportMode::Append;
    DatBuilder expected = IdRecords(append ? Ids(1, 5) : Ids(4, 5)).SetWord(append ? 4 : 1, 3, 0x82800000u);
    EXPECT_EQ(ReadBytes(scene.dir.Path("F1.DAT")), header(expected));
    EXPECT_EQ(std::pair(scene.result.imported, scene.result.held), std::pair(2, append ? 5 : 2));
    EXPECT_EQ(scene.result.warnings,
              Texts{"line 3: no close: stored as the corrupt-number marker, which the DAT "
                    "test reports (Corrupt Numbers)"});
    EXPECT_EQ(ReadBytes(scene.dir.Path("EMASTER")), EmasterOf(ReadBytes(scene.dir.Path("master"))));
  }
  // No more records than a header counts, 65,534, whether the file or the data file holds them.
  Scene full;
  DatBuilder many = IdRecords({1});
  for (int r = 1; r < kMaxImportedRecords - 1; ++r) many.Values({IdDate(1), 1, 1, 1, 100});
  WriteDat(full.dir, 1, many);
  EXPECT_FALSE(full.Import(1, kFive + Row(2) + Row(3), ImportMode::Append));
  EXPECT_EQ(full.fault, "line 3: a data file holds at most 65534 records (F1 holds 65533)");
  std::string rows = kFive;
  for (int r = 0; r <= kMaxImportedRecords; ++r) rows += Row(1);
  EXPECT_FALSE(full.Import(1, rows, ImportMode::Replace));
  EXPECT_EQ(full.fault, "line 65536: a data file holds at most 65534 records");
  Scene missing;  // no data file at all: a new header
  ASSERT_TRUE(
      missing.Import(2, "<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>\n20100104,100500,0,2,1,2,9\n"));
  EXPECT_EQ(ReadBytes(missing.dir.Path("F2.DAT")),
            DatBuilder::ForFields(7).Values({IdDate(4), 100500, 0, 2, 1, 2, 9}).Build());
}

// The records as export writes them: the table layout (YYYY-MM-DD, the shortest text of each float, an
// empty field for a corrupt number) or the metastock layout (YYYYMMDD, HHMMSS).
std::string ExportText(const Bytes& dat, const MasterRecord& record, bool table) {
  const std::vector<Col> columns = LayoutColumns(record.FieldCount(), record.Period());
  const char* const names[] = {"date", "time", "open", "high", "low", "close", "volume", "open_interest"};
  std::string text;
  for (Col c : columns) text.append(text.empty() ? "" : ",").append(names[static_cast<int>(c)]);
  text += '\n';
  const size_t length = record.RecordLength();
  for (size_t at = length; at + length <= dat.size(); at += length) {
    for (size_t c = 0; c < columns.size(); ++c) {
      const float value = MBF_IEEE(GetU32(dat, at + 4 * c));
      const auto whole = static_cast<int>(value);
      char field[40] = "";
      if (columns[c] == Col::Date) {
        std::snprintf(field, sizeof field, table ? "%04d-%02d-%02d" : "%04d%02d%02d", whole / 10000 + 1900,
                      whole / 100 % 100, whole % 100);
      } else if (columns[c] == Col::Time) {
        std::snprintf(field, sizeof field, table ? "%02d:%02d:%02d" : "%02d%02d%02d", whole / 10000,
                      whole / 100 % 100, whole % 100);
      } else if (value >= 0.0f) {
        *std::to_chars(field, field + sizeof field, value).ptr = '\0';
      }
      text.append(c == 0 ? "" : ",").append(field);
    }
    text += '\n';
  }
  return text;
}

TEST(ImportTest, ExportedRecordsComeBackToTheSameBytes) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(dir.Path(""), &error)) << error;
  int compared = 0;
  for (const char* sub : {"Stocks", "Intraday"}) {
    const std::string directory = dir.Dir() + sub + "\\";
    const Snapshot before = TakeSnapshot(dir.Path(sub));
    for (const MasterRecord& record : ReadMasterRecords(directory.c_str())) {
      const auto dat = StateOf(before, DatName(record.FileNumber()));
      if (!dat) continue;
      WriteText(dir.Path("out.csv"), ExportText(*dat, record, sub[0] == 'S'));
      ImportResult result;
      EXPECT_TRUE(ImportRecords(directory.c_str(), record.FileNumber(), dir.Name("out.csv").c_str(),
                                ImportMode::Replace, CodePage::Windows1252, &result, &error))
          << error;
      ++compared;
    }
    EXPECT_TRUE(TakeSnapshot(dir.Path(sub)) == before) << sub << ": not every byte came back";
  }
  EXPECT_EQ(compared, 8);
  // Random stored volumes and open interest, every exponent, and the corrupt-number marker in a close.
  std::mt19937 random(2026);
  std::uniform_int_distribution<uint32_t> bits(0x00800000u, std::bit_cast<uint32_t>(kMbfCeiling));
  DatBuilder dat = DatBuilder::ForFields(7);
  for (int r = 0; r < kMaxId; ++r)
    dat.Words({MbfWord(IdDate(r + 1)), MbfWord(1), MbfWord(2), MbfWord(1), r == 7 ? 0x82800000u : MbfWord(1),
               MbfWord(std::bit_cast<float>(bits(random))),
               r % 3 ? 0u : MbfWord(std::bit_cast<float>(bits(random)))});
  const MasterEntry entry{.fileNumber = 1, .fieldCount = 7};
  WriteMaster(dir, MasterBuilder().Add(entry).LastFileNumber(1));
  WriteDat(dir, 1, dat);
  WriteText(dir.Path("out.csv"), ExportText(dat.Build(), entry.Record(), true));
  ImportResult result;
  ASSERT_TRUE(ImportRecords(dir.Dir().c_str(), 1, dir.Name("out.csv").c_str(), ImportMode::Replace,
                            CodePage::Windows1252, &result, &error))
      << error;
  EXPECT_EQ(ReadBytes(dir.Path("F1.DAT")), dat.Build());
  EXPECT_EQ(result.warnings.size(), 1u);
}

// create --from: the layout from the filled columns or the options, names from the file in its code page;
// a refusal leaves no instrument and no file behind.
TEST(ImportTest, CreateFromTextMakesTheInstrumentOrNothing) {
  const std::string table =
      "directory,file,symbol,name,period,date,time,open,high,low,close,volume,open_interest\n"
      "x,F1,S\xC3\xA9,Caf\xC3\xA9,D,2010-01-01,,,1,1,1,100,\nx,F1,S\xC3\xA9,Caf\xC3\xA9,D,2010-01-02,,,2,2,2,"
      "200,\n";
  const std::string minutes = "<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<CLOSE>,<VOL>\nT,5,20100104,093000,1,9\n";
  const std::string letter = "<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<CLOSE>,<VOL>\nT,I,20100104,093000,1,9\n";
  const std::string named = "name," + kFive + "A," + Row(1);
  struct Case {
    std::string text;
    CreateFromText given;
    std::string fault;  // "": made, with the entry below
    MasterEntry entry = {};
  };
  const Case cases[] = {
      {table, {}, "", {.fileNumber = 3, .fieldCount = 5, .name = "Caf\xE9", .symbol = "S\xE9"}},
      {minutes,
       {.name = "TICKS"},
       "",
       {.fileNumber = 3, .fieldCount = 4, .name = "TICKS", .period = 'I', .timeBase = 5, .symbol = "T"}},
      {table, {.period = 'W'}, "line 2: period D, but weekly was asked for"},
      {named,
       {.fieldCount = 6},
       "line 1: no open column, which the new instrument's layout has (date, open, high, "
       "low, close, volume)"},
      {minutes,
       {.fieldCount = 5},
       "line 1: no intraday layout of 5 fields holds the columns the file fills (date, time, close, volume)"},
      {letter, {}, "You MUST supply a time base for IntraDay files"},
      {kFive + Row(1), {}, "line 1: the file names no instrument (no name or symbol column): give --name"},
      {"name," + kFive + "ABCDEFGHIJKLMNOP," + Row(1),
       {},
       "line 2: the name \"ABCDEFGHIJKLMNOP\" is longer than 15 "
       "characters: give --name"},
      {"name," + kFive + "A," + Row(2) + "A," + Row(1),
       {},
       "line 3: 2010-01-01 does not come after 2010-01-02 (line 2): Dates out of order"},
  };
  for (const Case& c : cases) {
    Scene scene(2);
    WriteText(scene.dir.Path("in.csv"), c.text);
    const Snapshot before = TakeSnapshot(scene.dir.Path(""));
    ImportResult result;
    std::string fault;
    const int16_t made = CreateInstrumentFromText(scene.dir.Dir().c_str(), scene.dir.Name("in.csv").c_str(),
                                                  c.given, &result, &fault);
    EXPECT_EQ(fault, c.fault);
    if (!c.fault.empty()) {
      EXPECT_EQ(made, -1);
      EXPECT_TRUE(TakeSnapshot(scene.dir.Path("")) == before) << c.fault;
      continue;
    }
    ASSERT_EQ(made, 3);
    const Snapshot now = TakeSnapshot(scene.dir.Path(""));
    MasterEntry entry = c.entry;
    const Bytes dat = StateOf(now, "F3.DAT").value();
    entry.firstDateWord = GetU32(dat, 4 * entry.fieldCount),
    entry.lastDateWord = GetU32(dat, dat.size() - 4 * entry.fieldCount);
    EXPECT_EQ(ViewMaster(now).records.at(2), entry.Encode());
    EXPECT_EQ(GetU16(dat, 2) * 4 * entry.fieldCount, dat.size());
    EXPECT_TRUE(StateOf(now, "F3.DOP").has_value());
  }
}

}  // namespace
}  // namespace store_test
