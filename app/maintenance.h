#pragma once
// The commands the setup and the uninstaller give vantaro.exe instead of a
// package path, so that they use the program's own code:
//   /register-types    makes this program file the handler of the package
//                      types (as "一键修复" does)
//   /unregister-types  takes that back where it still names this file
//   /exit-running      asks a running instance to close and waits for it
// Each runs without a window and ends the process.

#include <string_view>

namespace vantaro::app {

// Runs the command when commandLine (spaces around it aside) is exactly one
// of the above, giving its exit code: 0 done, 1 not done (the association
// is not in place afterwards; the running instance did not close in time).
// False when commandLine is anything else, which the program then opens.
bool RunMaintenanceCommand(std::wstring_view commandLine, int& exitCode);

}  // namespace vantaro::app
