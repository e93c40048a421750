#include "install/precheck.h"

#include <algorithm>

#include "base/text.h"
#include "package/report.h"

namespace vantaro {
namespace {

std::string joined(const std::vector<std::string>& items, bool utf8) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += "、";
    out += utf8 ? utf8ToGbk(item) : item;
  }
  return out;
}

}  // namespace

InstallFacts ReadInstallFacts(const ApkArchive& apk, const ApkArchive* outer, const Bundle* bundle) {
  InstallFacts facts;
  facts.known = readInstallCompatibility(apk, outer, bundle, facts.minSdk, facts.compat);
  return facts;
}

std::string CompatibilityRefusal(const InstallFacts& package, const DeviceSpec& phone) {
  if (!package.known) return std::string();
  const Compatibility& c = package.compat;
  if (phone.sdkLevel > 0 && package.minSdk > phone.sdkLevel) {
    return "【安装失败】安装包需要 " + levelText(package.minSdk) + "或更高版本，这部手机是 " + levelText(phone.sdkLevel);
  }
  if (!c.abis.empty() && !phone.abis.empty()) {
    bool match = std::any_of(c.abis.begin(), c.abis.end(), [&phone](const std::string& abi) {
      return std::find(phone.abis.begin(), phone.abis.end(), abi) != phone.abis.end();
    });
    if (!match) {
      return "【安装失败】安装包只有 " + joined(c.abis, true) + " 处理器的版本，这部手机的处理器是 " +
             joined(phone.abis, true);
    }
  }
  int32_t target = c.effectiveTarget(package.minSdk);
  if (phone.sdkLevel >= kAndroid14Level && target < kLowestTargetOnAndroid14) {
    return "【安装失败】安装包的目标版本是 " + levelText(target) + "，这部手机是 " + levelText(phone.sdkLevel) +
           "，Android 14 及以上的手机不安装目标版本低于 " + levelText(kLowestTargetOnAndroid14) + "的应用";
  }
  return std::string();
}

bool CheckBeforeSending(const InstallFacts& package, const DeviceSpec& phone, const InstallServices&,
                        MessageLine& line) {
  std::string refusal = CompatibilityRefusal(package, phone);
  if (refusal.empty()) return true;
  line.ShowMessage(refusal, StatusKind::Error);
  return false;
}

}  // namespace vantaro
