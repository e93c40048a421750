#include "package/manifest.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "base/numbers.h"

namespace vantaro {
namespace {

struct MetaDataKey {
  const char* key;
  bool analytics;
  const char* name;
};

constexpr MetaDataKey kMetaDataKeys[] = {
    {"Market_ID", false, "哇棒广告"},
    {"Wooboo_PID", false, "哇棒广告"},
    {"APP_ID", false, "亿动智道广告"},
    {"DOMOB_PID", false, "多盟广告"},
    {"ADMOB_PUBLISHER_ID", false, "AdMob广告"},
    {"GH_APPKEY", false, "果合广告"},
    {"UMENG_APPKEY", true, "友盟统计"},
};

constexpr const char* kInternet = "android.permission.INTERNET";
constexpr const char* kActionMain = "android.intent.action.MAIN";
constexpr const char* kCategoryLauncher = "android.intent.category.LAUNCHER";
constexpr const char* kCategoryDefault = "android.intent.category.DEFAULT";
constexpr const char* kActionPlugins = "com.korvel.action.Plugins";

// A reference as the decoder prints it: "@0x" and 1 to 8 hexadecimal digits.
bool parseReference(const char* value, uint32_t& id) {
  if (std::strncmp(value, "@0x", 3) != 0) return false;
  const char* p = value + 3;
  if (*p == '\0') return false;
  uint32_t result = 0;
  int digits = 0;
  for (; *p; ++p, ++digits) {
    char c = *p;
    uint32_t d;
    if (c >= '0' && c <= '9')
      d = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      d = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      d = static_cast<uint32_t>(c - 'A' + 10);
    else
      return false;
    if (digits >= 8) return false;
    result = (result << 4) | d;
  }
  id = result;
  return true;
}

void analyzeManifestElement(pugi::xml_node manifest, PackageInfo& info, PackageDisplay& display) {
  for (pugi::xml_attribute a : manifest.attributes()) {
    const char* name = a.name();
    const char* value = a.value();
    if (std::strcmp(name, "versionName") == 0) {
      uint32_t id;
      if (parseReference(value, id)) {
        // Shown once the resource table resolves it; its digits never are.
        info.versionIsRef = true;
        info.versionName.clear();
        info.versionEntry = static_cast<uint16_t>(id & 0xFFFF);
        info.versionType = static_cast<uint8_t>((id >> 16) & 0xFF);
        info.versionPackage = static_cast<uint8_t>(id >> 24);
      } else {
        info.versionIsRef = false;
        info.versionName = value;
      }
      display.setText(kVersionField, info.versionName);
    } else if (std::strcmp(name, "package") == 0) {
      info.packageName = value;
    } else if (std::strcmp(name, "installLocation") == 0) {
      // internalOnly, as text or as the integer it is compiled to.
      if (std::strcmp(value, "internalOnly") == 0 || std::strcmp(value, "1") == 0) info.sdCardAllowed = false;
    }
  }
  display.setText(kPackageNameField, info.packageName);
}

void analyzeApplication(pugi::xml_node application, PackageInfo& info, PackageDisplay& display) {
  for (pugi::xml_attribute a : application.attributes()) {
    const char* name = a.name();
    const char* value = a.value();
    uint32_t id;
    if (std::strcmp(name, "label") == 0) {
      if (parseReference(value, id)) {
        info.labelIsRef = true;
        info.label.clear();
        info.labelType = static_cast<uint8_t>((id >> 16) & 0xFF);
        info.labelEntry = static_cast<uint16_t>(id & 0xFFFF);
        info.labelPackage = static_cast<uint8_t>(id >> 24);
      } else {
        info.labelIsRef = false;
        info.label = value;
        display.setText(kLabelField, info.label);
      }
    } else if (std::strcmp(name, "icon") == 0) {
      if (parseReference(value, id)) {
        info.iconType = static_cast<uint8_t>((id >> 16) & 0xFF);
        info.iconEntry = static_cast<uint16_t>(id & 0xFFFF);
        info.iconPackage = static_cast<uint8_t>(id >> 24);
      }
    }
  }
}

// Elements of the given names anywhere in the document, in document order.
std::vector<pugi::xml_node> elementsByTagName(const pugi::xml_document& doc, std::initializer_list<const char*> names) {
  std::vector<pugi::xml_node> out;
  std::vector<pugi::xml_node> stack;
  for (pugi::xml_node n = doc.last_child(); n; n = n.previous_sibling()) stack.push_back(n);
  while (!stack.empty()) {
    pugi::xml_node node = stack.back();
    stack.pop_back();
    if (node.type() != pugi::node_element) continue;
    for (const char* name : names)
      if (std::strcmp(node.name(), name) == 0) out.push_back(node);
    for (pugi::xml_node n = node.last_child(); n; n = n.previous_sibling()) stack.push_back(n);
  }
  return out;
}

void analyzeIntentFilters(pugi::xml_document& doc, PackageInfo& info) {
  for (pugi::xml_node filter : elementsByTagName(doc, {"intent-filter"})) {
    int launcher = 0;
    int plugin = 0;
    for (pugi::xml_node child : filter.children()) {
      for (pugi::xml_attribute a : child.attributes()) {
        const char* v = a.value();
        if (std::strcmp(v, kActionMain) == 0 || std::strcmp(v, kCategoryLauncher) == 0) ++launcher;
        if (std::strcmp(v, kCategoryDefault) == 0 || std::strcmp(v, kActionPlugins) == 0) ++plugin;
      }
    }
    pugi::xml_node parent = filter.parent();
    if (launcher == 2 && parent) {
      info.launcherActivity = parent.attribute("name").value();
      return;
    }
    if (plugin == 2) info.isKorvelPlugin = true;
  }
}

// Permissions and the advertising and analytics keys of meta-data.
// onlyNew: a feature split's, whose permissions the base may list already.
void collectRequests(const pugi::xml_document& doc, PackageInfo& info, bool onlyNew) {
  // uses-permission-sdk-23 requests the same as uses-permission on the
  // releases that ask at run time.
  // Only the name is a permission: maxSdkVersion and the like are not.
  for (pugi::xml_node element : elementsByTagName(doc, {"uses-permission", "uses-permission-sdk-23"})) {
    const char* name = element.attribute("name").value();
    if (*name == '\0') continue;
    if (std::strcmp(name, kInternet) == 0) info.usesInternet = true;
    if (onlyNew && std::find(info.permissions.begin(), info.permissions.end(), name) != info.permissions.end()) continue;
    info.permissions.emplace_back(name);
  }

  for (pugi::xml_node element : elementsByTagName(doc, {"meta-data"})) {
    for (pugi::xml_attribute a : element.attributes()) {
      for (const MetaDataKey& key : kMetaDataKeys) {
        if (std::strcmp(a.value(), key.key) != 0) continue;
        info.addSdk(key.name, key.analytics ? "统计" : "广告", key.key);
      }
    }
  }
}

bool analyze(const std::string& xml, PackageInfo& info, PackageDisplay& display) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) doc.reset();  // a text the parser rejects leaves the document empty

  analyzeManifestElement(doc.select_node("manifest").node(), info, display);
  collectRequests(doc, info, false);

  analyzeApplication(doc.select_node("manifest//application").node(), info, display);

  pugi::xml_node sdk = doc.select_node("manifest//uses-sdk").node();
  if (pugi::xml_attribute min = sdk.attribute("minSdkVersion")) info.minSdk = ParseLeadingInt(min.value());
  display.setText(kMinReleaseField, releaseNameForApiLevel(info.minSdk));
  readManifestCompatibility(doc, info.compat);

  analyzeIntentFilters(doc, info);
  return true;
}

}  // namespace

bool analyzeFeatureManifest(const std::string& xml, PackageInfo& info) {
  try {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
    collectRequests(doc, info, true);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool analyzeManifest(const std::string& xml, PackageInfo& info, PackageDisplay& display) {
  try {
    return analyze(xml, info, display);
  } catch (const std::exception&) {
    return false;  // out of memory or an XPath failure
  }
}

}  // namespace vantaro
