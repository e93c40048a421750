#include "app/crash_filter.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <exception>
#include <vector>

#include "app/instance.h"
#include "app/message_box.h"

namespace vantaro::app {
namespace {

std::atomic<bool> crashing{false};

// The notice and the restart. Only the first failing thread gets here; one
// that fails while the notice is up waits for the process to end with it.
void NoticeAndRestart() {
  if (crashing.exchange(true)) {
    for (;;) Sleep(INFINITE);
  }
  ShowApplicationBox("很抱歉，出现点小状况，【Vantaro】需要重新启动", "出错了");
  // The new instance must not take this dying one for the running instance
  // and hand itself over to it.
  ForgetInstanceMarkers();
  std::vector<wchar_t> path(32768);
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length > 0 && length < path.size())
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
  SetUnhandledExceptionFilter(&CrashFilter);
  std::set_terminate(&Terminate);
}

}  // namespace vantaro::app
