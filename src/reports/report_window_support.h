// What the two report windows share: their placement, the Save dialog, the
// count of open reports, and the ReportTarget that turns a test's results
// into messages to a report window.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "integrity/error_list.h"
#include "integrity/report_target.h"
#include "winui/dialogs.h"

namespace report_windows {

// Shows a report window (created hidden) at the top right of its owner's
// client area, where it leaves the record editors room, and paints it at
// once: the test that runs next pumps no messages.
void ShowReportWindow(HWND report);

// Runs the system Save dialog of the error reports, owned by owner: text and
// all-files filters, default extension "txt", the data directory as initial
// directory, overwrite and create prompts. The chosen file name, or nothing
// when the user cancelled or the dialog failed.
std::optional<std::string> AskReportFileName(HWND owner, const std::string& directory);

// A test's results as messages to a report window: ErrorListReady becomes
// WM_COMMAND 101 with the list as long parameter, Close a WM_CLOSE, notices
// and questions message boxes owned by the window. A window that is gone by
// the time the list is ready cannot take it: the list is then freed here.
class ReportWindowTarget : public ReportTarget {
 public:
  explicit ReportWindowTarget(HWND report) : report_(report) {}

  void ErrorListReady(List* errorList) override;
  void Close() override;
  void ShowNotice(const char* text) override;
  bool AskYesNo(const char* text) override;

 private:
  HWND Owner() const;
  HWND report_;
};

// The report windows of one kind that are open: their flag
// (DATReportWindowOpen, MasterReportWindowOpen) stays 1 while any of them is,
// so that closing one report does not end a remote request waiting on
// another.
class OpenReports {
 public:
  explicit OpenReports(int& flag) : flag_(flag) {}
  void Opened() {
    ++count_;
    flag_ = 1;
  }
  void Closed() {
    --count_;
    flag_ = count_ > 0 ? 1 : 0;
  }

 private:
  int& flag_;
  int count_ = 0;
};

}  // namespace report_windows
