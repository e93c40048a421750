// vantaro-cli install: the main window's Install on the opened package;
// with --dry-run, what would be sent to the phone and why, sending nothing.

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/device_support.h"
#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"
#include "install/bundle_install.h"
#include "install/install_job.h"
#include "install/precheck.h"
#include "install/system.h"
#include "package/file_size.h"
#include "package/signature.h"

namespace vantaro::cli {
namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : "、") + utf8ToGbk(item);
  return text.empty() ? std::string("未知") : text;
}

std::string phoneLine(const std::string& serial, const DeviceSpec& traits) {
  return "手机 " + serial + "：" +
         (traits.sdkLevel > 0 ? releaseNameForApiLevel(traits.sdkLevel) + "（API " + std::to_string(traits.sdkLevel) + "）"
                              : std::string("系统版本未知")) +
         "，处理器 " + joined(traits.abis) + "，屏幕密度 " +
         (traits.density > 0 ? std::to_string(traits.density) + "dpi" : std::string("未知")) + "，语言 " +
         joined(traits.locales) + "\n";
}

// The device listing and the property queries are all that reach the phone;
// the checks an install makes before sending run as they would.
int dryRun(const std::string& serialOption, const PackageInfo& info, const DeviceBridge& bridge, MessageLine& line) {
  auto fail = [&line](const std::string& text) {
    line.ShowMessage(text, StatusKind::Error);
    return kExitFailed;
  };
  ResolveResult resolved = ResolveDevice(bridge, serialOption);
  if (resolved != ResolveResult::Chosen) return fail(ResolveFailureText(resolved));
  std::string serial = CurrentDevice::Get();
  if (!info.bundle) {
    InstallFacts facts;
    ApkArchive archive;
    if (archive.open(info.path)) facts = ReadInstallFacts(archive);
    PhoneQuery phone = QueryPhoneProperties(bridge, serial);
    if (!phone.ok) return fail(phone.failure);
    writeGbk(stdout, phoneLine(serial, phone.traits));
    std::string refusal = CompatibilityRefusal(facts, phone.traits);
    if (!refusal.empty()) return fail(refusal);
    writeGbk(stdout, std::string("将用 install") + (facts.compat.testOnly ? " -t" : "") + " 把整个安装包 " +
                         gbkFileName(info.path) + "（" + formatFileSize(info.fileSize) + "）发送到手机 " + serial +
                         "\n（试运行：没有向手机发送任何文件）\n");
    return kExitOk;
  }
  PhoneQuery phone = QueryPhone(bridge, serial, *info.bundle);
  if (!phone.ok) return fail(phone.failure);
  const DeviceSpec& traits = phone.traits;
  writeGbk(stdout, phoneLine(serial, traits));
  SplitSelection selection = SelectSplits(*info.bundle, traits);
  if (!selection.ok) return fail(selection.refusal);
  {
    ApkArchive outer;
    InstallFacts facts;
    if (outer.open(info.path)) facts = ReadSelectionFacts(outer, *info.bundle, selection);
    std::string refusal = CompatibilityRefusal(facts, traits);
    if (!refusal.empty()) return fail(refusal);
  }
  uint64_t total = 0;
  for (const SplitChoice& choice : selection.chosen) total += choice.split->size;
  writeGbk(stdout, "将用 " + std::string(selection.standalone ? "install" : "install-multiple") + " 发送 " +
                       std::to_string(selection.chosen.size()) + " 个文件，共 " +
                       formatFileSize(static_cast<int64_t>(total)) + "：\n");
  for (size_t i = 0; i < selection.chosen.size(); ++i) {
    const SplitChoice& choice = selection.chosen[i];
    writeGbk(stdout, "  split" + std::to_string(i) + ".apk  " + utf8ToGbk(choice.split->member) + "（" +
                         formatFileSize(static_cast<int64_t>(choice.split->size)) + "）  " + choice.reason + "\n");
  }
  if (!info.bundle->expansions.empty()) writeGbk(stdout, "安装后复制数据文件：\n");
  for (const BundleExpansion& expansion : info.bundle->expansions) {
    writeGbk(stdout, "  " + utf8ToGbk(expansion.member) + "（" + formatFileSize(static_cast<int64_t>(expansion.size)) +
                         "） → " + ExpansionPhonePath(expansion) + "\n");
  }
  writeGbk(stdout, "（试运行：没有向手机发送任何文件）\n");
  return kExitOk;
}

}  // namespace

