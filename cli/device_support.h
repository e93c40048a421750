#pragma once
// What the device commands of the CLI share: the message line on the
// terminal, the tool, and the target phone from -s.

#include <string>

#include "device/resolve.h"
#include "install/install_job.h"
#include "package/package_info.h"

namespace vantaro::cli {

// Writes each message as a line: errors to standard error, the rest to
// standard output. Remembers whether the last one was a success.
class ConsoleMessageLine : public MessageLine {
 public:
  void ShowMessage(const std::string& text, StatusKind kind) override;
  bool succeeded() const { return lastKind_ == StatusKind::Success; }

 private:
  StatusKind lastKind_ = StatusKind::Error;
};

// The tool: --adb when given (as NamedToolPath finds it), else AdbPath().
DeviceBridge MakeBridge(const std::string& adbOption);

// Resolves the target phone as the window does. With a serial (UTF-8) only
// that ready device is chosen; without one, several devices are listed on
// standard output and none is chosen.
ResolveResult ResolveDevice(const DeviceBridge& bridge, const std::string& serialOption);

// Loads the package as the main window does; the facts the jobs need.
PackageInfo LoadPackage(const std::string& argument);

}  // namespace vantaro::cli
