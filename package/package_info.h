#pragma once
// The facts of the opened package. Owned by the main window (or the CLI),
// reset at the start of every load and filled by the loader, the manifest
// analyser and the resource table reader. Texts are GBK.

#include <cstdint>
#include <string>
#include <vector>

#include "package/resource_table.h"

namespace vantaro {

struct PackageInfo {
  std::string path;                 // emptied when the package is rejected or incomplete
  int64_t fileSize = 0;
  std::string label;                // literal, resolved, or the hex digits of the reference
  bool labelIsRef = false;
  uint16_t labelEntry = 0;
  uint8_t labelType = 0;
  std::string versionName;
  bool versionIsRef = false;
  uint16_t versionEntry = 0;
  uint8_t versionType = 0;
  uint16_t iconEntry = 0;
  uint8_t iconType = 0;
  bool sdCardAllowed = true;
  int32_t minSdk = -1;
  std::string launcherActivity;
  std::string packageName;
  bool usesInternet = false;
  bool isKorvelPlugin = false;
  std::vector<std::string> permissions;
  std::vector<std::string> adNetworks;
  std::vector<std::string> analytics;
  bool analysisOk = true;
  std::vector<uint8_t> iconImage;   // raw bytes of the icon member; replaced by the next icon read
  std::string iconMember;           // the member the icon bytes came from
  ResourceTypeTable iconTypeTable;
  ResourceTypeTable labelTypeTable;
  ResourceTypeTable versionTypeTable;

  // Every field back to its starting value, except path, fileSize and the
  // icon bytes, which the next load replaces.
  void reset();
};

// "Android 2.2" for API level 8 and so on; "未知版本" for levels that name
// no release.
std::string releaseNameForApiLevel(int32_t level);

}  // namespace vantaro
