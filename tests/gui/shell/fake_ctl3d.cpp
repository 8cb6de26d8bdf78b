// A stand-in for the 3-D control library. FAKE_CTL3D_ACCEPTS selects whether
// Ctl3dRegister agrees; FakeCtl3dCalls tells the test which exports were
// called, in order ("R" register, "A" auto-subclass, "U" unregister).
#include <windows.h>

#include <string>

namespace {
std::string calls;
}

extern "C" __declspec(dllexport) BOOL WINAPI Ctl3dRegister(HINSTANCE) {
  calls += "R";
  return FAKE_CTL3D_ACCEPTS ? TRUE : FALSE;
}

extern "C" __declspec(dllexport) BOOL WINAPI Ctl3dAutoSubclass(HINSTANCE) {
  calls += "A";
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI Ctl3dUnregister(HINSTANCE) {
  calls += "U";
  return TRUE;
}

extern "C" __declspec(dllexport) const char* FakeCtl3dCalls() {
  return calls.c_str();
}
