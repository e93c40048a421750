#pragma once
// The facts of the opened package. Owned by the main window (or the CLI),
// reset at the start of every load and filled by the loader, the manifest
// analyser and the resource table reader. Texts are GBK.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/bundle.h"
#include "package/compatibility.h"
#include "package/resource_table.h"
#include "package/sdk_scan.h"
#include "package/signature.h"

namespace vantaro {

struct PackageInfo {
  std::string path;                 // emptied when the package is rejected or incomplete
  int64_t fileSize = 0;
  // A reference @0xPPTTEEEE is kept as package PP, type TT and entry EEEE.
  std::string label;                // literal or resolved; empty while a reference is not
  bool labelIsRef = false;
  uint16_t labelEntry = 0;
  uint8_t labelType = 0;
  uint8_t labelPackage = 0;
  std::string versionName;          // literal or resolved, like the label
  bool versionIsRef = false;
  uint16_t versionEntry = 0;
  uint8_t versionType = 0;
  uint8_t versionPackage = 0;
  uint16_t iconEntry = 0;
  uint8_t iconType = 0;             // 0: the manifest names no icon by reference
  uint8_t iconPackage = 0;
  bool sdCardAllowed = true;
  int32_t minSdk = -1;
  std::string launcherActivity;
  std::string packageName;
  bool usesInternet = false;
  bool isKorvelPlugin = false;
  std::vector<std::string> permissions;
  // One line per SDK, however it was found (a manifest key, a class probe,
  // the classes of the code): advertising SDKs in adNetworks, every other
  // kind in analytics; sdks keeps each one's kind and evidence.
  std::vector<std::string> adNetworks;
  std::vector<std::string> analytics;
  std::vector<SdkFinding> sdks;
  enum class CodeScan { NotRun, Ok, NoCode, Incomplete } codeScan = CodeScan::NotRun;
  bool analysisOk = true;
  std::vector<uint8_t> iconImage;   // raw bytes of the icon member; replaced by the next icon read
  std::string iconMember;           // the member the icon bytes came from
  // References that the table resolves nowhere: which field ("label",
  // "versionName", "icon") and the reference itself.
  struct UnresolvedReference {
    std::string field;
    uint32_t id;
  };
  std::vector<UnresolvedReference> unresolved;
  Compatibility compat;
  std::optional<Bundle> bundle;     // set when the file is a split bundle; the facts above are its base's
  SignatureFacts signature;         // the base's, for a split bundle
  std::optional<SignatureCheck> signatureCheck;  // when the load checked the signature itself
  ResourceTypeTable iconTypeTable;
  ResourceTypeTable labelTypeTable;
  ResourceTypeTable versionTypeTable;

  // Every field back to its starting value, except path, fileSize and the
  // icon bytes, which the next load replaces.
  void reset();
  // Adds an SDK unless one of that name is listed already.
  void addSdk(const std::string& name, const std::string& kind, const std::string& evidence);
};

// "Android 2.2" for API level 8 and so on; "未知版本" for levels that name
// no release.
std::string releaseNameForApiLevel(int32_t level);

}  // namespace vantaro
