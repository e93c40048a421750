// A dex file: header, tables and strings, as the SDK scan reads them.
#include <cstdint>
#include <string_view>

#include "package/dex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantaro::DexIndex index;
  if (index.open(data, size)) {
    for (const char* prefix : {"com/", "com/qq/e/", "org/fixture/sdk/Main", ""}) (void)index.firstClassWithPrefix(prefix);
    size_t total = 0;
    index.forEachClass([&total](std::string_view name) { total += name.size(); });
  }
  return 0;
}
