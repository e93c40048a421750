#pragma once
// The process-wide filter for unhandled exceptions: it tells the user that
// the program must restart, starts one fresh instance without a file, and
// lets the failing process end.

namespace vantaro::app {

void InstallCrashFilter();

}  // namespace vantaro::app
