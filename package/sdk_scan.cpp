#include "package/sdk_scan.h"

#include <algorithm>

#include "package/apk_archive.h"
#include "package/dex.h"

namespace vantaro {

extern const char kSdkCatalogText[];

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    out.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

// classes.dex, classes2.dex, classes3.dex …: the number, 1 for the first.
int dexNumber(std::string_view name) {
  constexpr std::string_view kStart = "classes", kEnd = ".dex";
  if (name.size() < kStart.size() + kEnd.size() || name.substr(0, kStart.size()) != kStart ||
      name.substr(name.size() - kEnd.size()) != kEnd) {
    return 0;
  }
  std::string_view digits = name.substr(kStart.size(), name.size() - kStart.size() - kEnd.size());
  if (digits.empty()) return 1;
  if (digits.size() > 4 || digits[0] == '0') return 0;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n >= 2 ? n : 0;
}

}  // namespace

bool Sdk::advertising() const { return kind == "广告"; }

const SdkCatalog& SdkCatalog::Builtin() {
  static const SdkCatalog catalog = Parse(kSdkCatalogText);
  return catalog;
}

SdkCatalog SdkCatalog::Parse(std::string_view text) {
  SdkCatalog catalog;
  for (std::string_view line : split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() != 4 || fields[0].empty() || fields[1].empty() || fields[2].empty()) continue;
    Sdk sdk{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), {}};
    for (std::string_view prefix : split(fields[3], ' '))
      if (!prefix.empty()) sdk.prefixes.emplace_back(prefix);
    if (!sdk.prefixes.empty()) catalog.sdks_.push_back(std::move(sdk));
  }
  return catalog;
}

CodeScanStatus scanCode(const ApkArchive& archive, const SdkCatalog& catalog, std::vector<SdkFinding>& findings) {
  std::vector<std::pair<int, const ApkArchive::Member*>> dexes;
  for (size_t i = 0; i < archive.memberCount(); ++i) {
    const ApkArchive::Member& m = archive.member(i);
    if (int n = dexNumber(archive.name(m))) dexes.emplace_back(n, &m);
  }
  if (dexes.empty()) return CodeScanStatus::NoCode;
  std::sort(dexes.begin(), dexes.end());

  auto known = [&findings](const std::string& name) {
    return std::any_of(findings.begin(), findings.end(), [&](const SdkFinding& f) { return f.name == name; });
  };
  CodeScanStatus status = CodeScanStatus::Ok;
  std::vector<uint8_t> bytes;
  for (const auto& dex : dexes) {
    DexIndex index;
    if (archive.read(*dex.second, kMaxDexSize, bytes) != ApkArchive::ReadResult::Ok ||
        !index.open(bytes.data(), bytes.size())) {
      status = CodeScanStatus::Incomplete;
      continue;
    }
    for (const Sdk& sdk : catalog.sdks()) {
      if (known(sdk.name)) continue;
      for (const std::string& prefix : sdk.prefixes) {
        std::string evidence = index.firstClassWithPrefix(prefix);
        if (evidence.empty()) continue;
        findings.push_back({sdk.name, sdk.kind, std::move(evidence)});
        break;
      }
    }
  }
  return status;
}

}  // namespace vantaro
