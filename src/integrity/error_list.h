// The ErrorList that the DAT and master tests build and the report windows
// own: a List of entries, each a 32-bit key (a data record number, or a file
// number with 0 for the master header) followed by a List of defects.
//
// Entries and defects are added with AddItem, which inserts at the front: a
// list runs from the last faulty record back to the first, and each defect
// list from the last defect found back to the first. The reports walk the
// entries from the back to show them in file order.
#pragma once

#include <cstdint>
#include <memory>

#include "primitives/list.h"

// One faulty data record of a DAT test.
struct DATErrorEntry {
  int32_t recordNumber;  // data records counted from 0 after the header
  List* defects;         // of DATDefect; never null in an entry of an ErrorList
};

struct DATDefect {
  uint8_t columnIndex;  // the column's position in the record
  int32_t errorCode;    // DATErrorCode
};

// The header (fileNumber 0) or a faulty instrument record of a master test.
struct MasterErrorEntry {
  int32_t fileNumber;
  List* defects;  // of MasterDefect; never null in an entry of an ErrorList
};

struct MasterDefect {
  int32_t errorCode;  // MasterErrorCode
  int32_t repaired;   // 1 once repaired, by the test or by a later correction
};

// 1 when the defect went to the front of the entry's defect list (created when
// still null), 0 when memory ran out.
int AddDATError(uint8_t columnIndex, int32_t errorCode, DATErrorEntry* entry);
int AddMasterError(int32_t errorCode, int32_t repaired, MasterErrorEntry* entry);

// Frees every entry's defect list and then the list; null is fine. 1 when the
// list held at least one entry, else 0. Serves DAT and master lists alike.
int KillErrorList(List* errorList);

// An ErrorList owned by one scope (a test building it, a report holding it).
struct ErrorListDeleter {
  void operator()(List* errorList) const { KillErrorList(errorList); }
};
using ErrorListPtr = std::unique_ptr<List, ErrorListDeleter>;

// The entry item stored in a node of an ErrorList, for reading and for the
// in-place updates of the repaired flags.
inline DATErrorEntry* DATEntryOf(const ListNode* node) {
  return static_cast<DATErrorEntry*>(node->item);
}
inline MasterErrorEntry* MasterEntryOf(const ListNode* node) {
  return static_cast<MasterErrorEntry*>(node->item);
}
inline DATDefect* DATDefectOf(const ListNode* node) {
  return static_cast<DATDefect*>(node->item);
}
inline MasterDefect* MasterDefectOf(const ListNode* node) {
  return static_cast<MasterDefect*>(node->item);
}
