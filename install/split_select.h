#pragma once
// Which APKs of a split bundle a phone needs, chosen as bundletool chooses
// them: the base, every feature module, one processor-architecture split
// (the first of the phone's ABIs that the bundle has), one screen-density
// split (an exact match, else the one the phone's resource rules prefer),
// the language splits of the phone's locales, and configuration splits the
// rules do not know. Below Android 5.0 only a whole standalone APK can be
// installed.

#include <string>
#include <string_view>
#include <vector>

#include "package/bundle.h"

namespace vantaro {

struct DeviceSpec {
  int sdkLevel = 0;
  std::vector<std::string> abis;     // preferred first ("arm64-v8a", "armeabi-v7a", "armeabi")
  int density = 0;                   // dots per inch; 0 when unknown
  std::vector<std::string> locales;  // "zh-CN", "en-US"
};

// The traits from a phone's "getprop" listing; density from ro.sf.lcd_density
// (0 when the listing lacks it; ask "wm density" then).
DeviceSpec ParseDeviceSpec(std::string_view getpropListing);
// The density "wm density" prints ("Physical density: 480", maybe an
// "Override density" line, which wins); 0 when there is none.
int ParseWmDensity(std::string_view output);

struct SplitChoice {
  const BundleSplit* split;
  std::string reason;  // GBK, for the dry run
};

struct SplitSelection {
  bool ok = false;
  bool standalone = false;          // one whole APK: a plain install, not install-multiple
  std::vector<SplitChoice> chosen;  // the base first
  std::string refusal;              // GBK message when not ok
};

SplitSelection SelectSplits(const Bundle& bundle, const DeviceSpec& device);

// Dots per inch of a density qualifier ("xxhdpi" 480, "280dpi" 280); 0 for
// none, anydpi and nodpi.
int DensityOf(std::string_view qualifier);

}  // namespace vantaro
