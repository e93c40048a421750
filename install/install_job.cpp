#include "install/install_job.h"

#include <algorithm>
#include <cstdio>

#include "base/file.h"
#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"
#include "install/bundle_install.h"
#include "install/precheck.h"
#include "install/system.h"
#include "package/loader.h"

namespace vantaro {

const char* const kNoPackageText = "【错误】没有找到要安装的文件,您可以拖入一个APK文件进来";
const char* const kNoSpaceText = "【安装失败】当前电脑系统盘剩余空间不足";
const char* const kPackageLostText = "【错误】要安装的APK文件意外丢失";
const char* const kWaitText = "安装中,请稍等...";
const char* const kLongWaitText = "安装中, 该文件较大请耐心等待...";
const char* const kTemporaryFolderText = "【错误】系统临时文件夹读取失败";
const char* const kToolMissingText = "【错误】组件丢失，请重新安装Vantaro...";
const char* const kInstallTimedOutText = "【安装失败】手机长时间没有响应，安装已停止，请重新连接手机后再试";

namespace {

constexpr int64_t kLongWaitAbove = 10000000;  // bytes, ten million
constexpr int kMaxNameTries = 1000;

}  // namespace

InstallServices::InstallServices()
    : freeMegabytes(FreeMegabytesOnTempDrive), temporaryFolder(TemporaryFolder), localTime(LocalTimeNow) {}

InstallRequest InstallRequest::Essentials(const std::string& path) {
  InstallRequest request;
  request.path = path;
  request.replace = false;
  request.neededMegabytes = 20;
  request.sizeDependentWaitText = false;
  request.noneChosenText = "【错误】没有选择任何设备，请重新执行安装并选择设备";
  request.successText = kEssentialsInstallSuccessText;
  return request;
}

std::string CounterPrefix(size_t number, size_t total) {
  return "(" + std::to_string(number) + "/" + std::to_string(total) + ") ";
}

std::string TemporaryCopyName(const std::tm& time) {
  char name[96];
  std::snprintf(name, sizeof name, "%d%02d%02d%d%02d%02d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
                time.tm_hour, time.tm_min, time.tm_sec);
  return name;
}

std::string MakeTemporaryCopy(const std::string& source, const std::string& folder, const std::tm& time) {
  if (folder.empty()) return std::string();
  std::string name = TemporaryCopyName(time);
  for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
    std::string path = folder + name + (attempt ? std::to_string(attempt) : std::string()) + ".apk";
    switch (CopyToNewFile(source, path)) {
      case CopyResult::Copied: return path;
      case CopyResult::NameTaken: continue;
      case CopyResult::Failed: return std::string();
    }
  }
  return std::string();
}

bool InstallPackage(const InstallRequest& request, const InstallServices& services, MessageLine& line) {
  if (request.path.size() <= 3 || !IsExistingFile(request.path)) {
    line.ShowMessage(kNoPackageText, StatusKind::Error);
    return false;
  }
  return InstallStep(request, services, line);
}

bool InstallStep(const InstallRequest& request, const InstallServices& services, MessageLine& line) {
  auto fail = [&line](const std::string& text) {
    line.ShowMessage(text, StatusKind::Error);
    return false;
  };
  ResolveResult resolved =
      services.resolveDevice ? services.resolveDevice() : ResolveTargetDevice(services.bridge, services.chooser);
  if (resolved != ResolveResult::Chosen) return fail(ResolveFailureText(resolved, request.noneChosenText));

  // A split bundle (a zip without a manifest of its own) sends the APKs the
  // phone needs; it is read again here, so that what is sent is what the
  // file holds now.
  InstallFacts facts;
  {
    ApkArchive outer;
    if (outer.open(request.path)) {
      if (!outer.contains("AndroidManifest.xml")) {
        BundleResult bundle = readBundle(outer);
        if (bundle.status == BundleStatus::Ok) return InstallBundle(request, services, line, outer, bundle.bundle);
        if (bundle.status != BundleStatus::NotBundle) return fail(kInvalidPackageMessage);
      } else {
        facts = ReadInstallFacts(outer);
      }
    }
  }

  const DeviceBridge& bridge = services.bridge;
  std::string serial = CurrentDevice::Get();
  // A package that reads is checked against what the phone is (one property
  // listing); the phone decides about any other file.
  DeviceSpec phone;
  if (facts.known) {
    PhoneQuery query = QueryPhoneProperties(bridge, serial);
    if (!query.ok) return fail(query.failure);
    phone = query.traits;
  }
  if (!CheckBeforeSending(facts, phone, services, line)) return false;

  int64_t needed = request.neededMegabytes >= 0 ? request.neededMegabytes : request.fileSize / (1 << 20);
  if (!(services.freeMegabytes() > needed)) return fail(kNoSpaceText);

  std::string folder = services.temporaryFolder();
  if (!IsExistingFile(request.path)) return fail(kPackageLostText);

  bool longWait = request.sizeDependentWaitText && request.fileSize > kLongWaitAbove;
  line.ShowMessage(longWait ? kLongWaitText : kWaitText, StatusKind::Progress);
  std::string copy = MakeTemporaryCopy(request.path, folder, services.localTime());
  // The copy goes whatever happens from here on.
  struct RemoveCopy {
    const std::string& path;
    ~RemoveCopy() {
      if (!path.empty()) RemoveFile(path);
    }
  } removeCopy{copy};

  bool sdOption = request.replace && request.sdBoxTicked && request.sdCardAllowed &&
                  (phone.sdkLevel > 0 ? phone.sdkLevel : CurrentDeviceSdkLevel(bridge)) >= 8;

  if (copy.empty() || !IsExistingFile(copy)) return fail(kTemporaryFolderText);

  std::vector<std::string> arguments{"-s", serial, "install"};
  if (request.replace) arguments.push_back("-r");
  if (sdOption) arguments.push_back("-s");
  if (facts.compat.testOnly) arguments.push_back("-t");  // the phone refuses a test-only package without it
  arguments.push_back(copy);
  std::string command = ToolCommand(bridge.adbPath, arguments);
  int64_t size = std::max<int64_t>(fileLength(copy), request.fileSize);
  CapturedOutput run = bridge.runner->RunCaptured(command, kInstallLimit, bridge.timeouts.Install(size));
  bool success = false;
  if (run.status == RunStatus::TimedOut) {
    line.ShowMessage(kInstallTimedOutText, StatusKind::Error);
  } else if (run.status != RunStatus::Started) {
    line.ShowMessage(kToolMissingText, StatusKind::Error);
  } else {
    InstallOutcome outcome = ClassifyInstallOutput(TrimSpace(run.output), request.successText);
    line.ShowMessage(outcome.message, outcome.kind);
    success = outcome.kind == StatusKind::Success;
  }
  return success;
}

}  // namespace vantaro
