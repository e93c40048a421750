// vantaro-cli devices: the attached phones as the device chooser lists them.

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <mutex>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/device_support.h"
#include "device/async_command.h"
#include "device/command_line.h"
#include "device/devices.h"

namespace vantaro::cli {
namespace {

// Collects one property listing and lets the caller wait for its end.
class PropertyCollector : public OutputSink {
 public:
  void OnOutput(const std::string& text, OutputStatus status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status == OutputStatus::Chunk) {
      output_ += text;
      return;
    }
    done_ = true;
    changed_.notify_all();
  }
  // Waits up to ms for the end; false when the listing did not end in time.
  bool Wait(unsigned ms, std::string& output) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) return false;
    output = output_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string output_;
  bool done_ = false;
};

DeviceRecord QueryDevice(const DeviceBridge& bridge, const std::string& serial) {
  DeviceRecord record;
  record.serial = serial;
  PropertyCollector collector;
  AsyncCommand command(&collector);
  // A phone that does not answer keeps its row with nothing known, as in
  // the device chooser.
  std::string listing;
  if (command.Start(ToolCommand(bridge.adbPath, {"-s", serial, "shell", "getprop"})) &&
      collector.Wait(bridge.timeouts.propertyMs, listing)) {
    ParsePropertyListing(listing, record);
  }
  command.Close();
  CompleteDeviceRecord(record);
  return record;
}

}  // namespace

int runDevices(const DevicesOptions& options) {
  DeviceBridge bridge = MakeBridge(options.adb);
  std::vector<std::string> serials;
  ConsoleMessageLine line;
  if (ResolveResult failure = ListReadyDevices(bridge, serials); failure != ResolveResult::Chosen) {
    line.ShowMessage(ResolveFailureText(failure), StatusKind::Error);
    return kExitFailed;
  }
  std::vector<DeviceRecord> devices;
  for (const std::string& serial : serials) devices.push_back(QueryDevice(bridge, serial));

  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const DeviceRecord& d : devices) {
      list.push_back({{"serial", gbkToUtf8(d.serial)},
                      {"manufacturer", gbkToUtf8(d.manufacturer)},
                      {"model", gbkToUtf8(d.model)},
                      {"maker", gbkToUtf8(d.displayMaker)},
                      {"modelText", gbkToUtf8(d.displayModel)},
                      {"sdkLevel", d.sdkLevel},
                      {"releaseName", gbkToUtf8(d.releaseName)},
                      {"brandLogo", d.brandLogo}});
    }
    writeUtf8(stdout, list.dump(2) + "\n");
  } else {
    for (const DeviceRecord& d : devices) {
      writeGbk(stdout, d.serial + "  " + DeviceHardwareText(d) + "  " + d.releaseName + "  " + DeviceApiLevelText(d) + "\n");
    }
  }
  if (devices.empty()) {
    line.ShowMessage(kNoDeviceText, StatusKind::Error);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace vantaro::cli
