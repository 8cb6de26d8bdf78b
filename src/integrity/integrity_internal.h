// Internal to the DAT and master tests: owning handles for their lists and
// buffers, and the way a test ends.
#pragma once

#include <memory>

#include "integrity/error_list.h"
#include "integrity/report_target.h"
#include "primitives/memory.h"

namespace integrity_detail {

struct ErrorListKiller {
  void operator()(List* list) const { KillErrorList(list); }
};
// An ErrorList the test still owns.
using ErrorListPtr = std::unique_ptr<List, ErrorListKiller>;

struct DefectListKiller {
  void operator()(List* list) const { KillList(list); }
};
// The defect list of the entry being built, until the entry joins the list.
using DefectListPtr = std::unique_ptr<List, DefectListKiller>;

struct BlockFreer {
  void operator()(void* block) const { MemDeAllocate(block); }
};
using BlockPtr = std::unique_ptr<unsigned char, BlockFreer>;

inline BlockPtr AllocateBlock(size_t size) {
  return BlockPtr(static_cast<unsigned char*>(MemAllocate(size)));
}

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
