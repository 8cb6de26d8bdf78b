// Records exported as text: one small directory (master, XMASTER) in the table and metastock layouts and
// as JSON Lines, its names quoted and converted from their code page, values that cannot be written as
// stored left empty and reported, date bounds; every row read back against the data files.
#include "store/record_export.h"

#include "store_fixture.h"
#include "support/export_rows.h"

namespace store_test {
namespace {

class RecordExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteMaster(dir, MasterBuilder()
                         .Add({.fileNumber = 1, .name = "CAF\xE9, \"BAR\" \x80", .symbol = "C,1"})
                         .Add({.fileNumber = 2, .name = "MINUTES", .period = 'I', .symbol = "M"}));
    WriteDat(dir, 1,
             DatBuilder::ForFields(7)
                 .Values({StoredDate(2023, 1, 15), 12.3f, 12.5f, 12.1f, 12.4f, 1500, 7})
                 .Words({MbfWord(StoredDate(1996, 1, 15)), kStoredMinusOne, MbfWord(1.5f), MbfWord(1),
                         MbfWord(1.25f), MbfWord(1e9f), 0}));
    WriteDat(dir, 2,
             DatBuilder::ForFields(7)
                 .Values({StoredDate(2013, 11, 14), StoredTime(9, 35, 0), 1, 2, 0.5f, 1.75f, 700})
                 .Values({StoredDate(2013, 11, 15), 256000, 1, 2, 0.5f, 1.75f, 0.1f}));
    WriteBytes(dir.Path("XMASTER"), XmasterFile({{.fileNumber = 256, .symbol = "X", .name = "WIDE"}}));
    WriteBytes(dir.Path("F256.MWD"), DatBuilder::ForFields(7)
                                         .Values({StoredDate(1949, 3, 20), 1, 3, 1, 2, 9, 4})
                                         .Values({0, 1, 1, 1, 1, 1, 1})
                                         .Build());
  }
  // The export with the directory written $D (and $D/ before a file), in the text and in the warnings.
  std::string Export(const ExportOptions& options) {
    warnings.clear();
    std::string text = ExportedText({dir.Dir()}, options, &warnings);
    const std::string native = NativePath(dir.Dir().c_str()), shown = native.substr(0, native.size() - 1);
    std::string escaped;  // as JSON writes it
    for (char c : shown) escaped += c == '\\' ? "\\\\" : std::string(1, c);
    std::vector<std::string*> texts = {&text};
    for (std::string& warning : warnings) texts.push_back(&warning);
    for (std::string* t : texts) {
      for (const auto& [form, mark] :
           {std::pair(native, "$D/"), std::pair(escaped, "$D"), std::pair(shown, "$D")})
        for (size_t at; (at = t->find(form)) != std::string::npos;) t->replace(at, form.size(), mark);
    }
    return text;
  }
  TempDir dir;
  std::vector<std::string> warnings;
};

