#include "package/resource_table.h"

#include <algorithm>

#include "base/bytes.h"
#include "package/chunk.h"
#include "package/package_info.h"

namespace vantaro {
namespace {

constexpr uint16_t kPackageType = 0x0200;
constexpr uint16_t kTypeChunk = 0x0201;
constexpr uint16_t kTypeSpecChunk = 0x0202;
constexpr size_t kMinPackageHeader = 0x011C;
constexpr uint8_t kSharedLibraryPackageId = 0x00;

constexpr uint8_t kFlagSparse = 0x01;
constexpr uint8_t kFlagOffset16 = 0x02;
constexpr uint16_t kEntryComplex = 0x0001;
constexpr uint16_t kEntryCompact = 0x0008;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint8_t kTypeString = 0x03;

int localeRank(const ResourceConfig& c) {
  bool chinese = c.language[0] == 'z' && c.language[1] == 'h';
  bool noCountry = c.country[0] == 0 && c.country[1] == 0;
  if (chinese && ((c.country[0] == 'C' && c.country[1] == 'N') || (c.country[0] == 'S' && c.country[1] == 'G')))
    return 4;
  if (chinese && noCountry) return 3;
  if (c.language[0] == 0 && c.language[1] == 0) return 2;
  if (chinese) return 1;
  return 0;
}

int densityRank(uint16_t density) {
  if (density == 0) return 160;                      // default means mdpi
  if (density == 0xFFFE || density == 0xFFFF) return 0;  // any / none: vector or unscaled
  return density;
}

class TableReader {
 public:
  TableReader(ByteView data, PackageInfo& info) : data_(data), info_(info) {}

  void run() {
    uint16_t headerSize;
    if (!data_.u16(2, headerSize)) return;
    size_t pos = (headerSize >= 12 && headerSize <= data_.size()) ? headerSize : 12;
    struct Package {
      ByteView chunk;
      uint16_t headerSize;
      uint32_t id;
    };
    std::vector<Package> packages;
    for (;;) {
      ByteView chunk;
      uint16_t type, h;
      if (!chunkAt(data_, pos, chunk, type, h)) break;
      if (type == StringPool::kChunkType && !havePool_) {
        havePool_ = pool_.parse(chunk);
      } else if (type == kPackageType && h >= kMinPackageHeader) {
        uint32_t id = 0;
        chunk.u32(8, id);
        packages.push_back({chunk, h, id});
      }
      pos += chunk.size();
    }
    // Every package of the table counts: a shared library's package or an
    // overlay carries translations of its own.
    std::vector<uint16_t> languages;
    for (const Package& p : packages) countLanguages(p.chunk, p.headerSize, languages);
    if (!packages.empty()) {
      info_.compat.languages = static_cast<int>(languages.size());
      info_.compat.languageCodes = std::move(languages);
    }
    for (const Package& p : packages) {
      std::vector<ResourceTypeTable*> targets;
      for (ResourceTypeTable* table : tables()) {
        uint8_t wanted = table->packageId();
        bool only = packages.size() == 1 && wanted == kSharedLibraryPackageId;
        if (table->typeId() != 0 && (p.id == wanted || only)) targets.push_back(table);
      }
      if (!targets.empty()) readPackage(p.chunk, p.headerSize, targets);
    }
  }

 private:
  // Adds the distinct languages of a package's configurations to seen (the
  // default configuration is none), as the phone lists an application's
  // locales.
  static void countLanguages(ByteView package, uint16_t headerSize, std::vector<uint16_t>& seen) {
    size_t pos = headerSize;
    for (;;) {
      ByteView chunk;
      uint16_t type, h;
      if (!chunkAt(package, pos, chunk, type, h)) break;
      uint32_t configSize;
      uint16_t language;
      if (type == kTypeChunk && chunk.u32(20, configSize) && configSize >= 12 && chunk.u16(28, language) &&
          language != 0 && std::find(seen.begin(), seen.end(), language) == seen.end()) {
        if (seen.size() >= 4096) break;  // no real table has this many
        seen.push_back(language);
      }
      pos += chunk.size();
    }
  }

  void readPackage(ByteView package, uint16_t headerSize, const std::vector<ResourceTypeTable*>& targets) {
    size_t pos = headerSize;
    for (;;) {
      ByteView chunk;
      uint16_t type, h;
      if (!chunkAt(package, pos, chunk, type, h)) return;
      if (type == kTypeSpecChunk || type == kTypeChunk) {
        uint8_t id;
        uint32_t count;
        if (chunk.u8(8, id) && chunk.u32(12, count)) {
          for (ResourceTypeTable* table : targets) {
            if (table->typeId() != id) continue;
            if (type == kTypeSpecChunk)
              table->resize(count);
            else
              readValues(chunk, h, count, *table);
          }
        }
      }
      pos += chunk.size();
    }
  }

  std::vector<ResourceTypeTable*> tables() {
    return {&info_.iconTypeTable, &info_.labelTypeTable, &info_.versionTypeTable};
  }

  // The offset of entry's value inside the entries area, or kNoEntry.
  static uint32_t entryOffset(ByteView chunk, uint16_t headerSize, uint8_t flags, uint32_t count, uint16_t entry) {
    if (flags & kFlagSparse) {
      // Sorted pairs of (entry index, offset / 4).
      size_t lo = 0, hi = count;
      while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        uint16_t index, offset;
        if (!chunk.u16(headerSize + mid * 4, index) || !chunk.u16(headerSize + mid * 4 + 2, offset)) return kNoEntry;
        if (index == entry) return uint32_t{offset} * 4;
        if (index < entry)
          lo = mid + 1;
        else
          hi = mid;
      }
      return kNoEntry;
    }
    if (entry >= count) return kNoEntry;
    if (flags & kFlagOffset16) {
      uint16_t offset;
      if (!chunk.u16(headerSize + size_t{entry} * 2, offset) || offset == 0xFFFF) return kNoEntry;
      return uint32_t{offset} * 4;
    }
    uint32_t offset;
    if (!chunk.u32(headerSize + size_t{entry} * 4, offset)) return kNoEntry;
    return offset;
  }

