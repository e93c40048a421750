#include "cli/device_support.h"

#include <algorithm>

#include "base/text.h"
#include "cli/console.h"
#include "device/current_device.h"
#include "package/loader.h"
#include "package/recording_display.h"

namespace vantaro::cli {

void ConsoleMessageLine::ShowMessage(const std::string& text, StatusKind kind) {
  writeGbk(kind == StatusKind::Error ? stderr : stdout, text + "\n");
  lastKind_ = kind;
}

DeviceBridge MakeBridge(const std::string& adbOption) {
  DeviceBridge bridge;
  // What the user named is run by its full path; a name that finds no file
  // leaves none, and the commands say the component is missing.
  if (!adbOption.empty()) bridge.adbPath = NamedToolPath(argumentPath(adbOption));
  return bridge;
}

ResolveResult ResolveDevice(const DeviceBridge& bridge, const std::string& serialOption) {
  if (serialOption.empty()) {
    return ResolveTargetDevice(bridge, [](const std::vector<std::string>& serials) {
      for (const std::string& serial : serials) writeGbk(stdout, serial + "\n");
      return std::string();
    });
  }
  std::string wanted = utf8ToGbk(serialOption);
  ResolveResult result = ResolveTargetDevice(bridge, [&wanted](const std::vector<std::string>& serials) {
    return std::find(serials.begin(), serials.end(), wanted) != serials.end() ? wanted : std::string();
  });
  // One ready device is taken without asking; it must be the one named.
  if (result == ResolveResult::Chosen && CurrentDevice::Get() != wanted) {
    CurrentDevice::Set(std::string());
    return ResolveResult::NoneChosen;
  }
  return result;
}

PackageInfo LoadPackage(const std::string& utf8Path) {
  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
  PackageLoader(info, display, catalog).load(argumentPath(utf8Path), false);
  return info;
}

}  // namespace vantaro::cli
