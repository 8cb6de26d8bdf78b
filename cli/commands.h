// qvx's commands come in groups, one file each; every group registers its
// subcommands into the application. A command's callback runs during parsing
// and leaves its exit status in *status (cli_common.h).
//
// To add a group: write Register<Group>Commands in cli/commands_<group>.cpp,
// declare it here, add it to kCommandGroups in main.cpp and the file to the
// qvx sources in cli/CMakeLists.txt.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "primitives/code_page.h"

namespace qvx {

using CommandGroup = void (*)(CLI::App& app, int* status);

// list, tree, show, find, sample.
void RegisterReadCommands(CLI::App& app, int* status);
// test-dat, test-master, correct.
void RegisterIntegrityCommands(CLI::App& app, int* status);
// check.
void RegisterCheckCommands(CLI::App& app, int* status);
// insert, delete-records, truncate, split, set, append.
void RegisterRecordCommands(CLI::App& app, int* status);
// create, mkdir, symbol, copy, move, delete.
void RegisterInstrumentCommands(CLI::App& app, int* status);
// export.
void RegisterExportCommands(CLI::App& app, int* status);
// import.
void RegisterImportCommands(CLI::App& app, int* status);

// Record numbers and counts: 0 or more, named plainly in the refusal.
inline CLI::Range NonNegative() {
  return CLI::Range(0, std::numeric_limits<int32_t>::max());
}

// The file number of an instrument a command changes: master's, 1 to 255.
// The numbers above are XMASTER's, whose instruments qvx only reads.
inline CLI::Validator ChangeableFileNumber() {
  return CLI::Validator(
      [](std::string& text) {
        int number = 0;
        if (!CLI::detail::lexical_cast(text, number) || number < 1 || number > 65535)
          return "Value " + text + " not in range 1 to 255";
        if (number <= 255) return std::string();
        return "F" + text + " is an XMASTER instrument, which qvx reads but does not change";
      },
      "1 to 255");
}

// A text that must fit its field: a longer one would be cut without a word.
inline CLI::Validator MaxLength(size_t limit) {
  return CLI::Validator(
      [limit](std::string& text) {
        return text.size() <= limit
                   ? std::string()
                   : "\"" + text + "\" is longer than " + std::to_string(limit) + " characters";
      },
      "at most " + std::to_string(limit) + " characters");
}

// A code page as CodePageNamed takes its name (import, create --from).
CLI::Validator CodePageName();
// --encoding of a command that prints names in JSON (list, test-dat,
// test-master, check): the code page they are stored in.
void AddJsonEncodingOption(CLI::App* command, std::string* encoding);
// The code page of an --encoding value (checked by CodePageName), Windows-1252
// by default.
CodePage EncodingPage(const std::string& encoding);
// An import's warnings on stderr (the first twenty, then how many more).
void ReportWarnings(const std::vector<std::string>& warnings);

}  // namespace qvx