  void readValues(ByteView chunk, uint16_t headerSize, uint32_t count, ResourceTypeTable& table) {
    uint8_t flags;
    uint32_t entriesStart, configSize;
    if (!chunk.u8(9, flags) || !chunk.u32(16, entriesStart) || !chunk.u32(20, configSize)) return;
    ResourceConfig config;
    if (configSize >= 16 && chunk.has(20, 16)) {
      const uint8_t* c = chunk.data() + 20;
      config.language[0] = static_cast<char>(c[8]);
      config.language[1] = static_cast<char>(c[9]);
      config.country[0] = static_cast<char>(c[10]);
      config.country[1] = static_cast<char>(c[11]);
      config.density = static_cast<uint16_t>(c[14] | (c[15] << 8));
    }
    for (uint16_t entry : wantedEntries(table)) {
      if (entry >= table.entryCount()) continue;
      uint32_t offset = entryOffset(chunk, headerSize, flags, count, entry);
      if (offset == kNoEntry) continue;
      size_t at = size_t{entriesStart} + offset;
      uint16_t entrySize, entryFlags;
      if (!chunk.u16(at, entrySize) || !chunk.u16(at + 2, entryFlags)) continue;
      uint8_t dataType;
      uint32_t value;
      if (entryFlags & kEntryCompact) {
        dataType = static_cast<uint8_t>(entryFlags >> 8);
        if (!chunk.u32(at + 4, value)) continue;
      } else if (entryFlags & kEntryComplex) {
        continue;  // a map (style, plurals ...): no single text
      } else {
        if (!chunk.u8(at + entrySize + 3, dataType) || !chunk.u32(at + entrySize + 4, value)) continue;
      }
      if (dataType != kTypeString || !havePool_) continue;
      if (auto text = pool_.stored(value)) table.add(entry, config, std::move(*text));
    }
  }

  std::vector<uint16_t> wantedEntries(const ResourceTypeTable& table) const {
    std::vector<uint16_t> out;
    for (uint16_t e : {info_.iconEntry, info_.labelEntry, info_.versionEntry})
      if (table.wants(e) && std::find(out.begin(), out.end(), e) == out.end()) out.push_back(e);
    return out;
  }

  ByteView data_;
  PackageInfo& info_;
  StringPool pool_;
  bool havePool_ = false;
};

}  // namespace

void ResourceTypeTable::expect(uint8_t packageId, uint8_t typeId, std::vector<uint16_t> entries) {
  packageId_ = packageId;
  typeId_ = typeId;
  entryCount_ = 0;
  values_.clear();
  for (uint16_t e : entries)
    if (!wants(e)) values_.emplace_back(e, std::vector<ResourceCandidate>());
}

bool ResourceTypeTable::wants(uint16_t entry) const {
  return std::any_of(values_.begin(), values_.end(), [&](const auto& v) { return v.first == entry; });
}

void ResourceTypeTable::resize(size_t count) {
  entryCount_ = count;
  for (auto& v : values_)
    if (v.first >= count) v.second.clear();
}

void ResourceTypeTable::add(uint16_t entry, const ResourceConfig& config, StoredPoolString value) {
  for (auto& v : values_)
    if (v.first == entry) v.second.push_back({config, std::move(value)});
}

const std::vector<ResourceCandidate>* ResourceTypeTable::candidates(uint16_t entry) const {
  if (entry >= entryCount_) return nullptr;
  for (const auto& v : values_)
    if (v.first == entry) return &v.second;
  return nullptr;
}

std::optional<std::string> ResourceTypeTable::text(uint16_t entry) const {
  if (entry >= entryCount_) return std::nullopt;
  const auto* list = candidates(entry);
  if (!list || list->empty()) return std::string();
  const ResourceCandidate* best = &list->front();
  for (const auto& c : *list)
    if (localeRank(c.config) >= localeRank(best->config)) best = &c;
  return best->value.toGbk();
}

std::optional<std::string> ResourceTypeTable::lastDefined(uint16_t entry) const {
  if (entry >= entryCount_) return std::nullopt;
  const auto* list = candidates(entry);
  if (!list || list->empty()) return std::string();
  return list->back().value.toGbk();
}

std::vector<std::string> ResourceTypeTable::byDensity(uint16_t entry) const {
  std::vector<std::string> out;
  const auto* list = candidates(entry);
  if (!list) return out;
  std::vector<const ResourceCandidate*> sorted;
  // Highest density first; among equals the later definition first.
  for (auto it = list->rbegin(); it != list->rend(); ++it) sorted.push_back(&*it);
  std::stable_sort(sorted.begin(), sorted.end(), [](const ResourceCandidate* a, const ResourceCandidate* b) {
    return densityRank(a->config.density) > densityRank(b->config.density);
  });
  for (const auto* c : sorted) {
    std::string text = c->value.toGbk();
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(std::move(text));
  }
  return out;
}

void readResourceTable(const uint8_t* data, size_t size, PackageInfo& info) {
  info.labelTypeTable.expect(info.labelPackage, info.labelType, {info.labelEntry});
  info.versionTypeTable.expect(info.versionPackage, info.versionType, {info.versionEntry});
  info.iconTypeTable.expect(info.iconPackage, info.iconType, {info.iconEntry});
  if (!data) return;
  TableReader(ByteView(data, size), info).run();
}

}  // namespace vantaro
