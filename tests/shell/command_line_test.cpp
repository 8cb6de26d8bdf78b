// The command line comes from whoever started the program: every text of any
// length and content is taken apart safely.
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr auto kFound = PathPartStatus::kFound, kMissing = PathPartStatus::kMissing,
               kUnclosed = PathPartStatus::kNoClosingQuote;

TEST(CommandLine, ModeTestPathBrowsePathAndFileNumber) {
  const std::string longDirectory(100000, 'd');
  const struct {
    std::string line;
    bool utility;
    PathPartStatus path;
    std::string directory;  // the test path; the browse path is the same without a doubled backslash
    int file;               // -1: no number, -2: no FILE: token
  } cases[] = {
      {"", false, kMissing, "", -2},
      {"AUTOTEST TESTDAT PATH:\"C:\\My Data\" FILE:3", true, kFound, "C:\\My Data\\", 3},
      {"TESTMASTER xyz AUTOTEST PATH:\"C:\\DATA\\\"", true, kFound, "C:\\DATA\\\\", -2},
      {"AUTOTESTTESTDAT FILE:007 FILE:4", true, kMissing, "", 7},
      {"autotest testdat file:12 path:\"C:\\D\"", false, kMissing, "", -2},
      {"AUTOTEST TESTMASTE PATH:\"\" FILE:12abc", false, kFound, "\\", 12},
      {"AUTOTEST PATH:\"A\" PATH:\"B\" FILE:0", false, kFound, "A\\", 0},
      {"TESTDAT PATH:x PATH:\"C:\\D\"FILE:2\"", false, kFound, "C:\\D\\", 2},
      {"PATH: \"C:\\DATA\" FILE:", false, kMissing, "", -1},
      {"PATH:\"C:\\DATA FILE:-3", false, kUnclosed, "", -1},
      {"FILE: 5 PATH:\"", false, kUnclosed, "", -1},
      {"FILE:00000000000000000000000005", false, kMissing, "", 5},
      {"FILE:32767", false, kMissing, "", 32767},
      // Beyond 16 bits a number names no instrument rather than wrapping round to one.
      {"FILE:32768", false, kMissing, "", -1},
      {"FILE:65537", false, kMissing, "", -1},
      {"FILE:99999999999999999999999999", false, kMissing, "", -1},
      {"PATH:\"" + longDirectory + "\"", false, kFound, longDirectory + "\\", -2},
      {"PATH:\"" + longDirectory, false, kUnclosed, "", -2},
      {std::string("PATH:\"C:\\a\0b\xE9\"", 15), false, kFound, std::string("C:\\a\0b\xE9\\", 8), -2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 60));
    EXPECT_EQ(IsUtilityCommandLine(c.line), c.utility);
    const PathPart part = ExtractTestPath(c.line);
    EXPECT_EQ(std::pair(part.status, part.directory), std::pair(c.path, c.directory));
    std::string browse = c.directory;  // none for an empty path
    if (browse.ends_with("\\\\")) browse.pop_back();
    EXPECT_EQ(ExtractBrowsePath(c.line), browse.size() > 1 ? std::optional(browse) : std::nullopt);
    const FilePart file = ExtractFileNumber(c.line);
    EXPECT_EQ(file.present, c.file != -2);
    EXPECT_EQ(file.fileNumber.value_or(-1), c.file == -2 ? -1 : c.file);
  }
}

}  // namespace
