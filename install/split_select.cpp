#include "install/split_select.h"

#include <algorithm>
#include <map>

#include "base/numbers.h"
#include "base/text.h"
#include "package/package_info.h"

namespace vantaro {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// "[key]: [value]" lines of a getprop listing.
std::map<std::string, std::string, std::less<>> properties(std::string_view listing) {
  std::map<std::string, std::string, std::less<>> out;
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    std::string_view line = trim(listing.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    start = end == std::string_view::npos ? listing.size() : end + 1;
    size_t keyEnd = line.find("]: [");
    if (line.size() < 6 || line.front() != '[' || line.back() != ']' || keyEnd == std::string_view::npos) continue;
    out[std::string(line.substr(1, keyEnd - 1))] = std::string(line.substr(keyEnd + 4, line.size() - keyEnd - 5));
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// The language of a locale ("zh-CN", "zh_CN", "zh-rCN", "b+sr+Latn" -> "zh", "sr").
std::string languageOf(std::string_view locale) {
  if (locale.rfind("b+", 0) == 0) locale.remove_prefix(2);
  size_t end = locale.find_first_of("-_+");
  return lower(locale.substr(0, end));
}

// Whether a density split with dpi a is better for the phone than one with b,
// by the phone's resource rules: the smallest not below the phone's density,
// except that a lower one wins when (2L - D) * H > D * D.
bool betterDensity(int a, int b, int device) {
  if (a == b) return false;
  int high = std::max(a, b), low = std::min(a, b);
  bool aIsHigh = a == high;
  if (device >= high) return aIsHigh;   // both at or below: the bigger
  if (low >= device) return !aIsHigh;   // both at or above: the smaller
  long long l = low, h = high, d = device;
  return ((2 * l - d) * h > d * d) ? !aIsHigh : aIsHigh;
}

}  // namespace

int DensityOf(std::string_view q) {
  static const std::pair<const char*, int> kNamed[] = {{"ldpi", 120},   {"mdpi", 160},   {"tvdpi", 213}, {"hdpi", 240},
                                                       {"xhdpi", 320},  {"xxhdpi", 480}, {"xxxhdpi", 640}};
  for (const auto& [name, dpi] : kNamed)
    if (q == name) return dpi;
  if (q.size() > 3 && q.substr(q.size() - 3) == "dpi") {
    int dpi = ParseLeadingInt(q.substr(0, q.size() - 3));
    return dpi > 0 && dpi < 10000 ? dpi : 0;
  }
  return 0;
}

DeviceSpec ParseDeviceSpec(std::string_view listing) {
  auto props = properties(listing);
  auto get = [&props](const char* key) {
    auto it = props.find(key);
    return it == props.end() ? std::string() : it->second;
  };
  DeviceSpec traits;
  traits.sdkLevel = ParseLeadingInt(get("ro.build.version.sdk"));
  std::string abis = get("ro.product.cpu.abilist");
  if (abis.empty()) abis = get("ro.product.cpu.abi") + "," + get("ro.product.cpu.abi2");
  for (size_t start = 0; start <= abis.size();) {
    size_t end = abis.find(',', start);
    std::string abi(trim(std::string_view(abis).substr(start, end == std::string::npos ? std::string::npos : end - start)));
    if (!abi.empty() && std::find(traits.abis.begin(), traits.abis.end(), abi) == traits.abis.end()) traits.abis.push_back(abi);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  traits.density = ParseLeadingInt(get("ro.sf.lcd_density"));
  if (traits.density < 0) traits.density = 0;
  for (const char* key : {"persist.sys.locale", "ro.product.locale"}) {
    std::string locale = get(key);
    if (!locale.empty() && std::find(traits.locales.begin(), traits.locales.end(), locale) == traits.locales.end())
      traits.locales.push_back(locale);
  }
  // Phones before Android 5 keep language and country apart.
  for (const auto& [language, country] : {std::pair{"persist.sys.language", "persist.sys.country"},
                                          std::pair{"ro.product.locale.language", "ro.product.locale.region"}}) {
    std::string l = get(language);
    if (l.empty()) continue;
    std::string c = get(country);
    std::string locale = c.empty() ? l : l + "-" + c;
    if (std::find(traits.locales.begin(), traits.locales.end(), locale) == traits.locales.end()) traits.locales.push_back(locale);
  }
  return traits;
}

int ParseWmDensity(std::string_view output) {
  int physical = 0, override = 0;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    std::string_view line = trim(output.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    start = end == std::string_view::npos ? output.size() : end + 1;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    int value = ParseLeadingInt(trim(line.substr(colon + 1)));
    if (line.rfind("Physical density", 0) == 0) physical = value;
    if (line.rfind("Override density", 0) == 0) override = value;
  }
  int density = override > 0 ? override : physical;
  return density > 0 ? density : 0;
}

SplitSelection SelectSplits(const Bundle& bundle, const DeviceSpec& device) {
  SplitSelection out;
  std::string release = releaseNameForApiLevel(device.sdkLevel);
  if (device.sdkLevel > 0 && device.sdkLevel < 21) {
    // Before Android 5.0 there are no splits: one whole APK, the one made for
    // the phone's architecture and density when there are several.
    const BundleSplit* best = nullptr;
    int bestScore = -1;
    for (const BundleSplit& s : bundle.splits) {
      if (!s.standalone) continue;
      int score = 0;
      for (size_t i = 0; i < device.abis.size(); ++i) {
        std::string token = device.abis[i];
        std::replace(token.begin(), token.end(), '-', '_');
        if (s.member.find(token) != std::string::npos) score = std::max(score, static_cast<int>(100 - i));
      }
      if (score > bestScore) {
        best = &s;
        bestScore = score;
      }
    }
    // A bundle whose only APK is its base (an .xapk of one APK and its data
    // files) is a whole APK itself.
    bool baseAlone = !bundle.splits.empty() && std::none_of(bundle.splits.begin() + 1, bundle.splits.end(),
                                                            [](const BundleSplit& s) { return !s.standalone; });
    if (!best && baseAlone) {
      out.ok = out.standalone = true;
      out.chosen.push_back({&bundle.base(), "完整安装包：安装包只有基础包"});
      return out;
    }
    if (!best) {
      out.refusal = "【安装失败】这是拆分安装包，需要 Android 5.0 或更高版本的手机，这部手机是 " + release;
      return out;
    }
    out.ok = out.standalone = true;
    out.chosen.push_back({best, "完整安装包：手机低于 Android 5.0，不能安装拆分包"});
    return out;
  }

  out.chosen.push_back({&bundle.base(), "基础包"});
  // The modules the phone gets: the base ("") and every feature.
  std::vector<std::string> modules{""};
  for (const BundleSplit& s : bundle.splits) {
    if (s.standalone || s.kind != SplitKind::Feature) continue;
    modules.push_back(s.value);
    out.chosen.push_back({&s, "功能模块"});
  }
  std::string abiList;
  for (const std::string& abi : device.abis) abiList += (abiList.empty() ? "" : "、") + abi;

  for (const std::string& module : modules) {
    std::vector<const BundleSplit*> abis, densities, languages, others;
    for (const BundleSplit& s : bundle.splits) {
      if (s.standalone || s.configFor != module) continue;
      if (s.kind == SplitKind::Abi) abis.push_back(&s);
      if (s.kind == SplitKind::Density) densities.push_back(&s);
      if (s.kind == SplitKind::Language) languages.push_back(&s);
      if (s.kind == SplitKind::Other) others.push_back(&s);
    }
    if (!abis.empty()) {
      const BundleSplit* chosen = nullptr;
      for (const std::string& abi : device.abis) {
        auto it = std::find_if(abis.begin(), abis.end(), [&](const BundleSplit* s) { return s->value == abi; });
        if (it != abis.end()) {
          chosen = *it;
          break;
        }
      }
      if (!chosen) {
        std::string bundleAbis;
        for (const BundleSplit* s : abis) bundleAbis += (bundleAbis.empty() ? "" : "、") + utf8ToGbk(s->value);
        out.chosen.clear();
        out.refusal = "【安装失败】安装包只有 " + bundleAbis + " 处理器的版本，这部手机的处理器是 " +
                      (abiList.empty() ? std::string("未知") : abiList);
        return out;
      }
      out.chosen.push_back({chosen, "手机处理器 " + utf8ToGbk(chosen->value)});
    }
    if (!densities.empty()) {
      const BundleSplit* best = nullptr;
      int phone = device.density > 0 ? device.density : 160;  // unknown: the baseline density
      for (const BundleSplit* s : densities) {
        int dpi = DensityOf(s->value);
        if (dpi == 0) continue;
        if (!best || betterDensity(dpi, DensityOf(best->value), phone)) best = s;
      }
      if (best) {
        std::string why = DensityOf(best->value) == phone ? "与手机屏幕密度相同 " : "最接近手机屏幕密度 ";
        out.chosen.push_back({best, why + std::to_string(phone) + "dpi"});
      }
    }
    bool anyLanguage = false;
    for (const BundleSplit* s : languages) {
      std::string splitLanguage = languageOf(s->value);
      bool match = std::any_of(device.locales.begin(), device.locales.end(),
                               [&](const std::string& l) { return languageOf(l) == splitLanguage; });
      if (match) {
        out.chosen.push_back({s, "手机语言 " + utf8ToGbk(s->value)});
        anyLanguage = true;
      }
    }
    if (!anyLanguage) {
      // No language of the phone: English, the usual default, when there is one.
      auto english = std::find_if(languages.begin(), languages.end(), [](const BundleSplit* s) { return languageOf(s->value) == "en"; });
      if (english != languages.end()) out.chosen.push_back({*english, "手机语言没有对应的拆分包，使用英语"});
    }
    for (const BundleSplit* s : others) out.chosen.push_back({s, "其他配置"});
  }
  out.ok = true;
  return out;
}

}  // namespace vantaro
