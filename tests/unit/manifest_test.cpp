#include <gtest/gtest.h>

#include "package/manifest.h"
#include "package/recording_display.h"

namespace vantaro {
namespace {

struct Analysis {
  PackageInfo info;
  RecordingDisplay display;
  bool ok;
};

Analysis analyze(const std::string& body) {
  Analysis a;
  a.ok = analyzeManifest("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + body, a.info, a.display);
  return a;
}

TEST(Manifest, ReadsTheFactsOfAManifest) {
  Analysis a = analyze(
      "<manifest versionCode=\"3\" versionName=\"@0x7f050002\" package=\"com.example.demo\" installLocation=\"0\""
      " sharedUserLabel=\"@0x7f040009\">\n"
      "<uses-permission name=\"android.permission.INTERNET\">\n</uses-permission>"
      "<uses-permission name=\"android.permission.CAMERA\" maxSdkVersion=\"18\">\n</uses-permission>"
      "<application label=\"@0x7f040003\" icon=\"@0x1020001\">\n"
      "<meta-data name=\"UMENG_APPKEY\" value=\"x\">\n</meta-data>"
      "<meta-data name=\"k\" value=\"Market_ID\">\n</meta-data><meta-data name=\"Wooboo_PID\">\n</meta-data>"
      "</application><uses-sdk minSdkVersion=\"10\">\n</uses-sdk></manifest>");
  ASSERT_TRUE(a.ok);
  const PackageInfo& i = a.info;
  EXPECT_EQ(i.packageName, "com.example.demo");
  EXPECT_TRUE(i.versionIsRef);
  EXPECT_EQ(i.versionName, "");
  EXPECT_EQ(i.versionPackage, 0x7f);
  EXPECT_EQ(i.versionType, 5);
  EXPECT_EQ(i.versionEntry, 2);
  EXPECT_TRUE(i.labelIsRef);
  EXPECT_EQ(i.label, "");
  EXPECT_EQ(i.labelPackage, 0x7f);
  EXPECT_EQ(i.labelType, 4);  // the application's label, never the shared user's
  EXPECT_EQ(i.labelEntry, 3);
  EXPECT_EQ(i.iconPackage, 0x01);
  EXPECT_EQ(i.iconType, 2);
  EXPECT_EQ(i.iconEntry, 1);
  EXPECT_EQ(i.minSdk, 10);
  EXPECT_TRUE(i.sdCardAllowed);
  EXPECT_TRUE(i.usesInternet);
  // Only the names are permissions, never maxSdkVersion's number.
  EXPECT_EQ(i.permissions, (std::vector<std::string>{"android.permission.INTERNET", "android.permission.CAMERA"}));
  EXPECT_EQ(i.analytics, std::vector<std::string>{"友盟统计"});
  EXPECT_EQ(i.adNetworks, std::vector<std::string>{"哇棒广告"});  // two keys of one SDK: one line
  // A reference shows nothing until the table resolves it.
  EXPECT_EQ(a.display.text(kVersionField), "");
  EXPECT_EQ(a.display.text(kPackageNameField), "com.example.demo");
  EXPECT_EQ(a.display.text(kMinReleaseField), "Android 2.3.3");
  EXPECT_EQ(a.display.texts.count(kLabelField), 0u);
}

TEST(Manifest, LiteralLabelsAndVersionsShowAsTheyAre) {
  Analysis a = analyze("<manifest versionName=\"1.0 &amp; up\"><application label=\"@Home &lt;1&gt;\">\n</application></manifest>");
  EXPECT_FALSE(a.info.labelIsRef);
  EXPECT_EQ(a.info.label, "@Home <1>");
  EXPECT_EQ(a.display.text(kLabelField), "@Home <1>");
  EXPECT_FALSE(a.info.versionIsRef);
  EXPECT_EQ(a.display.text(kVersionField), "1.0 & up");
}

TEST(Manifest, InternalOnlyInEitherFormKeepsThePackageOffTheCard) {
  EXPECT_FALSE(analyze("<manifest installLocation=\"1\">\n</manifest>").info.sdCardAllowed);
  EXPECT_FALSE(analyze("<manifest installLocation=\"internalOnly\">\n</manifest>").info.sdCardAllowed);
  EXPECT_TRUE(analyze("<manifest installLocation=\"2\">\n</manifest>").info.sdCardAllowed);
}

TEST(Manifest, MinimumReleaseNames) {
  EXPECT_EQ(analyze("<manifest><uses-sdk minSdkVersion=\"7\">\n</uses-sdk></manifest>").display.text(kMinReleaseField),
            "Android 2.1");
  EXPECT_EQ(analyze("<manifest><uses-sdk minSdkVersion=\"14\">\n</uses-sdk></manifest>").display.text(kMinReleaseField),
            "Android 4.0");
  EXPECT_EQ(analyze("<manifest><uses-sdk minSdkVersion=\"@0x7f0a0001\">\n</uses-sdk></manifest>").info.minSdk, 0);
  Analysis none = analyze("<manifest>\n</manifest>");
  EXPECT_EQ(none.info.minSdk, -1);
  EXPECT_EQ(none.display.text(kMinReleaseField), "未知版本");
  EXPECT_EQ(releaseNameForApiLevel(1), "Android 1.0");
  EXPECT_EQ(releaseNameForApiLevel(13), "Android 3.2");
  EXPECT_EQ(releaseNameForApiLevel(15), "Android 4.0.3");
  EXPECT_EQ(releaseNameForApiLevel(20), "Android 4.4W");
  EXPECT_EQ(releaseNameForApiLevel(32), "Android 12L");
  EXPECT_EQ(releaseNameForApiLevel(36), "Android 16");
  for (int level : {-1, 0, 37, 1000}) EXPECT_EQ(releaseNameForApiLevel(level), "未知版本");
}

TEST(Manifest, LauncherNeedsExactlyOneMainAndOneLauncher) {
  const char* main = "<action name=\"android.intent.action.MAIN\">\n</action>";
  const char* launcher = "<category name=\"android.intent.category.LAUNCHER\">\n</category>";
  const char* def = "<category name=\"android.intent.category.DEFAULT\">\n</category>";
  const char* plugins = "<action name=\"com.korvel.action.Plugins\">\n</action>";
  auto withFilters = [](std::vector<std::pair<std::string, std::string>> activities) {
    std::string body = "<manifest><application>\n";
    for (auto& [name, filter] : activities)
      body += "<activity name=\"" + name + "\">\n<intent-filter>\n" + filter + "</intent-filter></activity>";
    return analyze(body + "</application></manifest>").info;
  };
  std::string m = main, l = launcher, d = def, p = plugins;
  EXPECT_EQ(withFilters({{".Three", m + l + l}, {".Real", m + l + d}}).launcherActivity, ".Real");
  EXPECT_EQ(withFilters({{".TwoMains", m + m}}).launcherActivity, ".TwoMains");
  PackageInfo plugin = withFilters({{".Plugin", p + d}});
  EXPECT_TRUE(plugin.isKorvelPlugin);
  EXPECT_EQ(plugin.launcherActivity, "");
  EXPECT_FALSE(withFilters({{".X", p + d + d}}).isKorvelPlugin);
}

TEST(Manifest, TextTheParserRejectsLeavesTheFieldsEmpty) {
  Analysis a = analyze("<manifest package=\"com.x\"><application label=\"L\"></manifest>");
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.info.packageName, "");
  EXPECT_EQ(a.info.label, "");
  EXPECT_EQ(a.display.text(kPackageNameField), "");
  EXPECT_EQ(a.display.text(kMinReleaseField), "未知版本");
}

TEST(Manifest, PermissionsForNewerReleasesCountToo) {
  Analysis a = analyze(
      "<manifest><uses-permission name=\"android.permission.CAMERA\">\n</uses-permission>"
      "<uses-permission-sdk-23 name=\"android.permission.READ_CONTACTS\">\n</uses-permission-sdk-23>"
      "<uses-permission name=\"android.permission.INTERNET\">\n</uses-permission></manifest>");
  EXPECT_EQ(a.info.permissions, (std::vector<std::string>{"android.permission.CAMERA", "android.permission.READ_CONTACTS",
                                                          "android.permission.INTERNET"}));
}

}  // namespace
}  // namespace vantaro
