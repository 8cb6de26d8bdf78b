// How the portable core reaches a person: the Windows program answers with
// task-modal message boxes captioned "Quorvex", qvx on the terminal or from its
// option flags, tests from a script.
#pragma once

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;
  // An error or notice (stop icon, OK).
  virtual void ShowNotice(const char* text) = 0;
  // A Yes/No question (question icon); only Yes goes ahead.
  virtual bool AskYesNo(const char* text) = 0;
};
