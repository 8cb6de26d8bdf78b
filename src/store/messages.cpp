#include "store/messages.h"

namespace {

// Shown exactly as written, spelling included.
constexpr const char* kMessages[kMessageCount] = {
    "An unknown error occurred!",
    "Unable to allocate memory! Cannot continue this operation.",
    "File is read only or has been opened by another process, check permissions for this file and/or "
    "close the file in any applications that are using it.",
    "The path specified was not valid.",
    "An error occured whilst selecting instruments.",
    "This \"feature\" is not yet ready!",
    "Please select ONLY one instrument and try again.",
    "Please select AT LEAST one instrument and try again.",
    "Please select AT LEAST one record and try again.",
    "Unable to edit files of this format.",
    "Please select ONLY one record and try again.",
    "Please select AT LEAST one test to perform and try again.",
    "The instrument specified was invalid.",
    "A bad command line was specified!",
    "Unable to insert file, the directory is already full!",
    "This error has already been repaired",
    "Repair Unsuccessfull",
    "An invalid date was specified!",
    "An invalid time was specified!",
    "Unable to create directory, either the path specified was invalid or you may not have the "
    "appropriate rights to do this!",
    "This directory does not exist, do you want to attempt to create it ?",
    "Please select a problem to explain and then try again.",
    "File does not exist!",
};

}  // namespace

const char* GetError(int number) {
  if (number < 0 || number >= kMessageCount) return kMessages[0];
  return kMessages[number];
}
