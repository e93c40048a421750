#include "device/resolve.h"

#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"

namespace vantaro {

const char* const kPipeFailedText = "【内部错误】，请重新安装“Vantaro”";
const char* const kStartFailedText = "【组件丢失，请重新安装“Vantaro”";
const char* const kNoDeviceText = "【错误】没有找到Android设备，请检查USB连接";
const char* const kNoneChosenText = "【错误】没有选择任何设备，单击【设备管理】重新选择";
const char* const kNoResponseText = "【错误】手机没有响应，请重新连接手机后再试";

std::string ChooseNoDevice(const std::vector<std::string>&) { return std::string(); }

ResolveResult ListReadyDevices(const DeviceBridge& bridge, std::vector<std::string>& serials) {
  serials.clear();
  CapturedOutput run =
      bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, {"devices"}), kListingLimit, bridge.timeouts.listingMs);
  if (run.status == RunStatus::PipeFailed) return ResolveResult::PipeFailed;
  if (run.status == RunStatus::StartFailed) return ResolveResult::StartFailed;
  if (run.status == RunStatus::TimedOut) return ResolveResult::TimedOut;
  serials = ParseDeviceListing(run.output);
  return ResolveResult::Chosen;
}

ResolveResult ResolveTargetDevice(const DeviceBridge& bridge, const DeviceChooser& chooser) {
  std::vector<std::string> serials;
  if (ResolveResult failure = ListReadyDevices(bridge, serials); failure != ResolveResult::Chosen) return failure;
  if (serials.empty()) return ResolveResult::NoDevice;
  if (serials.size() == 1) {
    CurrentDevice::Set(serials.front());
  } else {
    CurrentDevice::Set(std::string());
    CurrentDevice::Set(chooser ? chooser(serials) : std::string());
  }
  return CurrentDevice::Get().empty() ? ResolveResult::NoneChosen : ResolveResult::Chosen;
}

std::string ResolveFailureText(ResolveResult result, const std::string& noneChosenText) {
  switch (result) {
    case ResolveResult::Chosen: return std::string();
    case ResolveResult::PipeFailed: return kPipeFailedText;
    case ResolveResult::StartFailed: return kStartFailedText;
    case ResolveResult::NoDevice: return kNoDeviceText;
    case ResolveResult::NoneChosen: return noneChosenText;
    case ResolveResult::TimedOut: return kNoResponseText;
  }
  return std::string();
}

int32_t CurrentDeviceSdkLevel(const DeviceBridge& bridge) {
  CapturedOutput run = bridge.runner->RunCaptured(
      ToolCommand(bridge.adbPath, {"-s", CurrentDevice::Get(), "shell", "getprop", "ro.build.version.sdk"}),
      kListingLimit, bridge.timeouts.propertyMs);
  if (run.status != RunStatus::Started) return -1;
  return ParseLeadingInt(TrimSpace(run.output));
}

}  // namespace vantaro
