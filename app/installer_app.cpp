#include "app/installer_app.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

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

bool isFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::vector<std::wstring> StartFiles(std::wstring_view commandLine) {
  const std::wstring_view text = trimSpaces(commandLine);
  if (text.empty()) return {};
  std::vector<std::wstring> whole{std::wstring(text)};
  if (isFile(std::wstring(UnquotePath(text)))) return whole;
  // A stand-in program name first: the shell reads the first word by
  // simpler rules.
  std::wstring line = L"vantaro " + std::wstring(text);
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(line.c_str(), &count);
  if (!arguments) return whole;
  std::vector<std::wstring> files;
  for (int i = 1; i < count; ++i)
    if (arguments[i][0] && isFile(arguments[i])) files.emplace_back(arguments[i]);
  LocalFree(arguments);
  // None of them a file: the text as given, which the window says is missing.
  return files.empty() ? whole : files;
}

std::string PathFromWide(std::wstring_view name) {
  return wideToGbkPath(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
}

int InstallerApp::Run(std::wstring_view commandLine) {
  InstallCrashFilter();
  const std::vector<std::wstring> files = StartFiles(commandLine);
  SharedPathBuffer handOver;

  if (HWND running = FindRunningInstance()) {
    // Only a start with a path tells the window; without one the window
    // merely comes to the front. Several files go over one a line.
    std::wstring paths;
    for (const std::wstring& file : files) paths += (paths.empty() ? L"" : L"\n") + file;
    auto notify = [running] { return PostMessageW(running, kHandOverMessage, 0, 0) != FALSE; };
    if (!UnquotePath(paths).empty() && !handOver.HandOver(paths, notify) && files.size() > 1)
      handOver.HandOver(files.front(), notify);  // too many to fit: the first one at least
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
    MainWindow window(files.size() == 1 ? PathFromWide(files.front()) : std::string(), ProgramFolder(), handOver);
    if (files.size() > 1) {
      std::vector<std::string> paths;
      for (const std::wstring& file : files) paths.push_back(PathFromWide(file));
      window.QueueAtStart(std::move(paths));
    }
    window.runModal();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace vantaro::app
