#pragma once
// Run now: the phone's package listing is streamed in; when the opened
// package is on the phone its application is started there.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "device/async_command.h"
#include "device/resolve.h"
#include "install/install_job.h"
#include "package/package_info.h"

namespace vantaro {

extern const char* const kNotInstalledText;    // after the label
extern const char* const kRunningText;         // after the label
extern const char* const kInvalidNameText;

// "adb -s SERIAL shell pm list package" for CurrentDevice; empty (nothing
// starts) when the tool is missing.
std::string PackageListingCommand(const DeviceBridge& bridge);

// The lines of a package listing, each trimmed, up to the first empty line.
std::vector<std::string> InstalledPackageLines(std::string_view listing);

// True when a line is exactly "package:" followed by packageName.
bool IsPackageInstalled(const std::vector<std::string>& lines, std::string_view packageName);

// A Java package or class name: ASCII letters, digits, "_", "$" and ".",
// parts between dots not empty and not starting with a digit. With
// relativeAllowed one leading "." is accepted (".Main", as manifests write
// activities). Only such names go into the phone's shell.
bool IsValidJavaName(std::string_view name, bool relativeAllowed);

// The main window's OutputSink for the listing of Run now.
class LaunchSink : public OutputSink {
 public:
  LaunchSink(MessageLine& line, const DeviceBridge& bridge) : line_(line), bridge_(bridge) {}

  // Run now accepted: remembers the package, empties the collected output
  // and marks a listing under way. False (nothing changed) while one is.
  bool Begin(const PackageInfo& package);
  // The listing did not start: Run now is accepted again.
  void Abandon() { runBusy_ = false; }
  bool Busy() const { return runBusy_; }

  void OnOutput(const std::string& text, OutputStatus status) override;

 private:
  void Decide();

  MessageLine& line_;
  const DeviceBridge& bridge_;
  std::mutex mutex_;
  std::string runOutput_;
  std::atomic<bool> runBusy_{false};
  std::string packageName_;
  std::string launcherActivity_;
  bool isKorvelPlugin_ = false;
  std::string label_;
};

}  // namespace vantaro
