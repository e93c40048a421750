#include "install/launch.h"

#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"

namespace vantaro {

const char* const kNotInstalledText = " 您尚未安装，无法运行";
const char* const kRunningText = " 已经在手机上运行";
const char* const kInvalidNameText = "【错误】应用的包名或入口名称无效，拒绝运行";

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

bool LaunchSink::Begin(const PackageInfo& package) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (runBusy_.exchange(true)) return false;
  runOutput_.clear();
  packageName_ = package.packageName;
  launcherActivity_ = package.launcherActivity;
  isKorvelPlugin_ = package.isKorvelPlugin;
  label_ = package.label;
  return true;
}

void LaunchSink::OnOutput(const std::string& text, OutputStatus status) {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (status) {
    case OutputStatus::Chunk:
      runOutput_ += text;
      return;
    case OutputStatus::Failed:
      runBusy_ = false;
      return;
    case OutputStatus::Finished:
      Decide();
      runBusy_ = false;
      return;
  }
}

void LaunchSink::Decide() {
  if (!IsPackageInstalled(InstalledPackageLines(runOutput_), packageName_)) {
    line_.ShowMessage(label_ + kNotInstalledText, StatusKind::Error);
    return;
  }
  std::string activity;
  if (isKorvelPlugin_) {
    size_t dot = packageName_.rfind('.');
    activity = packageName_.substr(dot == std::string::npos ? 0 : dot);
  } else {
    activity = launcherActivity_;
  }
  if (activity.empty()) return;  // nothing to start
  // The phone's shell reads the component: only a name Java allows goes
  // there, and as one single-quoted word ("$" stays a "$").
  std::string component = ShellWord(packageName_ + "/" + activity);
  if (!IsValidJavaName(packageName_, false) || !IsValidJavaName(activity, true) || component.empty()) {
    line_.ShowMessage(kInvalidNameText, StatusKind::Error);
    return;
  }
  line_.ShowMessage(label_ + kRunningText, StatusKind::Success);
  bridge_.runner->LaunchDetached(
      ToolCommand(bridge_.adbPath, {"-s", CurrentDevice::Get(), "shell", "am", "start", "-n", component}));
}

}  // namespace vantaro
