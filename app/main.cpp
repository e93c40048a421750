// vantaro.exe: installs Android packages on a phone attached by USB.
#include <windows.h>

#include "app/installer_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  return vantaro::app::InstallerApp().Run(commandLine ? commandLine : L"");
}
