// The program's message boxes and wait cursor, shared by every window:
// errors and notices with the stop icon and OK, questions with the question
// icon and Yes/No (only Yes goes ahead), all task-modal and captioned
// "Quorvex" unless a caption is given.
#pragma once

#include <windows.h>

#include <string>

#include "store/user_interaction.h"

// An error or notice over owner (null: a box without owner).
void ShowStopMessage(HWND owner, const char* text, const char* caption = nullptr);

// The portable dialog logic's questions and notices as message boxes owned by
// one window (a dialog, a browser or an editor).
class MessageBoxInteraction final : public UserInteraction {
 public:
  explicit MessageBoxInteraction(HWND owner, std::string caption = AppCaption())
      : owner_(owner), caption_(std::move(caption)) {}
  void ShowNotice(const char* text) override;
  bool AskYesNo(const char* text) override;

 private:
  static std::string AppCaption();

  HWND owner_;
  std::string caption_;
};

// The wait cursor for the lifetime of the guard; afterwards the cursor that
// was there before (the arrow when there was none), so that nested guards
// keep the wait cursor up until the outermost one ends.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};
