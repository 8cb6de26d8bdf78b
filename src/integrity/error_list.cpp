#include "integrity/error_list.h"

#include <cstddef>

// KillErrorList reads every entry as a DATErrorEntry: both kinds must keep the
// key and the defect list at the same places.
static_assert(sizeof(DATErrorEntry) == sizeof(MasterErrorEntry));
static_assert(offsetof(DATErrorEntry, defects) == offsetof(MasterErrorEntry, defects));

namespace {

template <typename Entry, typename Defect>
int AddDefect(const Defect& defect, Entry* entry) {
  if (entry->defects == nullptr) {
    entry->defects = CreateList();
    if (entry->defects == nullptr) return 0;
  }
  return AddItem(entry->defects, &defect, static_cast<int16_t>(sizeof defect));
}

}  // namespace

int AddDATError(uint8_t columnIndex, int32_t errorCode, DATErrorEntry* entry) {
  return AddDefect(DATDefect{columnIndex, errorCode}, entry);
}

int AddMasterError(int32_t errorCode, int32_t repaired, MasterErrorEntry* entry) {
  return AddDefect(MasterDefect{errorCode, repaired}, entry);
}

int KillErrorList(List* errorList) {
  if (errorList == nullptr) return 0;
  const int held = ListEmpty(errorList) ? 0 : 1;
  for (const ListNode* node = errorList->first; node != nullptr; node = node->next) {
    DATErrorEntry* entry = DATEntryOf(node);
    if (entry->defects != nullptr) KillList(entry->defects);
  }
  KillList(errorList);
  return held;
}
