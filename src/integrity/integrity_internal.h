// Internal to the DAT and master tests: the way a test ends.
#pragma once

#include "integrity/error_list.h"
#include "integrity/report_target.h"

namespace integrity_detail {

// A failure or an empty result: the notice, then the report closes.
inline void CloseWithNotice(ReportTarget& report, const char* text) {
  report.ShowNotice(text);
  report.Close();
}

// Hands a non-empty list to the report, or says that nothing was found.
inline void Deliver(ReportTarget& report, ErrorListPtr errors) {
  if (ListEmpty(errors.get())) {
    CloseWithNotice(report, kNoErrorsFoundText);
    return;
  }
  report.ErrorListReady(errors.release());
}

}  // namespace integrity_detail
