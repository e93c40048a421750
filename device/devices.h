#pragma once
// Device facts from adb's text: the listing of attached devices, the
// property listing of one device, and the texts the device chooser shows.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/numbers.h"

namespace vantaro {

// Maker logos among the program's bitmaps.
constexpr int32_t kDefaultBrandLogo = 211;
constexpr int32_t kMissingBrandLogo = 209;  // drawn when a logo cannot be loaded

struct DeviceRecord {
  std::string serial;
  std::string model;
  std::string manufacturer;
  int32_t sdkLevel = 0;
  std::string releaseName;
  int32_t brandLogo = kDefaultBrandLogo;
  std::string displayMaker;
  std::string displayModel;
};

// Serials of the devices that are attached and ready ("device" state), in
// listing order.
std::vector<std::string> ParseDeviceListing(std::string_view listing);

// True for serials made only of letters, digits and ". - _ : @ [ ]" (USB
// serials, emulator-5554, 192.168.1.5:5555, [::1]:5555, mDNS service
// names such as adb-R58M-AbCd._adb-tls-connect._tcp).
bool IsPlainSerial(std::string_view serial);

// Applies the lines of a "getprop" listing to sdkLevel, manufacturer and
// model; properties the listing lacks keep their values.
void ParsePropertyListing(std::string_view listing, DeviceRecord& record);

// Logo bitmap for a manufacturer text.
int32_t BrandTable(std::string_view manufacturer);
// The manufacturer as the chooser shows it ("meizu" and "motorola" in Chinese).
std::string DisplayMaker(std::string_view manufacturer);
// The model without "meizu_".
std::string DisplayModel(std::string_view model);

// Fills the derived fields (release name, logo, display texts) from the
// parsed ones.
void CompleteDeviceRecord(DeviceRecord& record);

// The chooser's two text columns: "%s [ %s ]" and "API Level %d".
std::string DeviceHardwareText(const DeviceRecord& record);
std::string DeviceApiLevelText(const DeviceRecord& record);

// Lines of a listing as adb's text rules read them: split at line feeds,
// stopping at the first line of length 0 (a carriage return stays part of
// its line).
std::vector<std::string_view> ListingLines(std::string_view text);

// text without white space (space, tab, CR, LF, VT, FF) at both ends.
std::string_view TrimSpace(std::string_view text);

}  // namespace vantaro
