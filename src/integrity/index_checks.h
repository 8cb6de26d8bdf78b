// What the two later index files say against master, beside the twelve
// master tests: a damaged EMASTER or XMASTER (as their readers find it), and
// an EMASTER that disagrees with master (an instrument in one and not the
// other, another symbol, name or date). Programs that read EMASTER instead of
// master see such an instrument otherwise than this one does. Nothing here is
// repaired: which of the two files is right only the user can tell.
#pragma once

#include <string>
#include <vector>

#include "store/index_files.h"

struct IndexCheckFinding {
  std::string file;  // "EMASTER" or "XMASTER"
  int fileNumber;    // the instrument's; 0 for the whole file
  std::string text;  // for the user, naming the instrument
};

// The findings for directory (ending in a backslash) in file order: EMASTER's
// then XMASTER's, each file's damage first. None for a directory without
// either file.
std::vector<IndexCheckFinding> CheckIndexFiles(const char* directory);
// The same for the two files as the caller has read them already.
std::vector<IndexCheckFinding> CheckIndexFiles(const char* directory, const EmasterContents& emaster,
                                               const XmasterContents& xmaster);
