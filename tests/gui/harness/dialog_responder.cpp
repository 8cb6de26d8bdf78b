#include "harness/dialog_responder.h"

#include <gtest/gtest.h>

namespace gui_harness {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

bool IsDialogWindow(HWND window) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof(className));
  return std::string(className) == "#32770";
}

}  // namespace

DialogResponder* DialogResponder::active_ = nullptr;

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string MessageBoxText(HWND box) {
  char text[2048] = {};
  GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof(text));
  return text;
}

bool PressButton(HWND dialog, int button) {
  const HWND control = GetDlgItem(dialog, button);
  if (control == nullptr) return false;
  PostMessageA(control, BM_CLICK, 0, 0);
  return true;
}

void CloseDialog(HWND dialog) {
  for (int button : {IDCANCEL, IDNO, IDOK}) {
    if (PressButton(dialog, button)) return;
  }
  PostMessageA(dialog, WM_CLOSE, 0, 0);
}

DialogResponder::DialogResponder() {
  active_ = this;
  hook_ = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  if (hook_ == nullptr) ADD_FAILURE() << "the dialog responder's WH_CBT hook could not be installed";
}

DialogResponder::~DialogResponder() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  active_ = nullptr;
  for (const auto& e : expectations_) {
    ADD_FAILURE() << "this dialog never appeared: caption \"" << e.caption << "\""
                  << (e.isMessageBox ? ", text \"" + e.text + "\"" : std::string());
  }
}

DialogResponder& DialogResponder::Expect(const std::string& text, int button, const std::string& caption) {
  expectations_.push_back({caption, text, true, button, nullptr});
  return *this;
}

DialogResponder& DialogResponder::ExpectDialog(const std::string& caption, std::function<void(HWND)> action) {
  expectations_.push_back({caption, "", false, 0, std::move(action)});
  return *this;
}

LRESULT CALLBACK DialogResponder::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  DialogResponder* self = active_;
  if (self != nullptr && code == HCBT_ACTIVATE) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (IsDialogWindow(window) && self->handled_.insert(window).second) {
      self->queued_.push_back(window);
      SetTimer(nullptr, 0, 0, TimerProc);
    }
  }
  return CallNextHookEx(self != nullptr ? self->hook_ : nullptr, code, wParam, lParam);
}

void CALLBACK DialogResponder::TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  DialogResponder* self = active_;
  if (self == nullptr) return;
  while (!self->queued_.empty()) {
    const HWND dialog = self->queued_.front();
    self->queued_.pop_front();
    if (IsWindow(dialog)) self->Answer(dialog);
  }
}

void DialogResponder::Answer(HWND dialog) {
  SeenDialog seen{WindowText(dialog), MessageBoxText(dialog)};
  if (ignoredCaptions_.count(seen.caption) != 0) return;
  seen_.push_back(seen);
  if (!expectations_.empty()) {
    Expectation& next = expectations_.front();
    const bool matches = next.caption == seen.caption && (!next.isMessageBox || next.text == seen.text);
    if (matches) {
      Expectation taken = std::move(next);
      expectations_.pop_front();
      if (taken.isMessageBox) {
        if (!PressButton(dialog, taken.button)) {
          ADD_FAILURE() << "the box \"" << seen.text << "\" has no button " << taken.button;
          CloseDialog(dialog);
        }
      } else {
        taken.action(dialog);
      }
      return;
    }
  }
  ADD_FAILURE() << "unexpected dialog: caption \"" << seen.caption << "\", text \"" << seen.text << "\""
                << (expectations_.empty() ? std::string(" (none expected)")
                                          : ", expected caption \"" + expectations_.front().caption +
                                                "\", text \"" + expectations_.front().text + "\"");
  CloseDialog(dialog);
}

}  // namespace gui_harness
