// vantaro.exe with one test-only addition: when the event
// "Local\Vantaro.TestCrash.<process id>" is signalled, a thread of the
// program fails with an access violation that nothing handles.
#include <windows.h>

#include <string>

#include "app/installer_app.h"

namespace {

DWORD WINAPI FailWhenSignalled(void* event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  std::wstring name = L"Local\\Vantaro.TestCrash." + std::to_wstring(GetCurrentProcessId());
  if (HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str()))
    CloseHandle(CreateThread(nullptr, 0, &FailWhenSignalled, event, 0, nullptr));
  return vantaro::app::InstallerApp().Run(commandLine ? commandLine : L"");
}
