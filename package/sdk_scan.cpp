#include "package/sdk_scan.h"

#include <algorithm>
#include <thread>

#include "package/apk_archive.h"
#include "package/bundle.h"
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
}  // namespace

bool isAdvertisingKind(const std::string& kind) { return kind == "广告"; }

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

unsigned CodeScanWorkers() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

CodeScanStatus scanCode(const ApkArchive& archive, const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                        const std::atomic<bool>* cancel, unsigned workers) {
  auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
  // The phone's runtime loads classes.dex, classes2.dex, classes3.dex … up
  // to the first number missing; a member past that gap is never run.
  std::vector<std::pair<int, const ApkArchive::Member*>> dexes;
  for (int n = 1; n < 10000; ++n) {
    const ApkArchive::Member* m = archive.find(n == 1 ? std::string("classes.dex") : "classes" + std::to_string(n) + ".dex");
    if (!m) break;
    dexes.emplace_back(n, m);
  }
  if (dexes.empty()) return CodeScanStatus::NoCode;

  // Each dex member is read and searched on its own (by several threads when
  // there are several members); the findings are then taken in member order,
  // so the first member that names an SDK gives its evidence, as a scan in
  // one thread would.
  struct Result {
    bool read = false;
    std::vector<std::string> evidence;  // per SDK of the catalogue; empty = none
  };
  std::vector<Result> results(dexes.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> stopped{false};
  // Each thread's buffer is made as large as the largest member at once:
  // grown member by member, it would hold the old and the new buffer at the
  // same time, and the freed ones stay in the thread's heap.
  uint64_t largest = 0;
  for (const auto& dex : dexes) largest = std::max(largest, dex.second->size);
  largest = std::min<uint64_t>(largest, kMaxDexSize);
  auto work = [&] {
    std::vector<uint8_t> bytes;
    try {
      bytes.reserve(static_cast<size_t>(largest));
    } catch (const std::bad_alloc&) {
      // Grown as members need it, then.
    }
    for (size_t k; (k = next++) < dexes.size();) {
      if (cancelled()) {
        stopped = true;
        return;
      }
      Result& result = results[k];
      try {
        DexIndex index;
        if (archive.read(*dexes[k].second, kMaxDexSize, bytes) != ApkArchive::ReadResult::Ok ||
            !index.open(bytes.data(), bytes.size())) {
          continue;
        }
        result.evidence.resize(catalog.sdks().size());
        for (size_t i = 0; i < catalog.sdks().size(); ++i) {
          if (cancelled()) {
            stopped = true;
            return;
          }
          for (const std::string& prefix : catalog.sdks()[i].prefixes) {
            result.evidence[i] = index.firstClassWithPrefix(prefix);
            if (!result.evidence[i].empty()) break;
          }
        }
        result.read = true;
      } catch (const std::bad_alloc&) {
        // Out of memory for this member: it stays unread, the others go on.
        bytes = std::vector<uint8_t>();
        result = Result();
      }
    }
  };
  // Every further thread holds a member's worth of memory more: past the
  // first, as many as fit in 24 MiB.
  constexpr uint64_t kExtraThreadMemory = 24u << 20;
  size_t byMemory = 1 + static_cast<size_t>(kExtraThreadMemory / std::max<uint64_t>(largest, 1));
  size_t threads = std::min({static_cast<size_t>(std::max(workers, 1u)), dexes.size(), byMemory});
  {
    std::vector<std::jthread> helpers;
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }
  if (stopped || cancelled()) return CodeScanStatus::Cancelled;

  auto known = [&findings](const std::string& name) {
    return std::any_of(findings.begin(), findings.end(), [&](const SdkFinding& f) { return f.name == name; });
  };
  CodeScanStatus status = CodeScanStatus::Ok;
  for (Result& result : results) {
    if (!result.read) {
      status = CodeScanStatus::Incomplete;
      continue;
    }
    for (size_t i = 0; i < result.evidence.size(); ++i) {
      const Sdk& sdk = catalog.sdks()[i];
      if (result.evidence[i].empty() || known(sdk.name)) continue;
      findings.push_back({sdk.name, sdk.kind, std::move(result.evidence[i])});
    }
  }
  return status;
}

namespace {

// The status of several parts together: Cancelled, then Incomplete, then Ok
// (some code read), then NoCode.
CodeScanStatus combine(CodeScanStatus a, CodeScanStatus b) {
  for (CodeScanStatus s : {CodeScanStatus::Cancelled, CodeScanStatus::Incomplete, CodeScanStatus::Ok})
    if (a == s || b == s) return s;
  return CodeScanStatus::NoCode;
}

}  // namespace

CodeScanStatus scanPackageCode(const ApkArchive& apk, const ApkArchive* outer, const Bundle* bundle,
                               const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                               const std::atomic<bool>* cancel, unsigned workers) {
  CodeScanStatus status = scanCode(apk, catalog, findings, cancel, workers);
  if (!outer || !bundle) return status;
  uint64_t inflated = 0;
  for (const BundleSplit& split : bundle->splits) {
    if (status == CodeScanStatus::Cancelled) break;
    if (split.kind != SplitKind::Feature) continue;
    ApkArchive feature;
    if (!openNestedArchive(*outer, split.member, kMaxNestedInflate, inflated, feature)) {
      status = combine(status, CodeScanStatus::Incomplete);
      continue;
    }
    status = combine(status, scanCode(feature, catalog, findings, cancel, workers));
  }
  return status;
}

CodeScanStatus scanPackageFile(const std::string& path, const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                               const std::atomic<bool>* cancel, unsigned workers) {
  ApkArchive outer;
  if (!outer.open(path)) return CodeScanStatus::Incomplete;
  if (outer.contains("AndroidManifest.xml")) return scanPackageCode(outer, nullptr, nullptr, catalog, findings, cancel, workers);
  BundleResult bundle = readBundle(outer);
  if (bundle.status != BundleStatus::Ok) return CodeScanStatus::Incomplete;
  ApkArchive base;
  uint64_t inflated = 0;
  if (!openNestedArchive(outer, bundle.bundle.base().member, kMaxNestedInflate, inflated, base))
    return CodeScanStatus::Incomplete;
  return scanPackageCode(base, &outer, &bundle.bundle, catalog, findings, cancel, workers);
}

}  // namespace vantaro
