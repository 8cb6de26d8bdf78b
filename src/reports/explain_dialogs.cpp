#include "reports/explain_dialogs.h"

#include "integrity/dat_checks.h"
#include "integrity/explanations.h"
#include "integrity/master_checks.h"
#include "resource.h"
#include "winui/dialogs.h"

namespace {

struct Explanation {
  const char* name;
  const ErrorExplanation* record;
};

// Not a ModalDialog: Escape and the close box do nothing, OK is the way out.
INT_PTR HandleExplainMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* explanation = DialogContext<const Explanation>(dialog, message, lParam);
  if (explanation == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_EXPLAIN_PROBLEM, explanation->name);
      SetDlgItemTextA(dialog, IDC_EXPLAIN_SEVERITY, GetSeverityText(explanation->record->severity));
      SetDlgItemTextA(dialog, IDC_EXPLAIN_DETAILS, explanation->record->explanation);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

int RunExplanation(HWND owner, int templateId, DLGPROC procedure, Explanation explanation) {
  RunDialog(owner, templateId, procedure, &explanation);
  return 1;
}

}  // namespace

INT_PTR CALLBACK ExplainDATErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&] { return HandleExplainMessage(dialog, message, wParam, lParam); });
}

INT_PTR CALLBACK ExplainMasterErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&] { return HandleExplainMessage(dialog, message, wParam, lParam); });
}

int ExplainDATErrors(HWND owner, int32_t code) {
  return RunExplanation(owner, IDD_EXPLAIN_DAT, ExplainDATErrorsDlgProc,
                        {GetDATError(code), &GetDATExplanation(code)});
}

int ExplainMasterErrors(HWND owner, int32_t code) {
  return RunExplanation(owner, IDD_EXPLAIN_MASTER, ExplainMasterErrorsDlgProc,
                        {GetMasterError(code), &GetMasterExplanation(code)});
}
