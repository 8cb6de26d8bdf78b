#include "browser/pending_test_dialogs.h"

#include "browser/message_boxes.h"
#include "integrity/messages.h"

namespace {

constexpr int kNotReadyMessage = 5;

}  // namespace

int TestDAT(HWND parent, const char*, int16_t) {
  ShowStopMessage(parent, GetError(kNotReadyMessage));
  return 0;
}

int TestMaster(HWND parent, const char*) {
  ShowStopMessage(parent, GetError(kNotReadyMessage));
  return 0;
}
