// The Master File Errors window: the header and the instrument records with
// defects, each defect with whether it has been repaired, Correct, the
// explanations and the saved report.
#include <memory>
#include <optional>
#include <string>

#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/master_checks.h"
#include "reports/explain_dialogs.h"
#include "reports/report_window_support.h"
#include "reports/report_windows.h"
#include "resource.h"
#include "store/messages.h"
#include "winui/app_globals.h"
#include "winui/message_boxes.h"
#include "winui/window_thunk.h"

int MasterReportWindowOpen = 0;

namespace {

using namespace report_windows;

constexpr char kTestingCaption[] = "Testing : Please Wait";
constexpr char kReportCaption[] = "Master File Errors";
constexpr char kHeaderItemText[] = "File Header";
// As wide as "Not Repaired", so that the names line up.
constexpr char kRepairedText[] = "Repaired    ";
constexpr char kNotRepairedText[] = "Not Repaired";

OpenReports openReports(MasterReportWindowOpen);

struct MasterReportState {
  std::string directory;
  ErrorListPtr errors;  // null until the test delivers it; Correct updates its repaired flags
};

HWND InstrumentList(HWND dialog) {
  return GetDlgItem(dialog, IDC_INSTRUMENT_LIST);
}
HWND ProblemList(HWND dialog) {
  return GetDlgItem(dialog, IDC_PROBLEM_LIST);
}

const MasterErrorEntry* FindEntry(const List* errors, int32_t fileNumber) {
  for (const ListNode* node = errors ? errors->first : nullptr; node != nullptr; node = node->next) {
    if (MasterEntryOf(node)->fileNumber == fileNumber) return MasterEntryOf(node);
  }
  return nullptr;
}

// "File Header", or "F%d : %s" with the instrument's name as master holds it
// now; an instrument no longer in master keeps its number and shows no name,
// as in the saved report.
std::string InstrumentText(const InstrumentNames& names, int32_t fileNumber) {
  if (fileNumber == 0) return kHeaderItemText;
  const std::string& name = names.Name(fileNumber);
  // Appended piece by piece: GCC 12 (i686, optimised) wrongly sees an
  // overlapping copy in the chain of operator+ here (-Wrestrict).
  std::string text = "F";
  text += std::to_string(fileNumber);
  text += " : ";
  text += name;
  return text;
}

void FillMasterInstrumentList(HWND dialog, const MasterReportState& state) {
  const HWND list = InstrumentList(dialog);
  ListRefill refill(list);
  const InstrumentNames names(state.directory.c_str());
  for (const ListNode* node = state.errors->first; node != nullptr; node = node->next) {
    const int32_t fileNumber = MasterEntryOf(node)->fileNumber;
    AddListItem(list, InstrumentText(names, fileNumber), fileNumber);
  }
}

// "Repaired     : <name>" or "Not Repaired : <name>", the code as item data;
// the sorted list shows the defects still to repair first.
void FillMasterProblemList(HWND dialog, const MasterReportState& state, int32_t fileNumber) {
  const HWND list = ProblemList(dialog);
  ListRefill refill(list);
  const MasterErrorEntry* entry = FindEntry(state.errors.get(), fileNumber);
  if (entry == nullptr) return;
  for (const ListNode* node = entry->defects->first; node != nullptr; node = node->next) {
    const MasterDefect* defect = MasterDefectOf(node);
    const std::string text = std::string(defect->repaired ? kRepairedText : kNotRepairedText) + " : " +
                             GetMasterError(defect->errorCode);
    AddListItem(list, text, defect->errorCode);
  }
}

std::optional<int32_t> SelectedFileNumber(HWND dialog) {
  const auto data = SelectedItemData(InstrumentList(dialog));
  if (!data) return std::nullopt;
  return static_cast<int32_t>(*data);
}

std::optional<int32_t> SelectedCode(HWND dialog) {
  const auto data = SelectedItemData(ProblemList(dialog));
  if (!data) return std::nullopt;
  return static_cast<int32_t>(*data);
}

void OnErrorListReady(HWND dialog, MasterReportState& state, List* errors) {
  state.errors.reset(errors);
  if (state.errors) {
    FillMasterInstrumentList(dialog, state);
    const HWND instruments = InstrumentList(dialog);
    SelectFirstItem(instruments);
    if (SendMessageA(instruments, LB_GETCOUNT, 0, 0) > 0) {
      FillMasterProblemList(dialog, state,
                            static_cast<int32_t>(SendMessageA(instruments, LB_GETITEMDATA, 0, 0)));
    }
  }
  SetWindowTextA(dialog, kReportCaption);
}

void OnInstrumentSelected(HWND dialog, const MasterReportState& state) {
  const auto fileNumber = SelectedFileNumber(dialog);
  if (!fileNumber) return;
  FillMasterProblemList(dialog, state, *fileNumber);
  SelectFirstItem(ProblemList(dialog));
}

void OnCorrect(HWND dialog, MasterReportState& state) {
  const auto fileNumber = SelectedFileNumber(dialog);
  const auto code = SelectedCode(dialog);
  if (!fileNumber || !code) return;
  if (IsMasterErrorRepaired(state.errors.get(), *fileNumber, *code)) {
    ShowStopMessage(dialog, GetError(kAlreadyRepairedMessage));
    return;
  }
  if (!RepairMasterError(state.directory.c_str(), *fileNumber, *code)) {
    ShowStopMessage(dialog, GetError(kRepairFailedMessage));
    return;
  }
  MarkMasterErrorRepaired(state.errors.get(), *fileNumber, *code);
  FillMasterProblemList(dialog, state, *fileNumber);
  SelectFirstItem(ProblemList(dialog));
}

void OnExplain(HWND dialog, const MasterReportState& state) {
  if (!state.errors) {
    ShowStopMessage(dialog, GetError(kSelectProblemMessage));
    return;
  }
  if (const auto code = SelectedCode(dialog)) ExplainMasterErrors(dialog, *code);
}

void OnSave(HWND dialog, const MasterReportState& state) {
  const auto fileName = AskReportFileName(dialog, state.directory);
  if (!fileName) return;
  const InstrumentNames names(state.directory.c_str());
  if (!WriteReportFile(fileName->c_str(),
                       FormatMasterErrorReport(state.directory.c_str(), state.errors.get(), names))) {
    ShowStopMessage(nullptr, GetError(kFileAccessMessage), fileName->c_str());
  }
}

void OnCommand(HWND dialog, MasterReportState& state, int id, int notification, LPARAM lParam) {
  switch (id) {
    case kErrorListReadyCommand:
      OnErrorListReady(dialog, state, reinterpret_cast<List*>(lParam));
      return;
    case IDC_EXPLAIN_ERROR:
      OnExplain(dialog, state);
      return;
    default:
      break;
  }
  // Until the list arrives Correct, Save Errors and the lists do nothing.
  if (!state.errors) return;
  switch (id) {
    case IDOK:
      OnCorrect(dialog, state);
      break;
    case IDC_SAVE_ERRORS:
      OnSave(dialog, state);
      break;
    case IDC_INSTRUMENT_LIST:
      if (notification == LBN_SELCHANGE) OnInstrumentSelected(dialog, state);
      break;
    case IDC_PROBLEM_LIST:
      if (notification == LBN_DBLCLK) OnCorrect(dialog, state);
      break;
    default:
      break;
  }
}

void OnOpened(HWND dialog, MasterReportState&) {
  openReports.Opened();
  SetWindowTextA(dialog, kTestingCaption);
}

// The list goes with the state.
void OnClosed() {
  openReports.Closed();
}

}  // namespace

INT_PTR CALLBACK ReportMasterErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModelessDialog<MasterReportState>{OnOpened, OnCommand, OnClosed}.Handle(dialog, message, wParam,
                                                                                 lParam);
}

HWND ReportMasterErrors(HWND parent, const char* directory) {
  auto state = std::make_unique<MasterReportState>();
  state->directory = directory;
  const HWND window =
      CreateModelessDialog(parent, IDD_MASTER_REPORT, ReportMasterErrorsDlgProc, std::move(state));
  if (window != nullptr) ShowReportWindow(window);
  return window;
}

int TestMasterFile(const char* directory, HWND reportWindow, const int32_t* testCodes, int testCount,
                   int repair, int prompt, int create) {
  ReportWindowTarget target(reportWindow);
  return TestMasterFile(directory, target, testCodes, testCount, repair, prompt, create);
}
