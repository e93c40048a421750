#include "app/instance.h"

namespace vantaro::app {
namespace {

bool isMarked(HWND window) {
  return GetPropW(window, kInstanceProperty) == reinterpret_cast<HANDLE>(kInstanceMarker);
}

BOOL CALLBACK findMarked(HWND window, LPARAM found) {
  if (!isMarked(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

BOOL CALLBACK forgetOwn(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && isMarked(window)) RemovePropW(window, kInstanceProperty);
  return TRUE;
}

}  // namespace

void MarkInstanceWindow(HWND window) {
  SetPropW(window, kInstanceProperty, reinterpret_cast<HANDLE>(kInstanceMarker));
}

HWND FindRunningInstance() {
  HWND found = nullptr;
  EnumWindows(&findMarked, reinterpret_cast<LPARAM>(&found));
  return found;
}

void ForgetInstanceMarkers() { EnumWindows(&forgetOwn, 0); }

}  // namespace vantaro::app
