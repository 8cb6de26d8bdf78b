#include "shell/remote_requests.h"

#include "reports/report_windows.h"
#include "shell/shell_globals.h"
#include "store/file_names.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "winui/message_boxes.h"

int RegisterRemoteMessages() {
  UtilInit = RegisterWindowMessageA(kUtilInitName);
  UtilLoad = RegisterWindowMessageA(kUtilLoadName);
  UtilTestDAT = RegisterWindowMessageA(kUtilTestDATName);
  UtilTestMaster = RegisterWindowMessageA(kUtilTestMasterName);
  UtilClose = RegisterWindowMessageA(kUtilCloseName);
  AllowRemoteFunctionEvoke =
      UtilInit != 0 && UtilLoad != 0 && UtilTestDAT != 0 && UtilTestMaster != 0 && UtilClose != 0 ? 1 : 0;
  return AllowRemoteFunctionEvoke;
}

bool AnswerRegisteredMessage(HWND frame, UINT message, LRESULT& result) {
  if (AllowRemoteFunctionEvoke == 0) return false;
  if (message == UtilTestDAT) {
    FrameRemoteTestHost host(frame);
    result = AnswerRemoteDATTest(UtilityCommandLine, host);
    return true;
  }
  if (message == UtilTestMaster) {
    FrameRemoteTestHost host(frame);
    result = AnswerRemoteMasterTest(UtilityCommandLine, host);
    return true;
  }
  return false;
}

void FrameRemoteTestHost::ShowError(int messageNumber) {
  ShowStopMessage(nullptr, GetError(messageNumber));
}

void FrameRemoteTestHost::ShowPath(const std::string& directory) {
  ShowStopMessage(nullptr, directory.c_str());
}

void FrameRemoteTestHost::PostClose() {
  PostMessageA(frame_, WM_CLOSE, 0, 0);
}

bool FrameRemoteTestHost::ReadMasterRecord(const std::string& directory, int fileNumber,
                                           MasterRecord& record) {
  return GetMetaStockMasterRecord(directory.c_str(), fileNumber, &record) != 0;
}

void FrameRemoteTestHost::RunDATTest(const std::string& directory, int fileNumber,
                                     std::span<const int32_t> tests, const MasterRecord& record) {
  RunRemoteDATTest(frame_, directory, fileNumber, tests, record);
}

void FrameRemoteTestHost::RunMasterTest(const std::string& directory, std::span<const int32_t> tests) {
  RunRemoteMasterTest(frame_, directory, tests);
}

void RunRemoteDATTest(HWND frame, const std::string& directory, int fileNumber,
                      std::span<const int32_t> tests, const MasterRecord& record) {
  const HWND report = ReportDATErrors(frame, directory.c_str(), static_cast<int16_t>(fileNumber));
  if (report == nullptr) return;
  {
    WaitCursor wait;
    TestDataFile(directory.c_str(), DATFileName("", fileNumber).c_str(), report, tests.data(),
                 static_cast<int>(tests.size()), record);
  }
  DispatchMessagesWhileOpen(DATReportWindowOpen);
}

void RunRemoteMasterTest(HWND frame, const std::string& directory, std::span<const int32_t> tests) {
  const HWND report = ReportMasterErrors(frame, directory.c_str());
  if (report == nullptr) return;
  {
    WaitCursor wait;
    TestMasterFile(directory.c_str(), report, tests.data(), static_cast<int>(tests.size()), 0, 0, 0);
  }
  DispatchMessagesWhileOpen(MasterReportWindowOpen);
}

void DispatchMessagesWhileOpen(const int& open) {
  MSG message;
  while (open != 0) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      // A message sent from another thread or program (WM_CLOSE to the
      // report, say) is handled inside PeekMessageA, which then reports an
      // empty queue: look at the flag again before sleeping, and wake for
      // anything already waiting, not only for what arrives later.
      if (open != 0) MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      continue;
    }
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
