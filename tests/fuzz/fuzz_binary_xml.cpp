// Compiled manifest bytes -> XML text -> manifest analysis.
#include <cstdint>

#include "package/binary_xml.h"
#include "package/manifest.h"
#include "package/recording_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto xml = vantaro::decodeBinaryXml(data, size);
  if (xml) {
    vantaro::PackageInfo info;
    vantaro::RecordingDisplay display;
    vantaro::analyzeManifest(*xml, info, display);
  }
  return 0;
}
