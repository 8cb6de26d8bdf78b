#include "store/index_files.h"

#include <functional>
#include <sstream>

#include "store/directory_instruments.h"
#include "store/record_search.h"
#include "store_fixture.h"

namespace store_test {
namespace {

TEST(IndexFilesTest, EachKindOfDamageIsRefusedWithItsFinding) {
  using D = IndexDamage;
  constexpr IndexFile E = IndexFile::Emaster, X = IndexFile::Xmaster;
  using Harm = std::function<void(Bytes&)>;
  const auto fill = [](size_t at, size_t n) -> Harm { return [=](Bytes& b) { std::fill_n(&b[at], n, 1); }; };
  const auto resize = [](int by) -> Harm { return [=](Bytes& b) { b.resize(size_t(int(b.size()) + by)); }; };
  const auto put = [](size_t at, uint16_t value) -> Harm { return [=](Bytes& b) { PutU16(b, at, value); }; };
  const std::tuple<IndexFile, Harm, D, int, size_t, std::string> rows[] = {
      {E, resize(-576), D::Empty, 0, 0, "EMASTER is empty"},
      {E, resize(-50), D::PartialRecord, 0, 0, "EMASTER ends in a partial record (142 of 192 bytes)"},
      {E, put(0, 5), D::CountMismatch, 0, 0, "EMASTER lists 5 instruments but holds 2 records"},
      {E, put(192 + 2, 0), D::FileNumberOutOfRange, 1, 1,
       "EMASTER record 1: file number 0 is out of range (1 to 255)"},
      {E, fill(384 + 139, 53), D::UnterminatedText, 2, 1,
       "EMASTER record 2: its long name has no terminating zero byte"},
      {X, [](Bytes& b) { b = {'b', 'r', 'o', 'k', 'e', 'n', '\n'}; }, D::NotIndexFile, 0, 0,
       "XMASTER is not an XMASTER file (it starts with text)"},
      {X, fill(0, 1), D::NotIndexFile, 0, 0,
       "XMASTER is not an XMASTER file (it starts with 01 FE 58 4D, not 5D FE 58 4D)"},
      {X, resize(-301), D::ShortHeader, 0, 0, "XMASTER is too short for its header (149 of 150 bytes)"},
      {X, put(10, 3), D::CountMismatch, 0, 0, "XMASTER lists 3 instruments but holds 2 records"},
      {X, put(150 + 65, 255), D::FileNumberOutOfRange, 1, 1,
       "XMASTER record 1: file number 255 is out of range (256 and up)"},
      {X, fill(300 + 16, 46), D::UnterminatedText, 2, 1,
       "XMASTER record 2: its name has no terminating zero byte"},
      {X, put(300 + 70, 0x5F), D::UnknownLayout, 2, 2,
       "XMASTER record 2: the fields of F300 (bits 5F, period D) fit no layout its data can be read by"},
  };
  const Bytes emaster = EmasterFile({{.fileNumber = 1}, {.fileNumber = 2}});
  const Bytes xmaster = XmasterFile({{.fileNumber = 256}, {.fileNumber = 300, .fieldBits = 0x3F}});
  EXPECT_TRUE(DecodeEmaster(emaster).Sound() && DecodeXmaster(xmaster).Sound());
  for (const auto& [file, harm, damage, record, kept, text] : rows) {
    SCOPED_TRACE(text);
    Bytes bytes = file == E ? emaster : xmaster;
    harm(bytes);
    const EmasterContents e = DecodeEmaster(bytes);
    const XmasterContents x = DecodeXmaster(bytes);
    const auto& findings = file == E ? e.findings : x.findings;
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(std::tuple(findings[0].file, findings[0].damage, findings[0].record, findings[0].text),
              std::tuple(file, damage, record, text));
    EXPECT_EQ(file == E ? e.records.size() : x.records.size(), kept);
  }
}

Texts Listing(const TempDir& dir) {
  Texts lines;
  for (const DirectoryInstrument& i : ReadDirectoryInstruments(dir.Dir().c_str()).instruments) {
    std::ostringstream line;
    line << (i.source == InstrumentSource::Master ? "M F" : "X F") << i.fileNumber << " " << i.symbol << "|"
         << i.name << " " << i.period << i.timeBase << " " << i.fieldCount << " "
         << i.dataFileName.substr(dir.Dir().size()) << (i.layoutKnown ? " " : " unknown ") << int(i.firstDate)
         << "-" << int(i.lastDate);
    lines.push_back(line.str());
  }
  return lines;
}

// master's visible records with EMASTER's long names, then XMASTER's (names
// in any letter case; an unreadable EMASTER named), and F300.MWD read by the
// DAT readers. The layouts real files use (6 and 7 daily, 7 and 8 intraday)
// agree with AssignFieldTypes; an instrument with another is listed, its
// data not read.
TEST(DirectoryInstrumentsTest, MasterThenXmasterAndMwdDataReadByTheDatReaders) {
  TempDir dir;
  const char* d = dir.Dir().c_str();
  WriteMaster(dir, MasterBuilder()
                       .Add({.fileNumber = 3, .name = "Acme Widgets Int", .symbol = "ACW"})
                       .Add({.fileNumber = 7, .name = "Hidden", .hidden = true})
                       .Add({.fileNumber = 9, .fieldCount = 8, .name = "Renamed", .symbol = "RN"}));
  const Texts masterOnly{"M F3 ACW|Acme Widgets Int D0 7 F3.DAT 0-0",
                         "M F9 RN|Renamed D0 8 F9.DAT unknown 0-0"};
  EXPECT_EQ(Listing(dir), masterOnly);
  EXPECT_FALSE(ReadEmaster(d).present || ReadXmaster(d).present || !ReadXmaster(d).findings.empty());
  IndexEntry acme{.fileNumber = 3, .symbol = "ACW", .name = "Acme", .longName = "Acme Widgets Intl"};
  acme.firstDate = 1100104, acme.lastDate = 1231229;
  WriteBytes(dir.Path("emaster"),
             EmasterFile({{.fileNumber = 9, .longName = "Old Name Of Nine, Longer"}, acme}));
  const Series ticks = Series::Intraday(2, 5, 15);
  IndexEntry tick{.fileNumber = 300, .symbol = "TCK", .name = "Ticks with a name of 29 chars", .period = 'I'};
  tick.timeBase = 15, tick.fieldBits = 0xFF, tick.firstDate = 1131114, tick.lastDate = 1131115;
  Bytes xmaster = XmasterFile({tick,
                               {.fileNumber = 256, .symbol = "ODD", .period = 'I', .fieldBits = 0x7F},
                               {.fileNumber = 257, .symbol = "SEVEN", .period = 'I', .fieldBits = 0xBF}});
  std::ranges::copy(std::string("LEFT"), xmaster.begin() + 150 + 16 + 30);  // past the name's zero byte
  WriteBytes(dir.Path("XMaster"), xmaster);
  EXPECT_EQ(Listing(dir), (Texts{"M F3 ACW|Acme Widgets Intl D0 7 F3.DAT 0-0", masterOnly[1],
                                 "X F300 TCK|Ticks with a name of 29 chars I15 8 F300.MWD 1131114-1131115",
                                 "X F256 ODD|INSTRUMENT I0 7 F256.MWD unknown 0-0",
                                 "X F257 SEVEN|INSTRUMENT I0 7 F257.MWD 0-0"}));
  RecordingListBox box;  // the browser's lines: XMASTER's marked, item data the file number
  ListInstruementsInDirectory(box, d);
  EXPECT_EQ(box.items.at(2).text + " #" + std::to_string(box.items[2].data),
            "Ticks with a name of 29 chars\tTCK\tF300\tIntraDay File\tNon-Existant\tXMASTER #300");
  EXPECT_EQ(box.items.at(0).text, "Acme Widgets Intl\tACW\tF3\tDaily File\tNon-Existant");
  EXPECT_EQ(
      std::tuple(FindDirectoryInstrument(d, 3)->name, FindDirectoryInstrument(d, 257)->symbol,
                 FindDirectoryInstrument(d, 7).has_value(), FindDirectoryInstrument(d, 301).has_value()),
      std::tuple("Acme Widgets Int", "SEVEN", true, false));
  platform::FailNthCall(platform::Call::Read, 1);  // EMASTER's, the first file read
  const EmasterContents unreadable = ReadDirectoryInstruments(d).emaster;
  EXPECT_EQ(std::tuple(unreadable.present, unreadable.findings.size(), unreadable.findings.at(0).text),
            std::tuple(true, 1u, "EMASTER cannot be read"));
  const DirectoryInstruments model = ReadDirectoryInstruments(d);
  const EmasterRecord& e = model.emaster.records.at(1);
  EXPECT_EQ(std::tuple(model.emaster.lastFileNumber, e.FirstDate(), e.LastDate(), e.Symbol() + e.Name()),
            std::tuple(9, 1100104.0f, 1231229.0f, "ACWAcme"));
  const XmasterContents& x = model.xmaster;
  EXPECT_EQ(std::tuple(x.nextFileNumber, x.findings.size(), x.findings.at(0).damage, model.emaster.Sound()),
            std::tuple(301, 1u, IndexDamage::UnknownLayout, true));

  const DirectoryInstrument& tck = model.instruments[2];
  MasterEntry layout{.fileNumber = 0, .fieldCount = 8, .name = tick.name, .period = 'I', .symbol = "TCK"};
  layout.firstDateWord = MbfWord(1131114), layout.lastDateWord = MbfWord(1131115), layout.timeBase = 15;
  EXPECT_EQ(Bytes(tck.layout.raw, tck.layout.raw + 53), layout.Encode());
  WriteBytes(dir.Path("f300.mwd"), ticks.Dat(8, 'I').Build());
  const int length = tck.layout.RecordLength();
  FileGuard mwd(SOpenFile(tck.dataFileName.c_str(), kOpenReadOnly, kOpenShared, uint32_t(length), 0));
  DATLayout columns = {};
  DATHeader header = {};
  ScriptedInteraction ui;
  ASSERT_EQ(GetDATFileType(mwd.Get(), tck.dataFileName.c_str(), tck.layout, &columns, &header, ui), 1);
  EXPECT_EQ(std::tuple(columns.recordCount, ui.questions.size()), std::tuple(11, 0u));
  EXPECT_TRUE(std::ranges::equal(columns.fieldTypes, tck.fieldTypes));
  for (int k = 0; k < 10; ++k) {
    int16_t day, month, year, hour, minute, second;
    ASSERT_EQ(GetDateTime(mwd.Get(), tck.layout, k, &day, &month, &year, &hour, &minute, &second), 1);
    EXPECT_EQ(std::tuple(year, month, day, hour * 60 + minute, ReadField(mwd.Get(), k + 1, 5, length)),
              std::tuple(113, 11, 14 + k / 5, 540 + 15 * (k % 5), ticks.bars[size_t(k)].close));
  }
  EXPECT_EQ(GetRecordNumberFromDateTime(mwd.Get(), tck.layout, 15, 11, 113, 9, 30, 0), 7);
}

}  // namespace
}  // namespace store_test
