#pragma once
// Turns the path of an .apk into a filled PackageInfo and a filled display:
// summary fields, icon, report tree and, on failure, the message line.

#include <cstddef>
#include <optional>
#include <string>

#include "package/display.h"
#include "package/package_info.h"
#include "package/permissions.h"
#include "package/report.h"
#include "package/sdk_scan.h"

namespace vantaro {

extern const char* const kInvalidPackageMessage;   // "【错误】不是有效的APK文件"
extern const char* const kUnreadableFileMessage;
extern const char* const kEncryptedApkmMessage;

// The file names the loader opens: ".apk", and the split bundles ".xapk",
// ".apks", ".apkm" and ".zip" (letter case ignored).
extern const char* const kPackageExtensions[];
extern const size_t kPackageExtensionCount;
bool hasPackageExtension(const std::string& path);

// Class files of advertising libraries; each one present in the archive adds
// its display name to adNetworks, in this order.
struct AdClassProbe {
  const char* member;
  const char* name;
};
extern const AdClassProbe kAdClassProbes[];
extern const size_t kAdClassProbeCount;

// Largest members read whole; anything recorded larger rejects the package
// (manifest, table) or is skipped (icon).
constexpr size_t kMaxManifestSize = 64u << 20;
constexpr size_t kMaxResourceTableSize = 256u << 20;
constexpr size_t kMaxIconSize = 16u << 20;

// True when bytes start like a PNG, JPEG, GIF or BMP image.
bool isRasterImage(const uint8_t* bytes, size_t length);

// Takes the findings of a code scan (those of info.sdks first, then the
// code's) into info: sdks, adNetworks, analytics and codeScan. A cancelled
// scan changes nothing.
void applyCodeScan(PackageInfo& info, std::vector<SdkFinding> findings, CodeScanStatus status);

// A code scan left for later (setCodeScanLater): the file to scan and the
// two finding sections that wait for its result.
struct PendingCodeScan {
  std::string path;
  FindingSections sections;
};

// A signature check left for later (SignatureCheckMode::Later): the file and
// the section whose lines wait for its result.
struct PendingSignatureCheck {
  std::string path;
  ReportItem section = kReportRoot;
};

// The signature section without the check (its certificates only), with the
// check made during the load (the signature verified and the file's sums),
// or with the check left to the caller.
enum class SignatureCheckMode { Off, Now, Later };

class PackageLoader {
 public:
  PackageLoader(PackageInfo& info, PackageDisplay& display, const PermissionCatalog& catalog)
      : info_(info), display_(display), catalog_(catalog) {}

  // sizeShown: the caller has already stored fileSize and shown it.
  void load(const std::string& path, bool sizeShown);

  // Whether the load also reads the classes of the code for SDKs (inflating
  // every classes*.dex, with up to workers threads); off by default, so that
  // the load itself stays quick.
  void setCodeScan(bool on, unsigned workers = 1) {
    scanCode_ = on;
    scanWorkers_ = workers;
  }
  // Instead, leave the scan to the caller: the finding sections then say
  // kAnalysing, and pendingScan() tells what to scan and what to fill with
  // fillFindingSections afterwards. Nothing is pending for a refused file or
  // a package without internet access (its sections say "没有找到" either way).
  void setCodeScanLater(bool on) { scanLater_ = on; }
  const std::optional<PendingCodeScan>& pendingScan() const { return pending_; }

  void setSignatureCheck(SignatureCheckMode mode) { signatureMode_ = mode; }
  const std::optional<PendingSignatureCheck>& pendingSignatureCheck() const { return pendingSignature_; }

 private:
  void reject();
  void rejectWith(const std::string& message);
  void loadArchive(const std::string& path);
  // The manifest, resources, icon and class probes of one package; false
  // when the load stops there.
  bool analyzeArchive(class ApkArchive& archive, const std::string& path);
  void addFeatureSplits(const class ApkArchive& outer);
  void probeClasses(const class ApkArchive& archive);
  void resolveResources(class ApkArchive& archive);
  void readIcon(class ApkArchive& archive);

  PackageInfo& info_;
  PackageDisplay& display_;
  const PermissionCatalog& catalog_;
  bool scanCode_ = false;
  bool scanLater_ = false;
  std::optional<PendingCodeScan> pending_;
  unsigned scanWorkers_ = 1;
  SignatureCheckMode signatureMode_ = SignatureCheckMode::Off;
  std::optional<PendingSignatureCheck> pendingSignature_;
};

}  // namespace vantaro
