#pragma once
// Finding the phone to talk to, before every install, Run now and essentials
// refresh.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/runner.h"

namespace vantaro {

// Where device commands go: the tool's full path (first element of every
// command line; empty when the tool is missing), the runner that starts it
// and how long its captured calls may take.
struct DeviceBridge {
  std::string adbPath = AdbPath();
  CommandRunner* runner = &CommandRunner::System();
  CommandTimeouts timeouts = CommandTimeouts::Standard();
};

enum class ResolveResult { Chosen = 0, PipeFailed = 1, StartFailed = 2, NoDevice = 3, NoneChosen = 4, TimedOut = 5 };

// Asked when two or more devices are ready; returns the serial the user
// chose, or empty text for none. The window shows its device chooser; the
// CLI and the tests answer themselves.
using DeviceChooser = std::function<std::string(const std::vector<std::string>& serials)>;

// A chooser that chooses nothing.
std::string ChooseNoDevice(const std::vector<std::string>& serials);

// Runs "%s devices" and gives the ready devices' serials: Chosen when the
// listing ran (serials may be empty), else PipeFailed, StartFailed or
// TimedOut.
ResolveResult ListReadyDevices(const DeviceBridge& bridge, std::vector<std::string>& serials);

// Runs "%s devices" and sets CurrentDevice: to the one ready device, or to
// the chooser's answer when there are several (empty while it is open).
// CurrentDevice is unchanged on PipeFailed, StartFailed, NoDevice and
// TimedOut (the listing did not end within its time-out).
ResolveResult ResolveTargetDevice(const DeviceBridge& bridge, const DeviceChooser& chooser);

// The messages the main window and the install job show for the failures.
extern const char* const kPipeFailedText;
extern const char* const kStartFailedText;
extern const char* const kNoDeviceText;
extern const char* const kNoneChosenText;
extern const char* const kNoResponseText;

// The text for a result other than Chosen (empty for Chosen), with the
// caller's own text for NoneChosen.
std::string ResolveFailureText(ResolveResult result, const std::string& noneChosenText = kNoneChosenText);

// SDK level of CurrentDevice from "getprop ro.build.version.sdk"; -1 when
// the tool could not be run or did not answer in time.
int32_t CurrentDeviceSdkLevel(const DeviceBridge& bridge);

}  // namespace vantaro
