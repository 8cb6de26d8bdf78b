#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ModeCase {
  const char* commandLine;
  bool utility;
};

TEST(CommandLine, UtilityModeNeedsAutotestAndATestToken) {
  const ModeCase cases[] = {
      {"", false},
      {"AUTOTEST", false},
      {"TESTDAT", false},
      {"TESTMASTER PATH:\"C:\\DATA\"", false},
      {"AUTOTEST TESTDAT", true},
      {"AUTOTEST TESTMASTER", true},
      {"TESTMASTER xyz AUTOTEST", true},
      {"AUTOTESTTESTDAT", true},
      {"autotest testdat", false},
      {"AUTOTEST TESTMASTE", false},
      {"AutoTest TESTDAT", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUtilityCommandLine(c.commandLine), c.utility) << "command line: " << c.commandLine;
  }
}

struct PathCase {
  const char* commandLine;
  PathPartStatus status;
  const char* directory;
};

TEST(CommandLine, TestPathIsTheQuotedTextFollowedByABackslash) {
  const PathCase cases[] = {
      {"PATH:\"C:\\DATA\"", PathPartStatus::kFound, "C:\\DATA\\"},
      {"PATH:\"C:\\DATA\\\"", PathPartStatus::kFound, "C:\\DATA\\\\"},
      {"AUTOTEST TESTDAT PATH:\"C:\\My Data\" FILE:3", PathPartStatus::kFound, "C:\\My Data\\"},
      {"PATH:\"\"", PathPartStatus::kFound, "\\"},
      {"PATH:\"A\" PATH:\"B\"", PathPartStatus::kFound, "A\\"},
      {"PATH:x PATH:\"C:\\D\"", PathPartStatus::kFound, "C:\\D\\"},
      {"PATH:\"C:\\D\"FILE:2\"", PathPartStatus::kFound, "C:\\D\\"},
      {"", PathPartStatus::kMissing, ""},
      {"PATH: \"C:\\DATA\"", PathPartStatus::kMissing, ""},
      {"path:\"C:\\DATA\"", PathPartStatus::kMissing, ""},
      {"PATH:", PathPartStatus::kMissing, ""},
      {"PATH:\"C:\\DATA", PathPartStatus::kNoClosingQuote, ""},
      {"FILE:3 PATH:\"", PathPartStatus::kNoClosingQuote, ""},
  };
  for (const auto& c : cases) {
    const PathPart part = ExtractTestPath(c.commandLine);
    EXPECT_EQ(part.status, c.status) << "command line: " << c.commandLine;
    EXPECT_EQ(part.directory, c.directory) << "command line: " << c.commandLine;
  }
}

TEST(CommandLine, AnyLengthOfPathIsTakenWhole) {
  const std::string longDirectory(100000, 'd');
  const PathPart part = ExtractTestPath("PATH:\"" + longDirectory + "\"");
  ASSERT_EQ(part.status, PathPartStatus::kFound);
  EXPECT_EQ(part.directory, longDirectory + "\\");

  std::string unclosed = "PATH:\"" + longDirectory;
  EXPECT_EQ(ExtractTestPath(unclosed).status, PathPartStatus::kNoClosingQuote);
}

TEST(CommandLine, ZeroBytesAndHighCharactersAreOrdinaryText) {
  const std::string line = std::string("PATH:\"C:\\a\0b\xE9\"", 15);
  const PathPart part = ExtractTestPath(line);
  ASSERT_EQ(part.status, PathPartStatus::kFound);
  EXPECT_EQ(part.directory, std::string("C:\\a\0b\xE9\\", 8));
}

TEST(CommandLine, BrowsePathEndsInExactlyOneAddedBackslash) {
  EXPECT_EQ(ExtractBrowsePath("PATH:\"Z:\\sample\""), "Z:\\sample\\");
  EXPECT_EQ(ExtractBrowsePath("PATH:\"Z:\\sample\\\""), "Z:\\sample\\");
  EXPECT_EQ(ExtractBrowsePath("x PATH:\"C:\\\" y"), "C:\\");
  EXPECT_FALSE(ExtractBrowsePath("PATH:\"\""));
  EXPECT_FALSE(ExtractBrowsePath("PATH:\"Z:\\sample"));
  EXPECT_FALSE(ExtractBrowsePath("Z:\\sample"));
}

struct FileCase {
  const char* commandLine;
  bool present;
  int fileNumber;  // -1: no number
};

TEST(CommandLine, FileNumberIsTheDecimalDigitsAfterTheFirstFileToken) {
  const FileCase cases[] = {
      {"FILE:12", true, 12},
      {"AUTOTEST FILE:7 TESTDAT", true, 7},
      {"FILE:007", true, 7},
      {"FILE:12abc", true, 12},
      {"FILE:3 FILE:4", true, 3},
      {"FILE:00000000000000000000000005", true, 5},
      {"FILE:0", true, 0},
      {"FILE:32767", true, 32767},
      {"FILE:", true, -1},
      {"FILE:x5", true, -1},
      {"FILE:-3", true, -1},
      {"FILE: 5", true, -1},
      {"", false, -1},
      {"file:12", false, -1},
      {"FILE 12", false, -1},
  };
  for (const auto& c : cases) {
    const FilePart part = ExtractFileNumber(c.commandLine);
    EXPECT_EQ(part.present, c.present) << "command line: " << c.commandLine;
    EXPECT_EQ(part.fileNumber.value_or(-1), c.fileNumber) << "command line: " << c.commandLine;
  }
}

TEST(CommandLine, FileNumbersBeyondSixteenBitsNameNoInstrumentInsteadOfWrapping) {
  // 65537 would wrap round to instrument 1 as a 16-bit number.
  for (const char* line :
       {"FILE:32768", "FILE:65537", "FILE:4294967297", "FILE:99999999999999999999999999"}) {
    const FilePart part = ExtractFileNumber(line);
    EXPECT_TRUE(part.present) << line;
    EXPECT_FALSE(part.fileNumber) << line << " gave " << part.fileNumber.value_or(-1);
  }
}

}  // namespace
