// Answers the message boxes and dialogs that the code under test opens on
// this thread, by their exact captions and texts. A WH_CBT hook sees each
// dialog (class "#32770") as it is activated and posts a zero-delay timer;
// the timer, running inside the dialog's own modal loop, reads the dialog and
// answers it. Each window is handled once (a dialog is activated again when a
// nested box closes).
//
// A dialog that matches no expectation fails the test, naming its caption and
// text, and is closed (Cancel, No or OK, whichever it has). Expectations still
// open when the responder ends fail the test too.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace gui_harness {

struct SeenDialog {
  std::string caption;
  std::string text;  // a message box's text; empty for other dialogs
};

// A message box's text (its static control 0xFFFF).
std::string MessageBoxText(HWND box);
std::string WindowText(HWND window);

class DialogResponder {
 public:
  DialogResponder();
  ~DialogResponder();
  DialogResponder(const DialogResponder&) = delete;
  DialogResponder& operator=(const DialogResponder&) = delete;

  // The next dialog must be a message box with this text and caption; the
  // button (IDOK, IDYES, IDNO ...) is pressed.
  DialogResponder& Expect(const std::string& text, int button, const std::string& caption = "Quorvex");
  // The next dialog must have this caption; action gets its window (to read
  // it, and to close it).
  DialogResponder& ExpectDialog(const std::string& caption, std::function<void(HWND)> action);

  // Dialogs of the code under test that answer nothing (modeless windows
  // such as reports, activated again whenever a box over them closes) are
  // left alone when they have this caption as they are looked at.
  DialogResponder& IgnoreCaption(const std::string& caption) {
    ignoredCaptions_.insert(caption);
    return *this;
  }

  const std::vector<SeenDialog>& Seen() const { return seen_; }
  size_t Outstanding() const { return expectations_.size(); }

 private:
  struct Expectation {
    std::string caption;
    std::string text;
    bool isMessageBox;
    int button;
    std::function<void(HWND)> action;
  };

  static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR timer, DWORD);
  void Answer(HWND dialog);

  static DialogResponder* active_;
  HHOOK hook_ = nullptr;
  std::deque<Expectation> expectations_;
  std::deque<HWND> queued_;
  std::set<HWND> handled_;
  std::set<std::string> ignoredCaptions_;
  std::vector<SeenDialog> seen_;
};

// Presses a dialog's button by posting BM_CLICK to it; false when it has no
// such button.
bool PressButton(HWND dialog, int button);
// Closes a dialog by the first of Cancel, No, OK that it has.
void CloseDialog(HWND dialog);

}  // namespace gui_harness
