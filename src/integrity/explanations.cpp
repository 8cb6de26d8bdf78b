#include "integrity/explanations.h"

namespace {

constexpr const char* kSeverities[] = {
    "Unlikely to cause problems",
    "Problems Possible",
    "Problems Always",
    "Serious Internal Error!",
};
constexpr int kSeverityCount = sizeof kSeverities / sizeof kSeverities[0];

// Two blanks after some full stops, and the spelling, are the texts' own.
constexpr ErrorExplanation kDATExplanations[] = {
    {2,
     "This can cause random problems within many programs such as unexplained crashing and the inability to "
     "load or view this file."},
    {2, "This can cause invalid indicators to appear."},
    {2, "This can cause invalid indicators to appear."},
    {2, "This can cause invalid indicators to appear."},
    {1,
     "This can cause invalid indicators to appear.  Not all programs use this field, but those that do will "
     "display data incorrectly."},
    {2,
     "This can cause invalid indicators to appear.  Not all programs use this field, but those that do will "
     "display data incorrectly."},
    {2,
     "This can case major problems if generating time frames from files, plus dates will be displayed "
     "incorrectly."},
    {2,
     "This can case major problems if generating time frames from files, plus times will be displayed "
     "incorrectly."},
    {2,
     "This can case major problems with all programs which use dates for anything other than just "
     "displaying, such as generating time frames."},
    {2,
     "This can case major problems with all programs which use dates for anything other than just "
     "displaying, such as generating time frames."},
    {2, "A serious internal error within the utility has occured."},
};
constexpr int kDATCount = sizeof kDATExplanations / sizeof kDATExplanations[0];

constexpr ErrorExplanation kMasterExplanations[] = {
    {2, "There is no file in which data is stored."},
    {1,
     "Most programs do not use DOP files however some programs use it.  It exists solely for compatibility "
     "reasons with some old programs."},
    {0,
     "Many programs do not look at the file type of the master file, but is needed for strict conformance "
     "with the MetaStock standard."},
    {2,
     "Programs will not know what type of file is being loaded in and are unlikely to be able to display it "
     "correctly.  This utility may not be able to repair this."},
    {1, "This may cause problems with live data feeds and other programs which update data files."},
    {1, "This may cause problems with live data feeds and other programs which update data files."},
    {1,
     "For non-intraday files this is not a problem, for intraday files however this can cause major "
     "problems."},
    {2,
     "Programs wil not know what type of file is being displayed, and is unlikely to be able to display the "
     "file. Repairing this error with this utility wil automatically select between Intraday and Daily file "
     "format."},
    {1, "Some programs may attempt to display instruments which do not exist."},
    {1, "Not all of the contents of the directory may be displayed in some programs."},
    {1,
     "This problem may be caused by two things, either the file is in a format which this version of the "
     "utility does not support, or the master record for this file may have been corrupted.  Using the "
     "utilty on the former type of error is very likely to cause problems with other programs."},
    {2,
     "It is unlikely that programs will be able to read files with this problem. The record size for the "
     "dat file is an invalid size.  To repair this error the utility will do its bets to determine the "
     "correct record size for the data file."},
    {2, "A serious internal error within the utility has occured."},
};
constexpr int kMasterCount = sizeof kMasterExplanations / sizeof kMasterExplanations[0];

}  // namespace

const char* GetSeverityText(int32_t level) {
  return level >= 0 && level < kSeverityCount ? kSeverities[level] : kSeverities[kSeverityCount - 1];
}

const ErrorExplanation& GetDATExplanation(int32_t code) {
  return code >= 0 && code < kDATCount ? kDATExplanations[code] : kDATExplanations[kDATCount - 1];
}

const ErrorExplanation& GetMasterExplanation(int32_t code) {
  return code >= 0 && code < kMasterCount ? kMasterExplanations[code] : kMasterExplanations[kMasterCount - 1];
}
