// vantaro.exe: installs Android packages on a phone attached by USB.
#include <windows.h>

#include "app/installer_app.h"
#include "app/maintenance.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const wchar_t* line = commandLine ? commandLine : L"";
  int exitCode = 0;
  if (vantaro::app::RunMaintenanceCommand(line, exitCode)) return exitCode;
  return vantaro::app::InstallerApp().Run(line);
}
