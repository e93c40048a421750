#include "install/launch.h"

#include <algorithm>

#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"

namespace vantaro {

const char* const kNotInstalledText = " 您尚未安装，无法运行";
const char* const kRunningText = " 已经在手机上运行";
const char* const kInvalidNameText = "【错误】应用的包名或入口名称无效，拒绝运行";
const char* const kStartingText = "正在手机上启动应用，请稍等...";
const char* const kNoLauncherText = "【运行失败】这个应用没有可以从桌面启动的入口";
const char* const kNoSuchActivityText = "【运行失败】手机上的应用没有这个入口，请重新安装后再试";
const char* const kStartDeniedText = "【运行失败】手机不允许从电脑启动这个入口";
const char* const kStartUnresolvedText = "【运行失败】手机找不到可以启动的入口";
const char* const kNotStartedText = "【运行失败】手机没有启动应用";
const char* const kStartLostPhoneText = "【运行失败】请确认手机已经连接到电脑上";
const char* const kStartUnansweredText = "【运行失败】手机没有说明应用是否已经启动";

std::string PackageListingCommand(const DeviceBridge& bridge) {
  return ToolCommand(bridge.adbPath, {"-s", CurrentDevice::Get(), "shell", "pm", "list", "package"});
}

std::vector<std::string> InstalledPackageLines(std::string_view listing) {
  std::vector<std::string> lines;
  for (std::string_view line : ListingLines(listing)) lines.emplace_back(TrimSpace(line));
  return lines;
}

bool IsPackageInstalled(const std::vector<std::string>& lines, std::string_view packageName) {
  if (packageName.empty()) return false;
  std::string wanted = "package:" + std::string(packageName);
  for (const std::string& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

bool IsValidJavaName(std::string_view name, bool relativeAllowed) {
  if (relativeAllowed && !name.empty() && name.front() == '.') name.remove_prefix(1);
  if (name.empty()) return false;
  bool partStart = true;
  for (char c : name) {
    if (c == '.') {
      if (partStart) return false;  // empty part
      partStart = true;
      continue;
    }
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && !partStart)) return false;
    partStart = false;
  }
  return !partStart;
}

LaunchRequest LaunchRequest::Of(const PackageInfo& package) {
  LaunchRequest request;
  request.packageName = package.packageName;
  request.launcherActivity = package.launcherActivity;
  request.isKorvelPlugin = package.isKorvelPlugin;
  request.label = package.label;
  return request;
}

namespace {

bool Has(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

// A captured call that did not give an answer: its text shown, false.
bool Answered(const CapturedOutput& run, MessageLine& line) {
  const char* failure = nullptr;
  switch (run.status) {
    case RunStatus::Started: return true;
    case RunStatus::PipeFailed: failure = kPipeFailedText; break;
    case RunStatus::StartFailed: failure = kStartFailedText; break;
    case RunStatus::TimedOut: failure = kNoResponseText; break;
  }
  line.ShowMessage(failure, StatusKind::Error);
  return false;
}

}  // namespace

StartVerdict ClassifyStartOutput(std::string_view output, const std::string& label) {
  // The activity manager's refusals first: they may follow a "Starting:" line.
  if (Has(output, "does not exist")) return {kNoSuchActivityText, false};
  if (Has(output, "Permission Denial") || Has(output, "not have permission")) return {kStartDeniedText, false};
  if (Has(output, "unable to resolve")) return {kStartUnresolvedText, false};
  if (Has(output, "error: device") || Has(output, "error: no devices") || Has(output, "error: closed"))
    return {kStartLostPhoneText, false};
  // Already running: the phone shows it, which is what Run now is for.
  if (Has(output, "Warning: Activity not started, its current task has been brought to the front") ||
      Has(output, "Warning: Activity not started, intent has been delivered to currently running top-most instance"))
    return {label + kRunningText, true};
  if (Has(output, "Error") || Has(output, "Exception") || Has(output, "Warning: Activity not started"))
    return {kNotStartedText, false};
  if (Has(output, "Starting: Intent {")) return {label + kRunningText, true};
  return {kStartUnansweredText, false};
}

bool RunInstalledApplication(const LaunchRequest& request, const DeviceBridge& bridge, const DeviceResolver& resolve,
                             MessageLine& line) {
  const unsigned answerMs = bridge.timeouts.answerMs;
  line.ShowMessage(kStartingText, StatusKind::Progress);
  DeviceBridge asking = bridge;
  asking.timeouts.listingMs = std::min(asking.timeouts.listingMs, answerMs);
  ResolveResult resolved = resolve(asking);
  if (resolved != ResolveResult::Chosen) {
    line.ShowMessage(ResolveFailureText(resolved), StatusKind::Error);
    return false;
  }

  CapturedOutput listing = bridge.runner->RunCaptured(PackageListingCommand(bridge), kPackageListingLimit, answerMs);
  if (!Answered(listing, line)) return false;
  if (!IsPackageInstalled(InstalledPackageLines(listing.output), request.packageName)) {
    line.ShowMessage(request.label + kNotInstalledText, StatusKind::Error);
    return false;
  }

  std::string activity;
  if (request.isKorvelPlugin) {
    size_t dot = request.packageName.rfind('.');
    activity = request.packageName.substr(dot == std::string::npos ? 0 : dot);
  } else {
    activity = request.launcherActivity;
  }
  if (activity.empty()) {
    line.ShowMessage(kNoLauncherText, StatusKind::Error);
    return false;
  }
  // The phone's shell reads the component: only a name Java allows goes
  // there, and as one single-quoted word ("$" stays a "$").
  std::string component = ShellWord(request.packageName + "/" + activity);
  if (!IsValidJavaName(request.packageName, false) || !IsValidJavaName(activity, true) || component.empty()) {
    line.ShowMessage(kInvalidNameText, StatusKind::Error);
    return false;
  }
  CapturedOutput start = bridge.runner->RunCaptured(
      ToolCommand(bridge.adbPath, {"-s", CurrentDevice::Get(), "shell", "am", "start", "-n", component}), kListingLimit,
      answerMs);
  if (!Answered(start, line)) return false;
  StartVerdict verdict = ClassifyStartOutput(TrimSpace(start.output), request.label);
  line.ShowMessage(verdict.text, verdict.started ? StatusKind::Success : StatusKind::Error);
  return verdict.started;
}

}  // namespace vantaro
