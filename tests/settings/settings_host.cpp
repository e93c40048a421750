// Test host of the settings dialog and the file association (tests only;
// never shipped). Honours VANTARO_TEST_REGISTRY (see test_registry.h).
//
//   settings-host dialog [TEMP-FOLDER]   runs the dialog; downloads go to TEMP-FOLDER,
//                                        and "重新安装" leaves "reinstall.opened" there
//   settings-host register               registers this program file for ".apk"
//   settings-host is-registered          exit code 0 when registered, 1 when not
//
// Exit code 3: the test registry could not be mapped; 2: usage.

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "settings/file_association.h"
#include "settings/settings_dialog.h"
#include "tests/settings/test_registry.h"
#include "ui/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (!vantaro::settingstest::MapRegistryFromEnvironment()) return 3;

  vantaro::FileAssociation association;
  if (command == L"register") {
    association.Register();
    return 0;
  }
  if (command == L"is-registered") return association.IsRegistered() ? 0 : 1;
  if (command != L"dialog") return 2;

  if (argc > 2) {
    SetEnvironmentVariableW(L"TMP", argv[2]);
    SetEnvironmentVariableW(L"TEMP", argv[2]);
  }
  std::wstring temp = argc > 2 ? argv[2] : L"";
  vantaro::ui::Application application;
  vantaro::RunSettingsDialog(nullptr, [temp](HWND owner) {
    HANDLE marker = CreateFileW((temp + L"\\reinstall.opened").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  });
  return 0;
}
