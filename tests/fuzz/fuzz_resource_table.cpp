// Resource table bytes, looked up for the types and entries a manifest names.
#include <cstdint>

#include "package/package_info.h"
#include "package/resource_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantaro::PackageInfo info;
  // The common references of aapt's output; the fuzzer reaches others by
  // mutating the table rather than the references.
  info.labelIsRef = info.versionIsRef = true;
  info.labelPackage = info.iconPackage = 0x7F;
  info.versionPackage = 0x00;  // a shared library's own reference
  info.iconType = 1;
  info.iconEntry = 0;
  info.labelType = 2;
  info.labelEntry = 0;
  info.versionType = 2;
  info.versionEntry = 1;
  vantaro::readResourceTable(data, size, info);
  (void)info.labelTypeTable.text(info.labelEntry);
  (void)info.versionTypeTable.text(info.versionEntry);
  (void)info.iconTypeTable.lastDefined(info.iconEntry);
  (void)info.iconTypeTable.byDensity(info.iconEntry);
  return 0;
}
