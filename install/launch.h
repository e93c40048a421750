#pragma once
// Run now: find the phone, look for the opened package among the phone's
// installed packages and, when it is there, start its application with the
// phone's activity manager. Every adb call is bounded in time, and only the
// phone's own answer to the start counts as success.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/resolve.h"
#include "install/install_job.h"
#include "package/package_info.h"

namespace vantaro {

extern const char* const kNotInstalledText;    // after the label
extern const char* const kRunningText;         // after the label
extern const char* const kInvalidNameText;
extern const char* const kStartingText;        // while the phone is asked
extern const char* const kNoLauncherText;      // the package has nothing to start
// The phone's refusals of "am start".
extern const char* const kNoSuchActivityText;
extern const char* const kStartDeniedText;
extern const char* const kStartUnresolvedText;
extern const char* const kNotStartedText;
extern const char* const kStartLostPhoneText;
extern const char* const kStartUnansweredText;

// Capture limit of the package listing: far above any phone's listing.
constexpr size_t kPackageListingLimit = size_t{4} << 20;

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

// What Run now needs of the opened package.
struct LaunchRequest {
  std::string packageName;
  std::string launcherActivity;
  bool isKorvelPlugin = false;
  std::string label;

  static LaunchRequest Of(const PackageInfo& package);
};

// The phone's answer to "am start": the message for the user and whether
// the phone said it started (or brought forward) the activity.
struct StartVerdict {
  std::string text;
  bool started = false;
};
StartVerdict ClassifyStartOutput(std::string_view output, const std::string& label);

// Finds the target phone with the bridge it is given (the window asks its
// chooser, the CLI takes -s).
using DeviceResolver = std::function<ResolveResult(const DeviceBridge& bridge)>;

// The whole of Run now on the calling thread (a worker of the window): the
// device listing, the package listing and "am start", each bounded by
// timeouts.answerMs; a call that outlives it ends with kNoResponseText.
// kStartingText first, then one outcome text. True only when the phone said
// the application started.
bool RunInstalledApplication(const LaunchRequest& request, const DeviceBridge& bridge, const DeviceResolver& resolve,
                             MessageLine& line);

}  // namespace vantaro
