// The browser's message boxes: captioned "Quorvex" and task-modal, errors and
// notices with the stop icon and OK, questions with the question icon and
// Yes/No, where only Yes goes ahead.
#pragma once

#include <windows.h>

#include "store/user_interaction.h"

// An error or notice over owner (null: no owner).
void ShowStopMessage(HWND owner, const char* text);

// The portable dialog logic's questions and notices as message boxes owned by
// one window (a dialog, or the browser).
class MessageBoxInteraction final : public UserInteraction {
 public:
  explicit MessageBoxInteraction(HWND owner) : owner_(owner) {}
  void ShowNotice(const char* text) override;
  bool AskYesNo(const char* text) override;

 private:
  HWND owner_;
};

// The wait cursor for the lifetime of the guard; the arrow cursor afterwards.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};
