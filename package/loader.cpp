#include "package/loader.h"

#include <cstring>
#include <ctime>

#include "base/file.h"
#include "base/text.h"
#include "package/apk_archive.h"
#include "package/binary_xml.h"
#include "package/bundle.h"
#include "package/compatibility.h"
#include "package/file_size.h"
#include "package/manifest.h"
#include "package/report.h"
#include "package/resource_table.h"

namespace vantaro {

const char* const kInvalidPackageMessage = "【错误】不是有效的APK文件";
const char* const kUnreadableFileMessage = "【错误】无法读取该文件，请确认文件存在且未被占用";
const char* const kEncryptedApkmMessage =
    "【错误】这是加密的APKM文件，Vantaro无法读取，请用APKMirror的安装工具打开，或下载未加密的安装包";

const AdClassProbe kAdClassProbes[] = {
    {"com/adpooh/adscast/AdsWebViewActivity.class", "迷笛广告"},
    {"net/youmi/android/spotad/a.class", "有米广告"},
    {"net/youmi/android/a.class", "有米广告"},
    {"com/wiyun/ad/a.class", "微云广告"},
    {"com/casee/adsdk/a.class", "架势广告"},
};
const size_t kAdClassProbeCount = sizeof kAdClassProbes / sizeof kAdClassProbes[0];

namespace {

const char* const kManifestMember = "AndroidManifest.xml";
const char* const kResourceMember = "resources.arsc";

// The shell's PathUnquoteSpaces: only a text that both starts and ends with a quote.
std::string unquote(const std::string& path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
  return path;
}

}  // namespace

const char* const kPackageExtensions[] = {".apk", ".xapk", ".apks", ".apkm", ".zip"};
const size_t kPackageExtensionCount = sizeof kPackageExtensions / sizeof kPackageExtensions[0];

bool hasPackageExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  std::string_view extension = dot == std::string::npos ? std::string_view(path) : std::string_view(path).substr(dot);
  for (const char* known : kPackageExtensions)
    if (equalsNoCase(extension, known)) return true;
  return false;
}

bool isRasterImage(const uint8_t* b, size_t n) {
  if (!b) return false;
  if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return true;
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return true;
  if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) return true;
  if (n >= 14 && b[0] == 'B' && b[1] == 'M') return true;
  return false;
}

void PackageLoader::reject() {
  info_.path.clear();
  info_.analysisOk = false;
  display_.setMessage(kInvalidPackageMessage, StatusKind::Error);
}

void PackageLoader::load(const std::string& rawPath, bool sizeShown) {
  display_.setMessage("就绪", StatusKind::Progress);
  info_.reset();
  info_.iconImage.clear();
  for (int id : {kVersionField, kPackageNameField, kMinReleaseField, kSdCardField, kLabelField}) display_.setText(id, "");
  if (!sizeShown) display_.setText(kFileSizeField, "");
  display_.setIcon(nullptr, 0);
  display_.clearReport();
  pending_.reset();
  pendingSignature_.reset();

  std::string path = unquote(rawPath);
  if (!hasPackageExtension(path)) return reject();
  if (!sizeShown) {
    int64_t size = fileLength(path);
    if (size < 0) {
      info_.path.clear();
      info_.analysisOk = false;
      display_.setMessage(kUnreadableFileMessage, StatusKind::Error);
      return;
    }
    info_.fileSize = size;
    display_.setText(kFileSizeField, formatFileSize(size));
  }
  try {
    loadArchive(path);
  } catch (const std::exception&) {
    // Out of memory somewhere in the analysis: the package is not shown.
    display_.clearReport();
    pending_.reset();
    pendingSignature_.reset();
    reject();
  }
}

void PackageLoader::rejectWith(const std::string& message) {
  info_.path.clear();
  info_.analysisOk = false;
  display_.setMessage(message, StatusKind::Error);
}

