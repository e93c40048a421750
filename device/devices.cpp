#include "device/devices.h"

#include <climits>

#include "base/text.h"
#include "package/package_info.h"

namespace vantaro {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

void RemoveAll(std::string& text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

// ASCII letters lowered; the two bytes of a GBK character are left alone
// (a trail byte may look like a letter).
std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (isGbkLeadByte(c) && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

// The text strictly between the last "[" and the last "]"; false when the
// line has no such pair.
bool BracketValue(std::string_view line, std::string_view& value) {
  size_t open = line.rfind('[');
  size_t close = line.rfind(']');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
  value = line.substr(open + 1, close - open - 1);
  return true;
}

}  // namespace

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> ListingLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (line.empty()) break;
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

bool IsPlainSerial(std::string_view serial) {
  if (serial.empty()) return false;
  for (char c : serial) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                 c == '_' || c == ':' || c == '@' || c == '[' || c == ']';
    if (!plain) return false;
  }
  return true;
}

std::vector<std::string> ParseDeviceListing(std::string_view listing) {
  std::vector<std::string> serials;
  for (std::string_view line : ListingLines(listing)) {
    size_t heading = line.find("devices");
    if (heading != std::string_view::npos && heading > 0) continue;
    size_t state = line.find("device");
    if (state == std::string_view::npos || state == 0) continue;
    std::string serial(line);
    RemoveAll(serial, "device");
    RemoveAll(serial, " ");
    while (!serial.empty() && IsSpace(serial.back())) serial.pop_back();
    // Every device command carries the serial on adb's command line: a
    // serial with quotes, tabs or other odd characters could add arguments
    // of its own, so such a device is not listed.
    if (!IsPlainSerial(serial)) continue;
    serials.push_back(std::move(serial));
  }
  return serials;
}

void ParsePropertyListing(std::string_view listing, DeviceRecord& record) {
  for (std::string_view line : ListingLines(listing)) {
    std::string_view value;
    if (line.find("ro.build.version.sdk") != std::string_view::npos) {
      if (BracketValue(line, value)) record.sdkLevel = ParseLeadingInt(value);
    } else if (line.find("ro.product.manufacturer") != std::string_view::npos) {
      if (BracketValue(line, value)) record.manufacturer = std::string(value);
    } else if (line.find("ro.product.model") != std::string_view::npos) {
      if (BracketValue(line, value)) record.model = std::string(value);
    }
  }
}

int32_t BrandTable(std::string_view manufacturer) {
  struct Brand {
    const char* name;
    int32_t logo;
  };
  static const Brand kBrands[] = {
      {"acer", 207},    {"apple", 208},   {"dopod", 210},   {"google", 211},  {"htc", 212},
      {"lenovo", 214},  {"motorola", 216}, {"meizu", 215},  {"nokia", 217},   {"philips", 218},
      {"samsung", 219}, {"sharp", 220},   {"sonyericsson", 221}, {"zte", 222},
  };
  std::string lower = LowerAscii(manufacturer);
  for (const Brand& brand : kBrands) {
    if (lower.find(brand.name) != std::string::npos) return brand.logo;
  }
  return kDefaultBrandLogo;
}

std::string DisplayMaker(std::string_view manufacturer) {
  std::string out(manufacturer);
  if (out.find("meizu") != std::string::npos) {
    ReplaceAll(out, "meizu", "魅族");
  } else if (out.find("motorola") != std::string::npos) {
    ReplaceAll(out, "motorola", "摩托罗拉");
  }
  return out;
}

std::string DisplayModel(std::string_view model) {
  std::string out(model);
  RemoveAll(out, "meizu_");
  return out;
}

void CompleteDeviceRecord(DeviceRecord& record) {
  record.releaseName = releaseNameForApiLevel(record.sdkLevel);
  record.brandLogo = BrandTable(record.manufacturer);
  record.displayMaker = DisplayMaker(record.manufacturer);
  record.displayModel = DisplayModel(record.model);
}

std::string DeviceHardwareText(const DeviceRecord& record) {
  return record.displayMaker + " [ " + record.displayModel + " ]";
}

std::string DeviceApiLevelText(const DeviceRecord& record) { return "API Level " + std::to_string(record.sdkLevel); }

}  // namespace vantaro
