#include "reports/explain_dialogs.h"

#include "integrity/dat_checks.h"
#include "integrity/explanations.h"
#include "integrity/master_checks.h"
#include "resource.h"
#include "winui/app_globals.h"
#include "winui/window_thunk.h"

namespace {

struct Explanation {
  const char* name;
  const ErrorExplanation* record;
};

INT_PTR HandleExplainMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* explanation = reinterpret_cast<const Explanation*>(lParam);
      SetDlgItemTextA(dialog, IDC_EXPLAIN_PROBLEM, explanation->name);
      SetDlgItemTextA(dialog, IDC_EXPLAIN_SEVERITY, GetSeverityText(explanation->record->severity));
      SetDlgItemTextA(dialog, IDC_EXPLAIN_DETAILS, explanation->record->explanation);
      return TRUE;
    }
    case WM_COMMAND:
      // Escape and the close box do nothing: OK is the way out.
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

int RunExplanation(HWND owner, int templateId, DLGPROC procedure, const Explanation& explanation) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(templateId), owner, procedure,
                  reinterpret_cast<LPARAM>(&explanation));
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
