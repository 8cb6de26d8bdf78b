// Copy, Move and Delete of the instruments selected in a browser.
#include <string>
#include <vector>

#include "browser/browser_dialogs.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "store/instrument_dialogs.h"
#include "winui/dialogs.h"
#include "winui/message_boxes.h"

namespace {

// The instrument lists' columns, in dialog template units: name, symbol,
// file number.
constexpr int kInstrumentTabStops[] = {100, 160};

struct InstrumentsContext {
  const char* directory;
  std::vector<MasterRecord> instruments;   // in the order they are shown and processed
  TransferKind kind = TransferKind::Copy;  // what OK does in Copy and Move; Delete has no use for it
};

void FillInstrumentList(HWND dialog, int control, const InstrumentsContext& context) {
  const HWND list = GetDlgItem(dialog, control);
  SendMessageA(list, LB_SETTABSTOPS, std::size(kInstrumentTabStops),
               reinterpret_cast<LPARAM>(kInstrumentTabStops));
  for (const MasterRecord& record : context.instruments) {
    AddListItem(list, InstrumentLine(record).c_str(), record.FileNumber());
  }
}

void InitTransfer(HWND dialog, InstrumentsContext& context) {
  SetDlgItemTextA(dialog, IDC_TRANSFER_SOURCE, context.directory);
  const HWND combo = GetDlgItem(dialog, IDC_TRANSFER_DESTINATION);
  AddPathHistory(combo);
  const std::string initial = InitialDestination(context.directory);
  if (!initial.empty()) {
    const LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(initial.c_str()));
    if (index >= 0) SendMessageA(combo, CB_SETCURSEL, index, 0);
  }
  FillInstrumentList(dialog, IDC_TRANSFER_LIST, context);
}

void OnTransferOk(HWND dialog, InstrumentsContext& context) {
  WaitCursor wait;
  const std::string destinationText = ControlText(dialog, IDC_TRANSFER_DESTINATION);
  MessageBoxInteraction ui(dialog);
  InstrumentTally tally;
  std::string destination;
  if (TransferApply(context.kind, context.directory, context.instruments, destinationText.c_str(), ui, &tally,
                    &destination) == kDialogEnds) {
    EndDialog(dialog, 1);
  }
}

void InitDelete(HWND dialog, InstrumentsContext& context) {
  SetDlgItemTextA(dialog, IDC_DELETE_DIRECTORY, context.directory);
  FillInstrumentList(dialog, IDC_DELETE_LIST, context);
}

void OnDeleteOk(HWND dialog, InstrumentsContext& context) {
  WaitCursor wait;
  MessageBoxInteraction ui(dialog);
  InstrumentTally tally;
  if (DeleteApply(context.directory, context.instruments, ui, &tally) == kDialogEnds) EndDialog(dialog, 1);
}

INT_PTR TransferDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<InstrumentsContext>{InitTransfer, OnTransferOk}.Handle(dialog, message, wParam, lParam);
}

// Selects the instruments (reporting a number that is not in master) and runs
// the dialog on them.
int RunInstrumentsDialog(HWND parent, int templateId, DLGPROC procedure, InstrumentsContext context,
                         const int16_t* fileNumbers, int count) {
  MessageBoxInteraction ui(parent);
  if (!SelectInstruments(context.directory, fileNumbers, count, ui, &context.instruments)) return 0;
  return RunDialog(parent, templateId, procedure, &context);
}

}  // namespace

INT_PTR CALLBACK CopyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return TransferDialog(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK MoveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return TransferDialog(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK DeleteDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<InstrumentsContext>{InitDelete, OnDeleteOk}.Handle(dialog, message, wParam, lParam);
}

int Copy(HWND parent, const char* directory, const int16_t* fileNumbers, int count) {
  return RunInstrumentsDialog(parent, IDD_COPY, CopyDlgProc, {directory, {}, TransferKind::Copy}, fileNumbers,
                              count);
}

int Move(HWND parent, const char* directory, const int16_t* fileNumbers, int count) {
  return RunInstrumentsDialog(parent, IDD_MOVE, MoveDlgProc, {directory, {}, TransferKind::Move}, fileNumbers,
                              count);
}

int Delete(HWND parent, const char* directory, const int16_t* fileNumbers, int count) {
  return RunInstrumentsDialog(parent, IDD_DELETE, DeleteDlgProc, {directory, {}, {}}, fileNumbers, count);
}