namespace {

// One file on the phone named by serialOption (empty: as the window
// resolves it); true on success.
bool installOne(const InstallOptions& options, const std::string& file, const std::string& serialOption,
                MessageLine& line) {
  if (!IsExistingFile(argumentPath(file))) {
    line.ShowMessage(kNoPackageText, StatusKind::Error);
    return false;
  }
  PackageInfo info = LoadPackage(file);
  if (!info.analysisOk) {
    line.ShowMessage("【错误】不是有效的APK文件，Vantaro拒绝安装", StatusKind::Error);
    return false;
  }
  // A package whose signature fails is refused before anything reaches the
  // phone, unless the user insists.
  if (!options.force) {
    SignatureCheck check = checkPackageFile(info.path, false);
    if (check.verify.status == VerifyResult::Status::Failed) {
      line.ShowMessage("【错误】" + verifyLine(check.verify) + "，安装包可能被改动过，Vantaro拒绝安装（确实要安装请加 --force）",
                       StatusKind::Error);
      return false;
    }
  }
  if (options.dryRun) return dryRun(serialOption, info, MakeBridge(options.adb), line) == kExitOk;

  InstallRequest request;
  request.path = info.path;
  request.fileSize = info.fileSize;
  request.sdCardAllowed = info.sdCardAllowed;
  request.sdBoxTicked = options.sd;

  InstallServices services;
  services.bridge = MakeBridge(options.adb);
  const DeviceBridge& bridge = services.bridge;
  services.resolveDevice = [&bridge, serialOption] { return ResolveDevice(bridge, serialOption); };
  return InstallPackage(request, services, line);
}

}  // namespace

int runInstall(const InstallOptions& options) {
  ConsoleMessageLine line;
  std::vector<std::string> phones = options.serials;  // UTF-8
  if (options.all) {
    std::vector<std::string> listed;
    ResolveResult failure = ListReadyDevices(MakeBridge(options.adb), listed);
    for (const std::string& serial : listed) phones.push_back(gbkToUtf8(serial));
    if (phones.empty()) {
      line.ShowMessage(ResolveFailureText(failure == ResolveResult::Chosen ? ResolveResult::NoDevice : failure),
                       StatusKind::Error);
      return kExitFailed;
    }
  }
  if (phones.empty()) phones.push_back(std::string());  // as the window resolves it

  // One file on one phone: the window's install, texts unchanged.
  if (options.files.size() == 1 && phones.size() == 1)
    return installOne(options, options.files.front(), phones.front(), line) ? kExitOk : kExitFailed;

  struct Outcome {
    std::string phone, file, text;
    bool ok;
  };
  std::vector<Outcome> outcomes;
  const size_t total = options.files.size() * phones.size();
  for (const std::string& file : options.files) {
    for (const std::string& phone : phones) {
      std::string counter = CounterPrefix(outcomes.size() + 1, total);
      CountedLine counted(line, counter + (phone.empty() ? std::string() : utf8ToGbk(phone) + " "));
      bool ok = installOne(options, file, phone, counted);
      outcomes.push_back({phone, file, counted.last(), ok});
    }
  }
  size_t succeeded = 0;
  for (const Outcome& outcome : outcomes) succeeded += outcome.ok;
  writeGbk(stdout, "安装结果：" + std::to_string(succeeded) + "/" + std::to_string(total) + " 成功\n");
  for (const Outcome& outcome : outcomes) {
    writeGbk(stdout, std::string(outcome.ok ? "  成功  " : "  失败  ") +
                         (outcome.phone.empty() ? std::string() : utf8ToGbk(outcome.phone) + "  ") +
                         gbkFileName(argumentPath(outcome.file)) + "  " + outcome.text + "\n");
  }
  return succeeded == total ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
