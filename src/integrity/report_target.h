// Where a DAT or master test delivers its result. The Windows program's two
// report windows implement it (ErrorListReady and Close become the window's
// WM_COMMAND 101 and WM_CLOSE, the notices and questions message boxes owned by
// the window); qvx and the tests implement it too.
//
// A test ends in exactly one of two ways: it hands over a non-empty ErrorList
// with ErrorListReady, or it shows a notice ("No Errors Found", or the text of
// a failure) and then calls Close.
#pragma once

#include "primitives/list.h"
#include "store/user_interaction.h"

// The command id with which a report window receives its ErrorList.
inline constexpr int kErrorListReadyCommand = 101;

// The notice of a test that found nothing.
inline constexpr const char* kNoErrorsFoundText = "No Errors Found";

class ReportTarget : public UserInteraction {
 public:
  // The test's findings. The target owns the list from this call on and frees
  // it with KillErrorList; the test does not touch it again.
  virtual void ErrorListReady(List* errorList) = 0;
  // The test found nothing or failed; the report is not wanted any more.
  virtual void Close() = 0;
};