void PackageLoader::loadArchive(const std::string& path) {
  ApkArchive outer;
  if (!outer.open(path, ApkArchive::ReadAhead::Analysis)) {
    return looksLikeEncryptedApkm(path) ? rejectWith(kEncryptedApkmMessage) : reject();
  }

  // A zip without a manifest of its own may be a split bundle: then its base
  // is the package analysed, read from inside the bundle.
  ApkArchive base;
  ApkArchive* apk = &outer;
  if (!outer.contains(kManifestMember)) {
    BundleResult bundle = readBundle(outer);
    switch (bundle.status) {
      case BundleStatus::NotBundle:
        break;
      case BundleStatus::Ok: {
        uint64_t inflated = 0;
        if (!openNestedArchive(outer, bundle.bundle.base().member, kMaxNestedInflate, inflated, base)) return reject();
        apk = &base;
        info_.bundle = std::move(bundle.bundle);
        break;
      }
      case BundleStatus::NoBase:
        return reject();
      case BundleStatus::Inconsistent:
        return rejectWith("【错误】安装包组成有误：“" + utf8ToGbk(bundle.detail) + "”与基础包不属于同一应用或同一版本，或不是有效的APK文件");
      case BundleStatus::TooMany:
        return rejectWith("【错误】安装包中的拆分包过多，无法读取");
      case BundleStatus::TooLarge:
        return rejectWith("【错误】安装包中的文件过大，无法读取");
    }
  }
  if (!analyzeArchive(*apk, path)) return;
  if (info_.bundle)
    readBundleNativeLibraries(outer, *apk, *info_.bundle, info_.compat);
  else
    readNativeLibraries(*apk, info_.compat);
  if (info_.bundle) addFeatureSplits(outer);
  // Manifest keys and class probes of every part first, then the code.
  if (scanCode_) {
    std::vector<SdkFinding> findings = info_.sdks;
    const Bundle* bundle = info_.bundle ? &*info_.bundle : nullptr;
    CodeScanStatus status = scanPackageCode(*apk, bundle ? &outer : nullptr, bundle, SdkCatalog::Builtin(), findings,
                                            nullptr, scanWorkers_);
    applyCodeScan(info_, std::move(findings), status);
  }

  buildPermissionSection(info_, catalog_, display_);
  if (scanLater_ && !scanCode_ && info_.usesInternet) {
    pending_ = PendingCodeScan{path, buildPendingFindingSections(display_)};
  } else {
    buildFindingSections(info_, display_);
  }
  buildCompatibilitySection(info_, display_);
  if (info_.bundle) buildCompositionSection(*info_.bundle, display_);
  info_.signature = readSignatureFacts(*apk, info_.bundle ? std::string() : path, std::time(nullptr));
  switch (signatureMode_) {
    case SignatureCheckMode::Off:
      buildSignatureSection(info_.signature, nullptr, false, display_);
      break;
    case SignatureCheckMode::Now:
      info_.signatureCheck = checkPackageFile(path, true);
      buildSignatureSection(info_.signature, &*info_.signatureCheck, false, display_);
      break;
    case SignatureCheckMode::Later:
      pendingSignature_ = PendingSignatureCheck{path, buildSignatureSection(info_.signature, nullptr, true, display_)};
      break;
  }
  showSdCardSupport(info_, display_);
  if (info_.analysisOk) display_.setMessage(info_.label + "就绪", StatusKind::Progress);
}

void PackageLoader::probeClasses(const ApkArchive& archive) {
  for (size_t i = 0; i < kAdClassProbeCount; ++i)
    if (archive.contains(kAdClassProbes[i].member)) info_.addSdk(kAdClassProbes[i].name, "广告", kAdClassProbes[i].member);
}

void applyCodeScan(PackageInfo& info, std::vector<SdkFinding> findings, CodeScanStatus status) {
  using CodeScan = PackageInfo::CodeScan;
  switch (status) {
    case CodeScanStatus::Cancelled:
      return;
    case CodeScanStatus::Ok:
      info.codeScan = CodeScan::Ok;
      break;
    case CodeScanStatus::Incomplete:
      info.codeScan = CodeScan::Incomplete;
      break;
    case CodeScanStatus::NoCode:
      info.codeScan = CodeScan::NoCode;
      break;
  }
  info.sdks = std::move(findings);
  // The findings of the code join the lists the report shows.
  info.adNetworks.clear();
  info.analytics.clear();
  for (const SdkFinding& f : info.sdks) (isAdvertisingKind(f.kind) ? info.adNetworks : info.analytics).push_back(f.name);
}

