#pragma once
// Which advertising, analytics, push, crash-collection and attribution SDKs
// a package carries, found by class-name prefix in its classes*.dex members.
// The catalogue is the data file package/sdk_catalog.tsv, compiled in.

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

class ApkArchive;
struct Bundle;

struct Sdk {
  std::string id;
  std::string name;  // GBK, as the report shows it
  std::string kind;  // GBK: "广告", "统计", "推送", "崩溃收集", "归因" ...
  std::vector<std::string> prefixes;
};

// Whether SDKs of a kind show under "广告检测" (every other kind shows under
// "统计信息").
bool isAdvertisingKind(const std::string& kind);

class SdkCatalog {
 public:
  // The catalogue compiled into the program.
  static const SdkCatalog& Builtin();
  // Lines "ID<TAB>NAME<TAB>KIND<TAB>PREFIX PREFIX…" (GBK, as the compiled
  // text is); "#" starts a comment. Malformed lines are skipped.
  static SdkCatalog Parse(std::string_view text);

  const std::vector<Sdk>& sdks() const { return sdks_; }

 private:
  std::vector<Sdk> sdks_;
};

struct SdkFinding {
  std::string name;      // GBK
  std::string kind;      // GBK
  std::string evidence;  // the first matching class, or the manifest key or member
};

enum class CodeScanStatus {
  Ok,          // every classes*.dex was read
  NoCode,      // the package has no classes.dex
  Incomplete,  // some dex member could not be read (too large, damaged, no dex); the rest was
  Cancelled,   // stopped on request before the end; the findings are partial
};

// Largest dex member inflated for the scan.
constexpr size_t kMaxDexSize = 256u << 20;

// Threads worth giving one package's scan when nothing else runs beside it.
unsigned CodeScanWorkers();

// Adds to findings each SDK of the catalogue whose classes the archive's
// classes.dex, classes2.dex … define, unless findings already names it; the
// evidence is the first member's that names the SDK. Up to workers threads
// read members at once (one member each). cancel, when given, is checked
// before each dex member and each SDK.
CodeScanStatus scanCode(const ApkArchive& archive, const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                        const std::atomic<bool>* cancel = nullptr, unsigned workers = 1);

// The code of a whole package: apk (a package, or a bundle's base) and, when
// bundle is given, the feature splits it names inside outer, in that order.
// Ok only when every part's code was read; NoCode when no part has any.
CodeScanStatus scanPackageCode(const ApkArchive& apk, const ApkArchive* outer, const Bundle* bundle,
                               const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                               const std::atomic<bool>* cancel = nullptr, unsigned workers = 1);

// The same for the package or bundle at path, opened here (for a worker that
// has nothing but the path). A file that no longer opens as the package it
// was is Incomplete.
CodeScanStatus scanPackageFile(const std::string& path, const SdkCatalog& catalog, std::vector<SdkFinding>& findings,
                               const std::atomic<bool>* cancel = nullptr, unsigned workers = 1);

}  // namespace vantaro
