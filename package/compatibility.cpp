#include "package/compatibility.h"

#include <algorithm>
#include <cstring>

#include "base/numbers.h"
#include "package/apk_archive.h"
#include "package/binary_xml.h"
#include "package/bundle.h"
#include "package/elf.h"

namespace vantaro {
namespace {

bool isTrue(const pugi::xml_attribute& a) { return a && std::strcmp(a.value(), "true") == 0; }

// "lib/ABI/NAME.so" directly in an ABI folder: the ABI, else empty.
std::string libraryAbi(std::string_view name) {
  constexpr std::string_view kPrefix = "lib/";
  if (name.size() <= kPrefix.size() || name.substr(0, kPrefix.size()) != kPrefix) return std::string();
  std::string_view rest = name.substr(kPrefix.size());
  size_t slash = rest.find('/');
  if (slash == std::string_view::npos || slash == 0) return std::string();
  std::string_view file = rest.substr(slash + 1);
  if (file.find('/') != std::string_view::npos || file.size() <= 3 || file.substr(file.size() - 3) != ".so")
    return std::string();
  return std::string(rest.substr(0, slash));
}

// Whether one library is ready for 16 KB pages; when not, says whether its
// place in the archive is the reason.
bool libraryReady(const ApkArchive& archive, const ApkArchive::Member& member, bool& byOffset) {
  byOffset = false;
  uint64_t at = 0;
  if (!archive.dataOffset(member, at)) return false;
  // A stored library is mapped straight from the package file.
  if (member.stored() && at % kLargePageSize != 0) {
    byOffset = true;
    return false;
  }
  std::vector<uint8_t> head;
  if (archive.readPrefix(member, 64, head) != ApkArchive::ReadResult::Ok) return false;
  uint64_t end = elfHeadersEnd(head.data(), head.size());
  if (end == 0 || end > kMaxElfHeaderBytes) return false;
  if (end > head.size() && archive.readPrefix(member, static_cast<size_t>(end), head) != ApkArchive::ReadResult::Ok)
    return false;
  ElfHeaders elf = readElfHeaders(head.data(), head.size());
  return elf.status == ElfHeaders::Status::Ok && elf.loadSegments > 0 && elf.smallestLoadAlign >= kLargePageSize;
}

}  // namespace

int32_t Compatibility::effectiveTarget(int32_t minSdk) const {
  if (targetSdk > 0) return targetSdk;
  return minSdk > 0 ? minSdk : 1;
}

bool is64BitAbi(const std::string& abi) { return abi == "arm64-v8a" || abi == "x86_64" || abi == "riscv64"; }

void readManifestCompatibility(const pugi::xml_document& doc, Compatibility& facts) {
  pugi::xml_node manifest = doc.child("manifest");
  // The uses-sdk the minimum level comes from.
  pugi::xml_node sdk = doc.select_node("manifest//uses-sdk").node();
  if (pugi::xml_attribute target = sdk.attribute("targetSdkVersion")) facts.targetSdk = ParseLeadingInt(target.value());
  if (facts.targetSdk <= 0) facts.targetSdk = -1;
  for (pugi::xml_node feature : manifest.children("uses-feature")) {
    pugi::xml_attribute required = feature.attribute("required");
    if (required && std::strcmp(required.value(), "false") == 0) continue;
    std::string name = feature.attribute("name").value();
    if (!name.empty()) {
      if (facts.features.size() >= kMaxFeatures) continue;
      if (std::find(facts.features.begin(), facts.features.end(), name) == facts.features.end())
        facts.features.push_back(std::move(name));
    } else if (pugi::xml_attribute gl = feature.attribute("glEsVersion")) {
      uint32_t version = static_cast<uint32_t>(std::strtoul(gl.value(), nullptr, 0));
      facts.glEsVersion = std::max(facts.glEsVersion, version);
    }
  }
  pugi::xml_node application = manifest.child("application");
  facts.debuggable = isTrue(application.attribute("debuggable"));
  facts.testOnly = isTrue(application.attribute("testOnly"));
  facts.requiredSplitTypes = manifest.attribute("requiredSplitTypes").value();
  facts.splitRequired = isTrue(application.attribute("isSplitRequired")) || !facts.requiredSplitTypes.empty();
}

void readNativeLibraries(const ApkArchive& archive, Compatibility& facts) {
  size_t checked = 0;
  for (uint32_t i : archive.membersIn(ApkArchive::Folder::Lib)) {
    const ApkArchive::Member& member = archive.member(i);
    std::string abi = libraryAbi(archive.name(member));
    if (abi.empty()) continue;
    if (std::find(facts.abis.begin(), facts.abis.end(), abi) == facts.abis.end()) {
      if (facts.abis.size() >= kMaxAbiFolders) continue;  // a hostile archive's thousands of folders
      facts.abis.push_back(abi);
    }
    if (!is64BitAbi(abi) || checked >= kMaxCheckedLibraries) continue;
    ++checked;
    bool byOffset = false;
    bool ready = libraryReady(archive, member, byOffset);
    if (facts.pages == PageReadiness::NotReady) continue;  // the first one found is the one named
    if (ready) {
      facts.pages = PageReadiness::Ready;
    } else {
      facts.pages = PageReadiness::NotReady;
      facts.firstUnready = std::string(archive.name(member));
      facts.unreadyByOffset = byOffset;
    }
  }
}

void readBundleNativeLibraries(const ApkArchive& outer, const ApkArchive& base, const Bundle& bundle,
                               Compatibility& facts) {
  readNativeLibraries(base, facts);
  uint64_t inflated = 0;
  for (const BundleSplit& split : bundle.splits) {
    if (split.kind == SplitKind::Language && split.value.size() >= 2 &&
        (split.value.size() == 2 || split.value[2] == '-' || split.value[2] == '_')) {
      auto lower = [](char c) { return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
      uint16_t code = static_cast<uint16_t>(lower(split.value[0]) | (lower(split.value[1]) << 8));
      if (std::find(facts.languageCodes.begin(), facts.languageCodes.end(), code) == facts.languageCodes.end())
        facts.languageCodes.push_back(code);
      facts.languages = static_cast<int>(facts.languageCodes.size());
    }
    if (split.standalone || split.kind == SplitKind::Base || split.kind == SplitKind::Density ||
        split.kind == SplitKind::Language)
      continue;
    ApkArchive nested;
    if (openNestedArchive(outer, split.member, kMaxNestedInflate, inflated, nested)) readNativeLibraries(nested, facts);
  }
}

bool readInstallCompatibility(const ApkArchive& apk, const ApkArchive* outer, const Bundle* bundle, int32_t& minSdk,
                              Compatibility& facts) {
  constexpr size_t kMaxManifest = 64u << 20;
  facts = Compatibility();
  minSdk = -1;
  try {
    std::vector<uint8_t> bytes;
    if (apk.read("AndroidManifest.xml", kMaxManifest, bytes) != ApkArchive::ReadResult::Ok) return false;
    std::optional<std::string> xml = decodeBinaryXml(bytes.data(), bytes.size());
    if (!xml) return false;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml->data(), xml->size(), pugi::parse_default, pugi::encoding_utf8)) return false;
    pugi::xml_attribute min = doc.select_node("manifest//uses-sdk").node().attribute("minSdkVersion");
    if (min) minSdk = ParseLeadingInt(min.value());
    readManifestCompatibility(doc, facts);
    if (outer && bundle)
      readBundleNativeLibraries(*outer, apk, *bundle, facts);
    else
      readNativeLibraries(apk, facts);
    return true;
  } catch (const std::exception&) {
    return false;  // out of memory
  }
}

}  // namespace vantaro
