#include "app/installer_app.h"

#include <windows.h>
#include <objbase.h>

#include "app/crash_filter.h"
#include "app/instance.h"
#include "app/main_window.h"
#include "app/shared_path.h"
#include "device/runner.h"
#include "ui/application.h"
#include "ui/wide.h"

namespace vantaro::app {
namespace {

std::wstring_view trimSpaces(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

int InstallerApp::Run(std::wstring_view commandLine) {
  InstallCrashFilter();
  std::string path = ui::fromWide(trimSpaces(commandLine));
  SharedPathBuffer handOver;
  if (!path.empty()) handOver.Write(path);

  if (HWND running = FindRunningInstance()) {
    PostMessageW(running, kHandOverMessage, 0, 0);
    // Asynchronous, so that a busy instance cannot hold this start up.
    ShowWindowAsync(running, SW_SHOWNORMAL);
    SetForegroundWindow(running);
    return 0;
  }

  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ui::Application application;  // the image library and the common controls
    MainWindow window(path, ProgramFolder(), handOver);
    window.runModal();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace vantaro::app
