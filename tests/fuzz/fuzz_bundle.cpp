// A split bundle held in memory: the outer archive, its description and the
// manifests of the APKs inside.
#include <cstdint>
#include <vector>

#include "package/bundle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantaro::ApkArchive outer;
  if (outer.open(std::make_shared<vantaro::MemorySource>(std::vector<uint8_t>(data, data + size)))) {
    vantaro::BundleResult result = vantaro::readBundle(outer);
    if (result.status == vantaro::BundleStatus::Ok) {
      vantaro::ApkArchive base;
      uint64_t inflated = 0;
      vantaro::openNestedArchive(outer, result.bundle.base().member, vantaro::kMaxNestedInflate, inflated, base);
    }
  }
  return 0;
}
