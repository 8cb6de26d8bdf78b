#include "winui/window_thunk.h"

void ReportStoppedException(const char* where) noexcept {
  // There is no log; a debugger or Wine's debug channel shows this.
  OutputDebugStringA("Quorvex: an exception was stopped at a ");
  OutputDebugStringA(where);
  OutputDebugStringA("\n");
}
