#include "package/loader.h"

#include <cstring>

#include "base/file.h"
#include "base/text.h"
#include "package/apk_archive.h"
#include "package/binary_xml.h"
#include "package/file_size.h"
#include "package/manifest.h"
#include "package/report.h"
#include "package/resource_table.h"

namespace vantaro {

const char* const kInvalidPackageMessage = "【错误】不是有效的APK文件";
const char* const kUnreadableFileMessage = "【错误】无法读取该文件，请确认文件存在且未被占用";

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

bool hasApkExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  std::string_view extension = dot == std::string::npos ? std::string_view(path) : std::string_view(path).substr(dot);
  return equalsNoCase(extension, ".apk");
}

}  // namespace

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

  std::string path = unquote(rawPath);
  if (!hasApkExtension(path)) return reject();
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
    reject();
  }
}

void PackageLoader::loadArchive(const std::string& path) {
  ApkArchive archive;
  if (!archive.open(path)) return reject();

  std::vector<uint8_t> bytes;
  switch (archive.read(kManifestMember, kMaxManifestSize, bytes)) {
    case ApkArchive::ReadResult::Missing:
      reject();
      break;
    case ApkArchive::ReadResult::CannotOpen:
      break;
    case ApkArchive::ReadResult::TooLarge:
    case ApkArchive::ReadResult::Corrupt:
      return reject();
    case ApkArchive::ReadResult::Ok: {
      std::optional<std::string> xml = decodeBinaryXml(bytes.data(), bytes.size());
      bytes = std::vector<uint8_t>();
      info_.path = path;
      if (!xml || !analyzeManifest(*xml, info_, display_)) {
        info_.analysisOk = false;
        display_.setMessage(kInvalidPackageMessage, StatusKind::Error);
        return;
      }
      break;
    }
  }

  resolveResources(archive);

  for (size_t i = 0; i < kAdClassProbeCount; ++i)
    if (archive.contains(kAdClassProbes[i].member)) info_.adNetworks.emplace_back(kAdClassProbes[i].name);
  archive.close();

  buildPermissionSection(info_, catalog_, display_);
  buildFindingSections(info_, display_);
  showSdCardSupport(info_, display_);
  if (info_.analysisOk) display_.setMessage(info_.label + "就绪", StatusKind::Progress);
}

void PackageLoader::resolveResources(ApkArchive& archive) {
  try {
    std::vector<uint8_t> table;
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
    table = std::vector<uint8_t>();

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
