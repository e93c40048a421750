#pragma once
// Which advertising, analytics, push, crash-collection and attribution SDKs
// a package carries, found by class-name prefix in its classes*.dex members.
// The catalogue is the data file package/sdk_catalog.tsv, compiled in.

#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

class ApkArchive;

struct Sdk {
  std::string id;
  std::string name;  // GBK, as the report shows it
  std::string kind;  // GBK: "广告", "统计", "推送", "崩溃收集", "归因" ...
  std::vector<std::string> prefixes;
  bool advertising() const;  // shown under "广告检测"; every other kind under "统计信息"
};

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
};

// Largest dex member inflated for the scan.
constexpr size_t kMaxDexSize = 256u << 20;

// Adds to findings each SDK of the catalogue whose classes the archive's
// classes.dex, classes2.dex … define, unless findings already names it.
CodeScanStatus scanCode(const ApkArchive& archive, const SdkCatalog& catalog, std::vector<SdkFinding>& findings);

}  // namespace vantaro
