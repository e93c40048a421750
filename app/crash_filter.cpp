#include "app/crash_filter.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "app/instance.h"
#include "app/message_box.h"

namespace vantaro::app {
namespace {

std::atomic<bool> crashing{false};
// When the crash of an earlier process started this one (GetTickCount64), or
// 0 when this process was not started by a restart.
ULONGLONG restartedAt = 0;

// The restart a crash asks for is refused when this process is itself such
// a restart from less than a minute ago: a program that fails at every start
// must not cycle. The time travels in the environment, which the restarted
// process inherits; nothing is stored anywhere.
constexpr ULONGLONG kRestartPause = 60 * 1000;

ULONGLONG ReadRestartTime() {
  wchar_t text[32] = {};
  DWORD length = GetEnvironmentVariableW(kRestartTimeVariable, text, 32);
  if (length == 0 || length >= 32) return 0;
  // Passed on to no one else: the programs this process starts (adb, a
  // setup) are no restarts.
  SetEnvironmentVariableW(kRestartTimeVariable, nullptr);
  wchar_t* end = nullptr;
  ULONGLONG value = std::wcstoull(text, &end, 10);
  return end && *end == L'\0' ? value : 0;
}

bool RestartedRecently() {
  ULONGLONG now = GetTickCount64();
  return restartedAt != 0 && restartedAt <= now && now - restartedAt < kRestartPause;
}

// The notice and the restart. Only the first failing thread gets here; one
// that fails while the notice is up waits for the process to end with it.
void NoticeAndRestart() {
  if (crashing.exchange(true)) {
    for (;;) Sleep(INFINITE);
  }
  ShowApplicationBox("很抱歉，出现点小状况，【Vantaro】需要重新启动", "出错了");
  if (RestartedRecently()) return;
  // The new instance must not take this dying one for the running instance
  // and hand itself over to it.
  ForgetInstanceMarkers();
  std::vector<wchar_t> path(32768);
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return;
  SetEnvironmentVariableW(kRestartTimeVariable, std::to_wstring(GetTickCount64()).c_str());
  ShellExecuteW(nullptr, L"open", path.data(), nullptr, nullptr, SW_SHOW);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS*) {
  NoticeAndRestart();
  return EXCEPTION_EXECUTE_HANDLER;
}

// A C++ exception that nothing catches ends in std::terminate rather than in
// the filter: it is a crash all the same.
[[noreturn]] void Terminate() {
  NoticeAndRestart();
  TerminateProcess(GetCurrentProcess(), 3);
  for (;;) Sleep(INFINITE);
}

}  // namespace

void InstallCrashFilter() {
  restartedAt = ReadRestartTime();
  SetUnhandledExceptionFilter(&CrashFilter);
  std::set_terminate(&Terminate);
}

}  // namespace vantaro::app
