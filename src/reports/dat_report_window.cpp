// The DAT File Errors window: the faulty records of a DAT test, the problems
// of the selected record, Goto into the record editor it opens, explanations
// and the saved report.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "editor/editor_window.h"
#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "reports/explain_dialogs.h"
#include "reports/report_window_support.h"
#include "reports/report_windows.h"
#include "resource.h"
#include "store/dat_file.h"
#include "store/messages.h"
#include "winui/app_globals.h"
#include "winui/message_boxes.h"
#include "winui/window_thunk.h"

int DATReportWindowOpen = 0;

namespace {

using namespace report_windows;

constexpr char kTestingCaption[] = "Testing : Please Wait...";
constexpr char kReportCaption[] = "DAT File Errors";
constexpr char kSelectRecordAndProblemText[] =
    "Please select both a record and an associated problem and try again";
constexpr char kSelectProblemText[] = "Please select a problem and try again";

OpenReports openReports(DATReportWindowOpen);

struct DATReportState {
  std::string directory;
  int16_t fileNumber = 0;
  ErrorListPtr errors;    // null until the test delivers it
  DATReadings readings;   // filled by the test before it delivers the list
  HWND editor = nullptr;  // the record editor this report opened (or found open on its file)
};

HWND RecordList(HWND dialog) {
  return GetDlgItem(dialog, IDC_RECORD_LIST);
}
HWND ProblemList(HWND dialog) {
  return GetDlgItem(dialog, IDC_PROBLEM_LIST);
}

const DATErrorEntry* FindEntry(const List* errors, int32_t recordNumber) {
  for (const ListNode* node = errors ? errors->first : nullptr; node != nullptr; node = node->next) {
    if (DATEntryOf(node)->recordNumber == recordNumber) return DATEntryOf(node);
  }
  return nullptr;
}

std::optional<int32_t> SelectedRecord(HWND dialog) {
  const auto data = SelectedItemData(RecordList(dialog));
  if (!data) return std::nullopt;
  return static_cast<int32_t>(*data);
}

std::optional<int> SelectedColumn(HWND dialog) {
  const auto data = SelectedItemData(ProblemList(dialog));
  if (!data) return std::nullopt;
  return static_cast<int>(*data);
}

// "%08d" of each record number, so that the sorted list box shows the records
// in ascending order.
void FillDATRecordList(HWND dialog, const DATReportState& state) {
  const HWND list = RecordList(dialog);
  ListRefill refill(list);
  for (const ListNode* node = state.errors->first; node != nullptr; node = node->next) {
    const int32_t record = DATEntryOf(node)->recordNumber;
    char text[16];
    std::snprintf(text, sizeof text, "%08d", static_cast<int>(record));
    AddListItem(list, text, record);
  }
}

// One item per defect of the record, its column index as item data: corrupt
// numbers name their column ("Close : Corrupt Numbers"), the others give the
// defect's name alone.
void FillDATProblemList(HWND dialog, const DATReportState& state, int32_t recordNumber) {
  const HWND list = ProblemList(dialog);
  ListRefill refill(list);
  DATLayout layout{};
  AssignFieldTypes(&layout, state.readings.record);
  const DATErrorEntry* entry = FindEntry(state.errors.get(), recordNumber);
  if (entry == nullptr) return;
  for (const ListNode* node = entry->defects->first; node != nullptr; node = node->next) {
    const DATDefect* defect = DATDefectOf(node);
    std::string text = GetDATError(defect->errorCode);
    if (defect->errorCode == static_cast<int32_t>(DATErrorCode::CorruptNumbers)) {
      const FieldType type =
          defect->columnIndex < kMaxFields ? layout.fieldTypes[defect->columnIndex] : FieldType::None;
      text = std::string(EnumerateFieldType(type)) + " : " + text;
    }
    AddListItem(list, text, defect->columnIndex);
  }
}

// The report steers the editor already open on its file (a second editor on
// the file would be refused, the file being open for writing in the first),
// or opens one.
HWND OpenEditor(HWND dialog, const DATReportState& state) {
  if (const HWND open = FindEditWindow(MDIhwnd, state.directory.c_str(), state.fileNumber)) {
    SendMessageA(MDIhwnd, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(open), 0);
    return open;
  }
  return OpenEditWindow(dialog, MDIhwnd, hInst, state.directory.c_str(), state.fileNumber);
}

void OnErrorListReady(HWND dialog, DATReportState& state, List* errors) {
  state.errors.reset(errors);
  if (state.errors) {
    FillDATRecordList(dialog, state);
    const HWND records = RecordList(dialog);
    if (SendMessageA(records, LB_GETCOUNT, 0, 0) > 0) {
      FillDATProblemList(dialog, state, static_cast<int32_t>(SendMessageA(records, LB_GETITEMDATA, 0, 0)));
    }
    state.editor = OpenEditor(dialog, state);
    SelectFirstItem(records);
    SelectFirstItem(ProblemList(dialog));
  }
  SetWindowTextA(dialog, kReportCaption);
}

// Only the report's own editor is steered, and only while it is still open.
void GotoRecord(const DATReportState& state, int32_t recordNumber, int column = -1) {
  if (state.editor != nullptr && IsWindow(state.editor)) MoveEditWindowTo(state.editor, recordNumber, column);
}

void OnGoto(HWND dialog, const DATReportState& state) {
  const auto record = SelectedRecord(dialog);
  if (!record) return;
  GotoRecord(state, *record, SelectedColumn(dialog).value_or(-1));
}

void OnRecordDoubleClick(HWND dialog, const DATReportState& state) {
  if (const auto record = SelectedRecord(dialog)) GotoRecord(state, *record);
}

void OnProblemDoubleClick(HWND dialog, const DATReportState& state) {
  const auto record = SelectedRecord(dialog);
  const auto column = SelectedColumn(dialog);
  if (record && column) GotoRecord(state, *record, *column);
}

void OnRecordSelected(HWND dialog, const DATReportState& state) {
  const auto record = SelectedRecord(dialog);
  if (!record) return;
  FillDATProblemList(dialog, state, *record);
  SelectFirstItem(ProblemList(dialog));
}

// Two problems on one column carry the same item data; the first of them in
// the defect list is the one explained.
void OnExplain(HWND dialog, const DATReportState& state) {
  const auto record = SelectedRecord(dialog);
  if (!record) {
    ShowStopMessage(dialog, kSelectRecordAndProblemText);
    return;
  }
  const auto column = SelectedColumn(dialog);
  if (!column) {
    ShowStopMessage(dialog, kSelectProblemText);
    return;
  }
  const DATErrorEntry* entry = FindEntry(state.errors.get(), *record);
  if (entry == nullptr) return;
  for (const ListNode* node = entry->defects->first; node != nullptr; node = node->next) {
    const DATDefect* defect = DATDefectOf(node);
    if (defect->columnIndex == *column) {
      ExplainDATErrors(dialog, defect->errorCode);
      return;
    }
  }
}

void OnSave(HWND dialog, const DATReportState& state) {
  const auto fileName = AskReportFileName(dialog, state.directory);
  if (!fileName) return;
  if (!WriteReportFile(fileName->c_str(),
                       FormatDATErrorReport(state.directory.c_str(), state.errors.get(), state.readings))) {
    ShowStopMessage(nullptr, GetError(kFileAccessMessage), fileName->c_str());
  }
}

void OnCommand(HWND dialog, DATReportState& state, int id, int notification, LPARAM lParam) {
  if (id == kErrorListReadyCommand) {
    OnErrorListReady(dialog, state, reinterpret_cast<List*>(lParam));
    return;
  }
  // Until the list arrives only Close works.
  if (!state.errors) return;
  switch (id) {
    case IDOK:
      OnGoto(dialog, state);
      break;
    case IDC_EXPLAIN_ERROR:
      OnExplain(dialog, state);
      break;
    case IDC_SAVE_ERRORS:
      OnSave(dialog, state);
      break;
    case IDC_RECORD_LIST:
      if (notification == LBN_SELCHANGE) OnRecordSelected(dialog, state);
      if (notification == LBN_DBLCLK) OnRecordDoubleClick(dialog, state);
      break;
    case IDC_PROBLEM_LIST:
      if (notification == LBN_DBLCLK) OnProblemDoubleClick(dialog, state);
      break;
    default:
      break;
  }
}

void OnOpened(HWND dialog, DATReportState&) {
  openReports.Opened();
  SetWindowTextA(dialog, kTestingCaption);
}

// The list goes with the state; the editor stays open.
void OnClosed() {
  openReports.Closed();
}

}  // namespace

INT_PTR CALLBACK ReportDATErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModelessDialog<DATReportState>{OnOpened, OnCommand, OnClosed}.Handle(dialog, message, wParam,
                                                                              lParam);
}

HWND ReportDATErrors(HWND parent, const char* directory, int16_t fileNumber) {
  auto state = std::make_unique<DATReportState>();
  state->directory = directory;
  state->fileNumber = fileNumber;
  const HWND window = CreateModelessDialog(parent, IDD_DAT_REPORT, ReportDATErrorsDlgProc, std::move(state));
  if (window != nullptr) ShowReportWindow(window);
  return window;
}

int TestDataFile(const char* directory, const char* fileName, HWND reportWindow, const int32_t* testCodes,
                 int testCount, const MasterRecord& record) {
  ReportWindowTarget target(reportWindow);
  // The state outlives the test: the window can be closed only once the test
  // shows a box or hands over its list, and the readings are complete by then.
  DATReportState* state = DialogState<DATReportState>(reportWindow);
  return TestDataFile(directory, fileName, target, testCodes, testCount, record,
                      state ? &state->readings : nullptr);
}
