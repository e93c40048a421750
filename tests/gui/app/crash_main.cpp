// vantaro.exe with two test-only additions (never shipped):
// - when the event "Local\Vantaro.TestCrash.<process id>" is signalled, a
//   thread of the program fails with an access violation that nothing
//   handles;
// - with the environment variable VANTARO_TEST_CRASH_AT_START set, every
//   start fails that way as soon as its main window is up.
#include <windows.h>

#include <string>

#include "app/installer_app.h"
#include "app/instance.h"

namespace {

DWORD WINAPI FailWhenSignalled(void* event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
  return 0;
}

DWORD WINAPI FailWhenShown(void*) {
  for (;;) {
    HWND window = vantaro::app::FindRunningInstance();
    DWORD process = 0;
    if (window) GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) break;
    Sleep(50);
  }
  RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  std::wstring name = L"Local\\Vantaro.TestCrash." + std::to_wstring(GetCurrentProcessId());
  if (HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str()))
    CloseHandle(CreateThread(nullptr, 0, &FailWhenSignalled, event, 0, nullptr));
  if (GetEnvironmentVariableW(L"VANTARO_TEST_CRASH_AT_START", nullptr, 0) > 0)
    CloseHandle(CreateThread(nullptr, 0, &FailWhenShown, nullptr, 0, nullptr));
  return vantaro::app::InstallerApp().Run(commandLine ? commandLine : L"");
}