TEST_F(RecordExportTest, TablesMetaStockAndJsonLinesCarryTheStoredValues) {
  EXPECT_EQ(Export({}),
            "directory,file,symbol,name,period,date,time,open,high,low,close,volume,open_interest\n"
            "$D,F1.DAT,\"C,1\",\"CAF\u00E9, \"\"BAR\"\" \u20AC\",D,2023-01-15,,12.3,12.5,12.1,12.4,1500,7\n"
            "$D,F1.DAT,\"C,1\",\"CAF\u00E9, \"\"BAR\"\" \u20AC\",D,1996-01-15,,,1.5,1,1.25,1e+09,0\n"
            "$D,F2.DAT,M,MINUTES,I,2013-11-14,09:35:00,1,2,0.5,1.75,700,\n"
            "$D,F2.DAT,M,MINUTES,I,2013-11-15,,1,2,0.5,1.75,0.1,\n"
            "$D,F256.MWD,X,WIDE,D,1949-03-20,,1,3,1,2,9,4\n"
            "$D,F256.MWD,X,WIDE,D,,,1,1,1,1,1,1\n");
  EXPECT_EQ(warnings, (Texts{"$D/F1.DAT record 1: open is corrupt; left empty",
                             "$D/F2.DAT record 1: time 256000 is not a valid time; left empty",
                             "$D/F256.MWD record 1: date 0 is not a valid date; left empty"}));
  EXPECT_EQ(ExpectRowsAsStored(ExportedText({dir.Dir()}, {}, &warnings)), 6);
  EXPECT_EQ(Export({.layout = TextLayout::MetaStock}),
            "<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
            "\"C,1\",D,20230115,,12.3,12.5,12.1,12.4,1500,7\n\"C,1\",D,19960115,,,1.5,1,1.25,1e+09,0\n"
            "M,I,20131114,093500,1,2,0.5,1.75,700,\nM,I,20131115,,1,2,0.5,1.75,0.1,\n"
            "X,D,19490320,,1,3,1,2,9,4\nX,D,,,1,1,1,1,1,1\n");
  // JSON Lines: the table's fields, every key present, an absent value null, text escaped.
  const std::string json = Export({.format = ExportFormat::JsonLines});
  EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 6);
  EXPECT_NE(
      json.find("{\"directory\":\"$D\",\"file\":\"F1.DAT\",\"symbol\":\"C,1\",\"name\":\"CAF\u00E9, "
                "\\\"BAR\\\" \u20AC\",\"period\":\"D\",\"date\":\"1996-01-15\",\"time\":null,\"open\":null,"
                "\"high\":1.5,\"low\":1,\"close\":1.25,\"volume\":1e+09,\"open_interest\":0}\n"),
      json.npos);
  EXPECT_NE(json.find("\"file\":\"F2.DAT\",\"symbol\":\"M\",\"name\":\"MINUTES\",\"period\":\"I\",\"date\":"
                      "\"2013-11-14\",\"time\":\"09:35:00\",\"open\":1,\"high\":2,\"low\":0.5,\"close\":1.75,"
                      "\"volume\":700,\"open_interest\":null}\n{"),
            json.npos);
  EXPECT_NE(json.find("\"date\":null,\"time\":null,\"open\":1,"), json.npos);
  // ISO 8859-1 has no euro sign: byte 0x80 is the control character of that number.
  EXPECT_NE(Export({.codePage = CodePage::Latin1}).find("\"CAF\u00E9, \"\"BAR\"\" \u0080\""),
            std::string::npos);
}

TEST_F(RecordExportTest, DateBoundsKeepTheRecordsWithinThemAndReportTheUndated) {
  const std::string rows = Export({.from = StoredDate(1996, 1, 15), .to = StoredDate(2013, 11, 14)});
  EXPECT_EQ(rows.substr(rows.find('\n') + 1),
            "$D,F1.DAT,\"C,1\",\"CAF\u00E9, \"\"BAR\"\" \u20AC\",D,1996-01-15,,,1.5,1,1.25,1e+09,0\n"
            "$D,F2.DAT,M,MINUTES,I,2013-11-14,09:35:00,1,2,0.5,1.75,700,\n");
  EXPECT_EQ(warnings.back(), "$D/F256.MWD record 1: date 0 is not a valid date; record left out");
  // A file full of corrupt values is reported a few values at a time.
  const std::vector<uint32_t> corrupt(7, kStoredMinusOne);
  WriteDat(dir, 2, DatBuilder::ForFields(7).Words(corrupt).Words(corrupt).Words(corrupt));
  Export({});
  EXPECT_EQ(
      std::count_if(warnings.begin(), warnings.end(), [](auto& w) { return w.find("F2.DAT") != w.npos; }),
      11);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "$D/F2.DAT: 11 more values not exported as stored"),
            warnings.end());
}

}  // namespace
}  // namespace store_test
