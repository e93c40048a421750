#pragma once
// The process-wide filter for unhandled exceptions: it tells the user that
// the program must restart, starts one fresh instance without a file, and
// lets the failing process end. A process that was itself started by such a
// restart less than a minute before it fails is not restarted again.

namespace vantaro::app {

// The environment variable that hands the restart's time (GetTickCount64,
// decimal) to the restarted process.
inline constexpr wchar_t kRestartTimeVariable[] = L"VANTARO_RESTARTED_AT";

void InstallCrashFilter();

}  // namespace vantaro::app
