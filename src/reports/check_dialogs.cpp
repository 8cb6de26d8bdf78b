#include "reports/check_dialogs.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "filelayer/file_layer.h"
#include "integrity/dat_checks.h"
#include "integrity/master_checks.h"
#include "primitives/memory.h"
#include "reports/report_windows.h"
#include "resource.h"
#include "store/directory_instruments.h"
#include "store/file_names.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "winui/dialogs.h"
#include "winui/message_boxes.h"

namespace {

constexpr char kUnknownInstrumentText[] = "Unable to find Instrument";

struct DATDialogInputs {
  HWND parent;
  const char* directory;
  int16_t fileNumber;
  DirectoryInstrument instrument;
};

struct MasterDialogInputs {
  HWND parent;
  const char* directory;
};

// The test codes of the selected items, in list order: the codes go into a
// zero-filled block (a failed allocation says so), the positions of the
// selected items are read into it and each is replaced by its item's code.
class SelectedTests {
 public:
  // Shows the dialog's message and leaves Ok() false when nothing is selected
  // or the selection cannot be read.
  explicit SelectedTests(HWND dialog) : list_(GetDlgItem(dialog, IDC_TEST_LIST)) {
    const LRESULT selected = SendMessageA(list_, LB_GETSELCOUNT, 0, 0);
    if (selected <= 0) {
      ShowStopMessage(dialog, GetError(kSelectAtLeastOneTestMessage));
      return;
    }
    codes_ = AllocateBlock<int32_t>(static_cast<size_t>(selected));
    if (!codes_) {
      ShowStopMessage(dialog, GetError(kOutOfMemoryMessage));
      return;
    }
    static_assert(sizeof(int) == sizeof(int32_t), "LB_GETSELITEMS fills ints");
    if (SendMessageA(list_, LB_GETSELITEMS, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(codes_.get())) != selected) {
      ShowStopMessage(dialog, GetError(kUnknownErrorMessage));
      return;
    }
    count_ = static_cast<int>(selected);
  }

  bool Ok() const { return count_ > 0; }
  int Count() const { return count_; }

  // Replaces each position by its item's test code; the codes.
  const int32_t* Codes() {
    int32_t* codes = codes_.get();
    if (!converted_) {
      for (int i = 0; i < count_; ++i) {
        codes[i] =
            static_cast<int32_t>(SendMessageA(list_, LB_GETITEMDATA, static_cast<WPARAM>(codes[i]), 0));
      }
      converted_ = true;
    }
    return codes;
  }

 private:
  HWND list_;
  BlockPtr<int32_t> codes_;
  int count_ = 0;
  bool converted_ = false;
};

void AddTests(HWND dialog, int count, const char* (*name)(int32_t)) {
  const HWND list = GetDlgItem(dialog, IDC_TEST_LIST);
  for (int32_t code = 0; code < count; ++code) AddListItem(list, name(code), code);
}

void OnDATOk(HWND dialog, DATDialogInputs& inputs) {
  SelectedTests tests(dialog);
  if (!tests.Ok()) return;
  const HWND report = ReportDATErrors(inputs.parent, inputs.directory, inputs.fileNumber);
  if (report == nullptr) {
    ShowStopMessage(dialog, GetError(kUnknownErrorMessage));
  } else {
    WaitCursor wait;
    const std::string fileName = inputs.instrument.dataFileName.substr(std::strlen(inputs.directory));
    TestDataFile(inputs.directory, fileName.c_str(), report, tests.Codes(), tests.Count(),
                 inputs.instrument.layout);
  }
  EndDialog(dialog, 1);
}

void InitDAT(HWND dialog, DATDialogInputs& inputs) {
  SetDlgItemTextA(dialog, IDC_TEST_FILE, inputs.instrument.layout.Name().c_str());
  AddTests(dialog, kDATTestCount, GetDATError);
}

void OnMasterOk(HWND dialog, MasterDialogInputs& inputs) {
  SelectedTests tests(dialog);
  if (!tests.Ok()) return;
  if (!Exists(MasterFileName(inputs.directory).c_str())) {
    ShowStopMessage(dialog, GetError(kNoSuchFileMessage));
    EndDialog(dialog, 0);
    return;
  }
  const HWND report = ReportMasterErrors(inputs.parent, inputs.directory);
  if (report == nullptr) {
    ShowStopMessage(dialog, GetError(kUnknownErrorMessage));
  } else {
    const int repair = IsChecked(dialog, IDC_TEST_REPAIR);
    const int prompt = IsChecked(dialog, IDC_TEST_PROMPT);
    const int create = IsChecked(dialog, IDC_TEST_CREATE_FILES);
    WaitCursor wait;
    TestMasterFile(inputs.directory, report, tests.Codes(), tests.Count(), repair, prompt, create);
  }
  EndDialog(dialog, 1);
}

void InitMaster(HWND dialog, MasterDialogInputs& inputs) {
  SetDlgItemTextA(dialog, IDC_TEST_FILE, inputs.directory);
  AddTests(dialog, kMasterTestCount, GetMasterError);
  CheckDlgButton(dialog, IDC_TEST_CREATE_FILES, BST_CHECKED);
}

}  // namespace

INT_PTR CALLBACK TestDATDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<DATDialogInputs>{InitDAT, OnDATOk}.Handle(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK TestMasterDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<MasterDialogInputs>{InitMaster, OnMasterOk}.Handle(dialog, message, wParam, lParam);
}

int TestDAT(HWND parent, const char* directory, int16_t fileNumber) {
  std::optional<DirectoryInstrument> listed = FindDirectoryInstrument(directory, fileNumber);
  if (!listed) {
    ShowStopMessage(parent, kUnknownInstrumentText);
    return 0;
  }
  DATDialogInputs inputs{parent, directory, fileNumber, std::move(*listed)};
  RunDialog(parent, IDD_TEST_DAT, TestDATDlgProc, &inputs);
  return 1;
}

int TestMaster(HWND parent, const char* directory) {
  MasterDialogInputs inputs{parent, directory};
  RunDialog(parent, IDD_TEST_MASTER, TestMasterDlgProc, &inputs);
  return 0;
}
