#include <gtest/gtest.h>

#include "package/recording_display.h"
#include "package/report.h"

namespace vantaro {
namespace {

// Sections as (text, image, expanded, children texts).
struct Section {
  std::string text;
  int image;
  bool expanded;
  std::vector<std::string> children;
  bool operator==(const Section&) const = default;
};

std::vector<Section> sections(const RecordingDisplay& d) {
  std::vector<Section> out;
  for (ReportItem root : d.children(kReportRoot)) {
    Section s{d.item(root).text, d.item(root).image, d.item(root).expanded, {}};
    for (ReportItem child : d.children(root)) {
      EXPECT_EQ(d.item(child).image, kImageNone);
      s.children.push_back(d.item(child).text);
    }
    out.push_back(s);
  }
  return out;
}

std::vector<Section> report(const PackageInfo& info) {
  PermissionCatalog catalog;
  RecordingDisplay d;
  buildPermissionSection(info, catalog, d);
  buildFindingSections(info, d);
  return sections(d);
}

TEST(Report, SectionsInOrderWithDescriptions) {
  PackageInfo info;
  info.usesInternet = true;
  info.permissions = {"android.permission.INTERNET", "android.permission.NFC", "android.permission.internet",
                      "INTERNET", "com.android.alarm.permission.SET_ALARM", "android.permission.NFC"};
  info.analytics = {"友盟统计"};
  EXPECT_EQ(report(info), (std::vector<Section>{
                              {"请求权限 ", kImageTick, true,
                               {"[!] --- 访问互联网,将产生GRPS流量", "NFC移动支付", "设置闹铃", "NFC移动支付"}},
                              {"广告检测", kImageWarning, true, {"没有找到"}},
                              {"统计信息", kImageInformation, true, {"友盟统计"}},
                          }));
}

TEST(Report, EmptyAndUnknownPermissionsAndNoInternet) {
  PackageInfo none;
  none.adNetworks = {"有米广告", "有米广告"};  // without INTERNET the findings are not shown
  std::vector<Section> r = report(none);
  EXPECT_EQ(r[0].children, std::vector<std::string>{"没有找到"});
  EXPECT_EQ(r[1].children, std::vector<std::string>{"没有找到"});
  EXPECT_EQ(r[2].children, std::vector<std::string>{"没有找到"});

  PackageInfo unknown;
  unknown.permissions = {"com.example.permission.OWN"};
  unknown.usesInternet = true;
  unknown.adNetworks = {"有米广告", "有米广告"};
  r = report(unknown);
  EXPECT_TRUE(r[0].children.empty());
  EXPECT_EQ(r[1].children, (std::vector<std::string>{"有米广告", "有米广告"}));
}

TEST(Report, InitialSectionsAndSdCardLine) {
  RecordingDisplay d;
  buildInitialSections(d);
  EXPECT_EQ(sections(d), (std::vector<Section>{{"请求权限", kImageTick, false, {}},
                                               {"统计信息", kImageInformation, false, {}},
                                               {"广告检测", kImageWarning, false, {}}}));
  PackageInfo info;
  showSdCardSupport(info, d);
  EXPECT_EQ(d.text(kSdCardField), "该应用支持");
  info.analysisOk = false;
  showSdCardSupport(info, d);
  EXPECT_EQ(d.text(kSdCardField), "不支持");
  info.analysisOk = true;
  info.sdCardAllowed = false;
  showSdCardSupport(info, d);
  EXPECT_EQ(d.text(kSdCardField), "不支持");
}

TEST(PermissionCatalog, ExactWholeNamesOnly) {
  PermissionCatalog catalog;
  EXPECT_EQ(catalog.describe("android.permission.INTERNET"), "[!] --- 访问互联网,将产生GRPS流量");
  EXPECT_EQ(catalog.describe("android.permission.ACCESS_COARSE_LOCATION"), "[!] --- 访问粗略位置信息，如WiFi热点或移动基站");
  EXPECT_EQ(catalog.describe("android.permission.MASTER_CLEAR"), "[xxx] 恢复出厂设置");
  EXPECT_EQ(catalog.describe("com.android.browser.permission.READ_HISTORY_BOOKMARKS"), "读取收藏夹历史记录");
  EXPECT_EQ(catalog.describe("READ_HISTORY_BOOKMARKS"), std::nullopt);
  EXPECT_EQ(catalog.describe("android.permission.INTERNET "), std::nullopt);
  EXPECT_EQ(catalog.describe("android.permission.READ_MEDIA_IMAGES")->rfind("[!] --- ", 0), 0u);
}

}  // namespace
}  // namespace vantaro