void PackageLoader::addFeatureSplits(const ApkArchive& outer) {
  uint64_t inflated = 0;
  for (const BundleSplit& split : info_.bundle->splits) {
    if (split.kind != SplitKind::Feature) continue;
    ApkArchive feature;
    std::vector<uint8_t> bytes;
    if (!openNestedArchive(outer, split.member, kMaxNestedInflate, inflated, feature) ||
        feature.read(kManifestMember, kMaxManifestSize, bytes) != ApkArchive::ReadResult::Ok) {
      continue;  // read whole when the bundle was; a later failure only loses its findings
    }
    if (std::optional<std::string> xml = decodeBinaryXml(bytes.data(), bytes.size())) analyzeFeatureManifest(*xml, info_);
    probeClasses(feature);
  }
}

bool PackageLoader::analyzeArchive(ApkArchive& archive, const std::string& path) {
  std::vector<uint8_t> bytes;
  switch (archive.read(kManifestMember, kMaxManifestSize, bytes)) {
    case ApkArchive::ReadResult::Missing:
      reject();
      break;
    case ApkArchive::ReadResult::CannotOpen:
      break;
    case ApkArchive::ReadResult::TooLarge:
    case ApkArchive::ReadResult::Corrupt:
      reject();
      return false;
    case ApkArchive::ReadResult::Ok: {
      std::optional<std::string> xml = decodeBinaryXml(bytes.data(), bytes.size());
      bytes = std::vector<uint8_t>();
      info_.path = path;
      if (!xml || !analyzeManifest(*xml, info_, display_)) {
        info_.analysisOk = false;
        display_.setMessage(kInvalidPackageMessage, StatusKind::Error);
        return false;
      }
      break;
    }
  }

  resolveResources(archive);
  probeClasses(archive);
  return true;
}

void PackageLoader::resolveResources(ApkArchive& archive) {
  try {
    ApkArchive::Contents table;
    switch (archive.read(kResourceMember, kMaxResourceTableSize, table)) {
      case ApkArchive::ReadResult::Missing:
        reject();
        break;
      case ApkArchive::ReadResult::TooLarge:
      case ApkArchive::ReadResult::Corrupt:
        reject();
        return;
      case ApkArchive::ReadResult::CannotOpen:
        break;
      case ApkArchive::ReadResult::Ok:
        readResourceTable(table.data(), table.size(), info_);
        break;
    }
    table.release();

    // A reference the table resolves nowhere leaves its field empty.
    auto unresolved = [this](const char* field, uint8_t package, uint8_t type, uint16_t entry) {
      info_.unresolved.push_back({field, (uint32_t{package} << 24) | (uint32_t{type} << 16) | entry});
    };
    if (info_.labelIsRef) {
      std::optional<std::string> label = info_.labelTypeTable.text(info_.labelEntry);
      if (label && !label->empty()) {
        info_.label = *label;
        display_.setText(kLabelField, info_.label);
      } else {
        unresolved("label", info_.labelPackage, info_.labelType, info_.labelEntry);
      }
    }
    if (info_.versionIsRef) {
      std::optional<std::string> version = info_.versionTypeTable.text(info_.versionEntry);
      if (version && !version->empty()) {
        info_.versionName = *version;
        display_.setText(kVersionField, info_.versionName);
      } else {
        unresolved("versionName", info_.versionPackage, info_.versionType, info_.versionEntry);
      }
    }
    if (info_.iconType != 0) {
      std::optional<std::string> icon = info_.iconTypeTable.lastDefined(info_.iconEntry);
      if (!icon || icon->empty()) unresolved("icon", info_.iconPackage, info_.iconType, info_.iconEntry);
    }
    readIcon(archive);
  } catch (const std::bad_alloc&) {
    // The rest of the resource steps are skipped; the report still follows.
  }
}

void PackageLoader::readIcon(ApkArchive& archive) {
  std::optional<std::string> primary = info_.iconTypeTable.lastDefined(info_.iconEntry);
  if (!primary || primary->empty()) return;
  // The member the table names; when that is no picture (an adaptive icon's
  // XML, say), the raster image of the highest density.
  std::vector<std::string> names{*primary};
  for (std::string& other : info_.iconTypeTable.byDensity(info_.iconEntry))
    if (other != *primary) names.push_back(std::move(other));
  for (const std::string& name : names) {
    std::vector<uint8_t> bytes;
    if (archive.read(name, kMaxIconSize, bytes) != ApkArchive::ReadResult::Ok) continue;
    if (!isRasterImage(bytes.data(), bytes.size())) continue;
    info_.iconImage = std::move(bytes);
    info_.iconMember = name;
    display_.setIcon(info_.iconImage.data(), info_.iconImage.size());
    return;
  }
}

}  // namespace vantaro
