#include "app/maintenance.h"

#include <windows.h>

#include "app/instance.h"
#include "settings/file_association.h"

namespace vantaro::app {
namespace {

// How long a running instance gets to close: it refuses while an install
// copies to the phone, which may take a while.
constexpr DWORD kExitWaitMilliseconds = 20000;

std::wstring_view trimmed(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

struct Dialogs {
  DWORD process;
  HWND main;
};

// Asks each other dialog of the running instance (a settings, chooser or
// essentials dialog, a message box) to close: the main window ends only
// once the dialog it runs modally has returned.
BOOL CALLBACK closeDialog(HWND window, LPARAM lParam) {
  const Dialogs& dialogs = *reinterpret_cast<const Dialogs*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[16] = {};
  if (process == dialogs.process && window != dialogs.main && IsWindowVisible(window) &&
      GetClassNameW(window, name, 16) && std::wstring_view(name) == L"#32770")
    PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// Asks the running instance to close as its own close button does (its
// dialogs first), and waits for its process to end. True when no instance
// runs (any more).
bool exitRunning() {
  const ULONGLONG deadline = GetTickCount64() + kExitWaitMilliseconds;
  auto remaining = [deadline] {
    const ULONGLONG now = GetTickCount64();
    return static_cast<DWORD>(now >= deadline ? 0 : deadline - now);
  };
  HANDLE last = nullptr;  // the process of the window last asked
  for (;;) {
    HWND window = FindRunningInstance();
    if (!window) {
      // Its window is gone, but the process may still be ending (joining its
      // workers, letting go of its files): only once it has ended can its
      // program file be replaced.
      bool ended = !last || WaitForSingleObject(last, remaining()) == WAIT_OBJECT_0;
      if (last) CloseHandle(last);
      return ended;
    }
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (last) CloseHandle(last);
    last = OpenProcess(SYNCHRONIZE, FALSE, id);
    Dialogs dialogs{id, window};
    EnumWindows(&closeDialog, reinterpret_cast<LPARAM>(&dialogs));
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (remaining() == 0) {
      if (last) CloseHandle(last);
      return false;
    }
    // A window that refuses (an install running) is asked again every
    // second until the deadline; its message line says why it stays.
    DWORD wait = remaining() < 1000 ? remaining() : 1000;
    if (!last || WaitForSingleObject(last, wait) != WAIT_OBJECT_0) {
      if (!last) Sleep(wait);
      continue;
    }
    CloseHandle(last);
    last = nullptr;
  }
}

}  // namespace

bool RunMaintenanceCommand(std::wstring_view commandLine, int& exitCode) {
  const std::wstring_view command = trimmed(commandLine);
  if (command == L"/register-types") {
    FileAssociation association;
    association.Register();
    exitCode = association.IsRegistered() ? 0 : 1;
  } else if (command == L"/unregister-types") {
    FileAssociation association;
    association.Unregister();
    exitCode = 0;
  } else if (command == L"/exit-running") {
    exitCode = exitRunning() ? 0 : 1;
  } else {
    return false;
  }
  return true;
}

}  // namespace vantaro::app
