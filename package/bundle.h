#pragma once
// Split bundles: a zip that holds an application as several APKs (APKPure's
// .xapk, bundletool's and split-installer apps' .apks, APKMirror's .apkm, or
// a plain zip of split APKs). The container's own description only helps to
// recognise it; what each APK is comes from its own manifest, as the phone's
// split selection reads it: no "split" attribute is the base, "config.X" is
// a configuration split (processor architecture, screen density or language)
// and any other name is a feature module.
//
// Nested APKs are read one level deep, in place when stored (a stretch of
// the outer file) and inflated into memory under caps when deflated.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/apk_archive.h"

namespace vantaro {

enum class BundleFormat { Xapk, Apks, Apkm, Sai, SplitZip };
enum class SplitKind { Base, Abi, Density, Language, Feature, Other };

struct BundleSplit {
  std::string member;       // its name in the outer archive (as recorded, UTF-8)
  std::string splitName;    // the manifest's "split"; empty for the base
  SplitKind kind = SplitKind::Other;
  std::string value;        // "arm64-v8a", "xxhdpi", "zh", or the feature's name
  std::string configFor;    // the feature a configuration split belongs to; empty for the base's
  uint64_t size = 0;        // bytes
  bool standalone = false;  // a whole APK for phones without split support
};

struct BundleExpansion {
  std::string member;
  std::string installPath;  // where it goes on the phone, checked to stay under Android/obb/PACKAGE/
  uint64_t size = 0;
};

struct Bundle {
  BundleFormat format = BundleFormat::SplitZip;
  std::vector<BundleSplit> splits;  // the base first, then the others in archive order
  std::vector<BundleExpansion> expansions;
  std::string packageName;
  int64_t versionCode = -1;

  const BundleSplit& base() const { return splits.front(); }
};

// Limits on what a bundle may make us read.
constexpr size_t kMaxBundleSplits = 200;
constexpr uint64_t kMaxNestedInflate = 512u << 20;      // one deflated APK inflated to read it
constexpr uint64_t kMaxBundleInflate = 1024ull << 20;   // all of them together

enum class BundleStatus {
  Ok,
  NotBundle,      // no APK inside, and no bundle description
  NoBase,         // APKs, but none is a base
  Inconsistent,   // a split of another package or version, two bases, a split that is no package
  TooMany,        // more than kMaxBundleSplits
  TooLarge,       // the caps above
};

struct BundleResult {
  BundleStatus status = BundleStatus::NotBundle;
  Bundle bundle;
  std::string detail;  // the member at fault, for the message
};

// Reads the bundle in outer (which holds no AndroidManifest.xml of its own).
BundleResult readBundle(const ApkArchive& outer);

// Opens a member of outer that is itself an archive: in place when stored,
// inflated into memory when deflated (at most maxInflate bytes; inflated is
// increased by what was inflated). False when it is no archive.
bool openNestedArchive(const ApkArchive& outer, const std::string& member, uint64_t maxInflate, uint64_t& inflated,
                       ApkArchive& nested);

// Sets kind, value (and configFor of a feature's configuration split) from
// splitName.
void classifySplit(BundleSplit& split);

// "处理器架构", "屏幕密度", "语言", "功能模块" ...
const char* splitKindText(SplitKind kind);
const char* bundleFormatName(BundleFormat format);  // "xapk", "apks", "apkm", "sai", "zip"

// True when the first bytes of a file with this name show an encrypted
// APKM (the name ends with .apkm and the data is no zip).
bool looksLikeEncryptedApkm(const std::string& gbkPath);

}  // namespace vantaro
