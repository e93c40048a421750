#pragma once
// Reads the compiled resource table (resources.arsc) just far enough to turn
// the label, version name and icon references of the manifest into texts.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "package/string_pool.h"

namespace vantaro {

struct PackageInfo;

// The parts of a resource configuration that choose between values here.
struct ResourceConfig {
  char language[2] = {0, 0};
  char country[2] = {0, 0};
  uint16_t density = 0;  // 0 default, 120 ldpi, 160 mdpi, 240 hdpi ... 0xFFFE any, 0xFFFF none
};

struct ResourceCandidate {
  ResourceConfig config;
  StoredPoolString value;
};

// The string values of one resource type, by entry index. Only the entries
// someone asked for are kept; the strings are converted when looked up.
class ResourceTypeTable {
 public:
  uint8_t packageId() const { return packageId_; }
  uint8_t typeId() const { return typeId_; }
  size_t entryCount() const { return entryCount_; }
  // Prepares the table for one type of one package and the entries that will
  // be looked up.
  void expect(uint8_t packageId, uint8_t typeId, std::vector<uint16_t> entries);
  bool wants(uint16_t entry) const;
  // Sets the number of entries (from the type's typeSpec chunk).
  void resize(size_t count);
  void add(uint16_t entry, const ResourceConfig& config, StoredPoolString value);

  // The entry's text for a Simplified Chinese reader: a zh-CN value first,
  // then plain zh, then the default configuration, then other Chinese, then
  // any; among equals the one defined last. Nothing when the entry lies
  // outside the table; empty when no configuration defines it.
  std::optional<std::string> text(uint16_t entry) const;
  // The value of the configuration defined last.
  std::optional<std::string> lastDefined(uint16_t entry) const;
  // Every distinct value of the entry, highest screen density first.
  std::vector<std::string> byDensity(uint16_t entry) const;

 private:
  const std::vector<ResourceCandidate>* candidates(uint16_t entry) const;

  uint8_t packageId_ = 0;
  uint8_t typeId_ = 0;
  size_t entryCount_ = 0;
  std::vector<std::pair<uint16_t, std::vector<ResourceCandidate>>> values_;
};

// Fills labelTypeTable, versionTypeTable and iconTypeTable of info from the
// table bytes, for the packages, types and entries the manifest analysis
// recorded. A reference's package byte names the table's package of that id
// (0x7f for an application, 0x01 for the framework, others for overlays); a
// reference with package byte 0x00 (a shared library's own, assigned when
// it loads) names the table's package when the table holds only one.
// Whatever is malformed ends the reading; what was read stays.
void readResourceTable(const uint8_t* data, size_t size, PackageInfo& info);

}  // namespace vantaro
