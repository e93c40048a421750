#include "app/installer_app.h"

#include <windows.h>
#include <objbase.h>

#include "app/crash_filter.h"
#include "app/instance.h"
#include "app/main_window.h"
#include "app/shared_path.h"
#include "base/text.h"
#include "device/runner.h"
#include "ui/application.h"

namespace vantaro::app {
namespace {

std::wstring_view trimSpaces(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string PathFromWide(std::wstring_view name) {
  return wideToGbkPath(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
}

int InstallerApp::Run(std::wstring_view commandLine) {
  InstallCrashFilter();
  const std::wstring_view path = trimSpaces(commandLine);
  SharedPathBuffer handOver;

  if (HWND running = FindRunningInstance()) {
    // Only a start with a path tells the window; without one the window
    // merely comes to the front.
    if (!UnquotePath(path).empty())
      handOver.HandOver(path, [running] { return PostMessageW(running, kHandOverMessage, 0, 0) != FALSE; });
    // Asynchronous, so that a busy instance cannot hold this start up.
    ShowWindowAsync(running, SW_SHOWNORMAL);
    SetForegroundWindow(running);
    return 0;
  }
  // A path left for an instance that ended before it took it is void.
  handOver.Take();

  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ui::Application application;  // the image library and the common controls
    MainWindow window(PathFromWide(path), ProgramFolder(), handOver);
    window.runModal();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace vantaro::app
