#include "package/package_info.h"

namespace vantaro {

void PackageInfo::addSdk(const std::string& name, const std::string& kind, const std::string& evidence) {
  for (const SdkFinding& known : sdks)
    if (known.name == name) return;
  sdks.push_back({name, kind, evidence});
  (isAdvertisingKind(kind) ? adNetworks : analytics).push_back(name);
}

void PackageInfo::reset() {
  label.clear();
  labelIsRef = false;
  labelEntry = 0;
  labelType = 0;
  labelPackage = 0;
  versionName.clear();
  versionIsRef = false;
  versionEntry = 0;
  versionType = 0;
  versionPackage = 0;
  iconEntry = 0;
  iconType = 0;
  iconPackage = 0;
  unresolved.clear();
  bundle.reset();
  compat = Compatibility();
  sdCardAllowed = true;
  minSdk = -1;
  launcherActivity.clear();
  packageName.clear();
  usesInternet = false;
  isKorvelPlugin = false;
  permissions.clear();
  adNetworks.clear();
  analytics.clear();
  sdks.clear();
  codeScan = CodeScan::NotRun;
  signature = SignatureFacts();
  signatureCheck.reset();
  analysisOk = true;
  iconMember.clear();
  iconTypeTable = ResourceTypeTable();
  labelTypeTable = ResourceTypeTable();
  versionTypeTable = ResourceTypeTable();
}

std::string releaseNameForApiLevel(int32_t level) {
  static const char* const kNames[] = {
      nullptr,         "Android 1.0",   "Android 1.1",  "Android 1.5",  "Android 1.6",   "Android 2.0",
      "Android 2.0.1", "Android 2.1",   "Android 2.2",  "Android 2.3",  "Android 2.3.3", "Android 3.0",
      "Android 3.1",   "Android 3.2",   "Android 4.0",  "Android 4.0.3", "Android 4.1",  "Android 4.2",
      "Android 4.3",   "Android 4.4",   "Android 4.4W", "Android 5.0",  "Android 5.1",   "Android 6.0",
      "Android 7.0",   "Android 7.1",   "Android 8.0",  "Android 8.1",  "Android 9",     "Android 10",
      "Android 11",    "Android 12",    "Android 12L",  "Android 13",   "Android 14",    "Android 15",
      "Android 16",
  };
  constexpr int32_t kCount = sizeof kNames / sizeof kNames[0];
  if (level > 0 && level < kCount) return kNames[level];
  return "未知版本";
}

}  // namespace vantaro
