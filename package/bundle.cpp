#include "package/bundle.h"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "package/binary_xml.h"

namespace vantaro {
namespace {

constexpr size_t kMaxDescription = 4u << 20;  // manifest.json, info.json, meta.sai_*.json
constexpr size_t kMaxSplitManifest = 16u << 20;

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

struct SplitManifest {
  std::string packageName;
  std::string split;
  std::string configFor;
  int64_t versionCode = -1;
};

bool readSplitManifest(const ApkArchive& apk, SplitManifest& out) {
  std::vector<uint8_t> bytes;
  if (apk.read("AndroidManifest.xml", kMaxSplitManifest, bytes) != ApkArchive::ReadResult::Ok) return false;
  std::optional<std::string> xml = decodeBinaryXml(bytes.data(), bytes.size());
  if (!xml) return false;
  pugi::xml_document doc;
  if (!doc.load_buffer(xml->data(), xml->size(), pugi::parse_default, pugi::encoding_utf8)) return false;
  pugi::xml_node manifest = doc.child("manifest");
  if (!manifest) return false;
  out.packageName = manifest.attribute("package").value();
  out.split = manifest.attribute("split").value();
  out.configFor = manifest.attribute("configForSplit").value();
  if (pugi::xml_attribute code = manifest.attribute("versionCode")) out.versionCode = ParseLeadingInt(code.value());
  return !out.packageName.empty();
}

// "zh", "fil", "pt_BR", "zh-rTW", "b+sr+Latn".
bool isLanguage(std::string_view x) {
  if (x.rfind("b+", 0) == 0) return x.size() > 2;
  size_t n = 0;
  while (n < x.size() && x[n] >= 'a' && x[n] <= 'z') ++n;
  if (n != 2 && n != 3) return false;
  if (n == x.size()) return true;
  if ((x[n] != '_' && x[n] != '-') || n + 1 == x.size()) return false;
  return std::all_of(x.begin() + n + 1, x.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

}  // namespace

// What a split's name says it is, as the phone's split selection reads it.
void classifySplit(BundleSplit& s) {
  static const struct {
    const char* name;
    const char* abi;
  } kAbis[] = {{"armeabi", "armeabi"}, {"armeabi_v7a", "armeabi-v7a"}, {"arm64_v8a", "arm64-v8a"},
               {"x86", "x86"},         {"x86_64", "x86_64"},           {"mips", "mips"},
               {"mips64", "mips64"},   {"riscv64", "riscv64"}};
  static const char* const kDensities[] = {"ldpi", "mdpi", "tvdpi", "hdpi", "xhdpi", "xxhdpi", "xxxhdpi", "nodpi", "anydpi"};
  if (s.splitName.empty()) {
    s.kind = SplitKind::Base;
    return;
  }
  // "config.X" belongs to the base, "FEATURE.config.X" to that feature.
  std::string_view name = s.splitName;
  size_t config = name.rfind("config.");
  if (config == std::string_view::npos || (config > 0 && name[config - 1] != '.')) {
    s.kind = SplitKind::Feature;
    s.value = s.splitName;
    return;
  }
  if (config > 0 && s.configFor.empty()) s.configFor = std::string(name.substr(0, config - 1));
  std::string_view x = name.substr(config + 7);
  // aapt adds the platform version of the qualifier: "config.xxhdpi_v4".
  size_t version = x.rfind("_v");
  if (version != std::string_view::npos && version + 2 < x.size() &&
      std::all_of(x.begin() + version + 2, x.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    x = x.substr(0, version);
  }
  for (const auto& abi : kAbis) {
    if (x == abi.name) {
      s.kind = SplitKind::Abi;
      s.value = abi.abi;
      return;
    }
  }
  bool density = std::any_of(std::begin(kDensities), std::end(kDensities), [&](const char* d) { return x == d; });
  if (!density && x.size() > 3 && x.substr(x.size() - 3) == "dpi") {
    density = std::all_of(x.begin(), x.end() - 3, [](char c) { return c >= '0' && c <= '9'; });
  }
  if (density) {
    s.kind = SplitKind::Density;
    s.value = std::string(x);
    return;
  }
  s.kind = isLanguage(x) ? SplitKind::Language : SplitKind::Other;
  s.value = std::string(x);
}

namespace {

// A path on the phone for an expansion file: relative, under
// Android/obb/PACKAGE/, no "..", no backslash, nothing a shell reads.
bool isSafeObbPath(const std::string& path, const std::string& packageName) {
  std::string prefix = "Android/obb/" + packageName + "/";
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
  std::string_view rest(path);
  rest.remove_prefix(prefix.size());
  if (rest.find('/') != std::string_view::npos) return false;  // a file directly in the folder
  if (rest == "." || rest == "..") return false;
  return std::all_of(rest.begin(), rest.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
  });
}

bool readJson(const ApkArchive& outer, const char* member, nlohmann::json& out) {
  std::vector<uint8_t> bytes;
  if (outer.read(member, kMaxDescription, bytes) != ApkArchive::ReadResult::Ok) return false;
  out = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  return !out.is_discarded() && out.is_object();
}

std::string jsonText(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

bool openNestedArchive(const ApkArchive& outer, const std::string& member, uint64_t maxInflate, uint64_t& inflated,
                       ApkArchive& nested) {
  const ApkArchive::Member* m = outer.find(member);
  if (!m) return false;
  if (m->stored()) {
    uint64_t at = 0;
    if (!outer.dataOffset(*m, at)) return false;
    return nested.open(std::make_shared<SliceSource>(outer.source(), at, m->size));
  }
  if (m->size > maxInflate || m->size > kMaxBundleInflate - std::min(inflated, kMaxBundleInflate)) return false;
  std::vector<uint8_t> bytes;
  if (outer.read(*m, static_cast<size_t>(m->size), bytes) != ApkArchive::ReadResult::Ok) return false;
  inflated += bytes.size();
  return nested.open(std::make_shared<MemorySource>(std::move(bytes)));
}

BundleResult readBundle(const ApkArchive& outer) {
  BundleResult result;
  Bundle& bundle = result.bundle;
  nlohmann::json description;
  std::string declaredBase;
  if (readJson(outer, "manifest.json", description) && !jsonText(description, "package_name").empty()) {
    bundle.format = BundleFormat::Xapk;
    bundle.packageName = jsonText(description, "package_name");
    auto splits = description.find("split_apks");
    if (splits != description.end() && splits->is_array()) {
      for (const auto& s : *splits)
        if (s.is_object() && jsonText(s, "id") == "base") declaredBase = jsonText(s, "file");
    }
  } else if (outer.contains("toc.pb")) {
    bundle.format = BundleFormat::Apks;
  } else if (readJson(outer, "info.json", description) && description.contains("apkm_version")) {
    bundle.format = BundleFormat::Apkm;
  } else if (outer.contains("meta.sai_v1.json") || outer.contains("meta.sai_v2.json")) {
    bundle.format = BundleFormat::Sai;
  }

  uint64_t inflated = 0;
  std::vector<BundleSplit> bases;
  for (size_t i = 0; i < outer.memberCount(); ++i) {
    const ApkArchive::Member& m = outer.member(i);
    std::string name(outer.name(m));
    if (!endsWithNoCase(name, ".apk") || name.back() == '/') continue;
    if (bundle.splits.size() + bases.size() >= kMaxBundleSplits) {
      result.status = BundleStatus::TooMany;
      return result;
    }
    ApkArchive apk;
    SplitManifest manifest;
    if (!openNestedArchive(outer, name, kMaxNestedInflate, inflated, apk) || !readSplitManifest(apk, manifest)) {
      bool tooLarge = !m.stored() && (m.size > kMaxNestedInflate || inflated + m.size > kMaxBundleInflate);
      result.status = tooLarge ? BundleStatus::TooLarge : BundleStatus::Inconsistent;
      result.detail = name;
      return result;
    }
    BundleSplit split;
    split.member = name;
    split.splitName = manifest.split;
    split.configFor = manifest.configFor;
    split.size = m.size;
    split.standalone = name.rfind("standalones/", 0) == 0;
    classifySplit(split);
    // Every APK belongs to one package and one version.
    if (bundle.packageName.empty()) bundle.packageName = manifest.packageName;
    if (bundle.versionCode < 0) bundle.versionCode = manifest.versionCode;
    if (manifest.packageName != bundle.packageName || manifest.versionCode != bundle.versionCode) {
      result.status = BundleStatus::Inconsistent;
      result.detail = name;
      return result;
    }
    (split.kind == SplitKind::Base && !split.standalone ? bases : bundle.splits).push_back(std::move(split));
  }
  if (bundle.splits.empty() && bases.empty()) {
    result.status = BundleStatus::NotBundle;
    return result;
  }
  if (bases.size() > 1) {
    // Two whole APKs: the one the description calls the base, if it says.
    auto declared = std::find_if(bases.begin(), bases.end(), [&](const BundleSplit& b) { return b.member == declaredBase; });
    if (declared == bases.end()) {
      result.status = BundleStatus::Inconsistent;
      result.detail = bases[1].member;
      return result;
    }
    std::rotate(bases.begin(), declared, declared + 1);
    bases.resize(1);
  }
  if (bases.empty()) {
    result.status = BundleStatus::NoBase;
    return result;
  }
  bundle.splits.insert(bundle.splits.begin(), std::move(bases.front()));

  if (bundle.format == BundleFormat::Xapk) {
    auto expansions = description.find("expansions");
    if (expansions != description.end() && expansions->is_array()) {
      for (const auto& e : *expansions) {
        if (!e.is_object()) continue;
        BundleExpansion expansion;
        expansion.member = jsonText(e, "file");
        expansion.installPath = jsonText(e, "install_path");
        // A folder for a path: the file keeps its own name there.
        std::string folder = "Android/obb/" + bundle.packageName + "/";
        if (expansion.installPath == folder || expansion.installPath + "/" == folder) {
          size_t slash = expansion.member.find_last_of('/');
          expansion.installPath = folder + expansion.member.substr(slash == std::string::npos ? 0 : slash + 1);
        }
        const ApkArchive::Member* m = outer.find(expansion.member);
        if (!m || !isSafeObbPath(expansion.installPath, bundle.packageName)) {
          result.status = BundleStatus::Inconsistent;
          result.detail = expansion.member.empty() ? expansion.installPath : expansion.member;
          return result;
        }
        expansion.size = m->size;
        bundle.expansions.push_back(std::move(expansion));
      }
    }
  }
  result.status = BundleStatus::Ok;
  return result;
}

const char* splitKindText(SplitKind kind) {
  switch (kind) {
    case SplitKind::Base: return "基础包";
    case SplitKind::Abi: return "处理器架构";
    case SplitKind::Density: return "屏幕密度";
    case SplitKind::Language: return "语言";
    case SplitKind::Feature: return "功能模块";
    case SplitKind::Other: break;
  }
  return "其他配置";
}

const char* bundleFormatName(BundleFormat format) {
  switch (format) {
    case BundleFormat::Xapk: return "xapk";
    case BundleFormat::Apks: return "apks";
    case BundleFormat::Apkm: return "apkm";
    case BundleFormat::Sai: return "sai";
    case BundleFormat::SplitZip: break;
  }
  return "zip";
}

bool looksLikeEncryptedApkm(const std::string& gbkPath) {
  if (!endsWithNoCase(gbkPath, ".apkm")) return false;
  ReadOnlyFile file;
  uint8_t head[4];
  if (!file.open(gbkPath) || file.size() < 4 || !file.readExactly(0, head, sizeof head)) return false;
  return std::memcmp(head, "PK\x03\x04", 4) != 0;
}

}  // namespace vantaro
