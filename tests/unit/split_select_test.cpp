#include <gtest/gtest.h>

#include "install/split_select.h"
#include "package/apk_archive.h"

namespace vantaro {
namespace {

std::string bundleFile(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/bundles/" + name; }

Bundle fixtureBundle(const std::string& name) {
  ApkArchive outer;
  EXPECT_TRUE(outer.open(bundleFile(name)));
  BundleResult r = readBundle(outer);
  EXPECT_EQ(r.status, BundleStatus::Ok);
  return r.bundle;
}

std::vector<std::string> members(const SplitSelection& s) {
  std::vector<std::string> out;
  for (const SplitChoice& c : s.chosen) out.push_back(c.split->member);
  return out;
}

DeviceSpec phone(int sdk, std::vector<std::string> abis, int density, std::vector<std::string> locales) {
  return DeviceSpec{sdk, std::move(abis), density, std::move(locales)};
}

TEST(SplitSelect, ChoosesWhatEachPhoneNeeds) {
  Bundle apks = fixtureBundle("sample.apks");
  SplitSelection s = SelectSplits(apks, phone(33, {"arm64-v8a", "armeabi-v7a", "armeabi"}, 480, {"zh-CN"}));
  ASSERT_TRUE(s.ok) << s.refusal;
  EXPECT_FALSE(s.standalone);
  EXPECT_EQ(members(s), (std::vector<std::string>{"splits/base-master.apk", "splits/camera-master.apk",
                                                  "splits/base-arm64_v8a.apk", "splits/base-xxhdpi.apk",
                                                  "splits/base-zh.apk"}));
  // An x86_64 tablet at mdpi reading English: the nearest density above.
  s = SelectSplits(apks, phone(30, {"x86_64", "x86"}, 160, {"en-US"}));
  EXPECT_EQ(members(s), (std::vector<std::string>{"splits/base-master.apk", "splits/camera-master.apk",
                                                  "splits/base-x86_64.apk", "splits/base-xhdpi.apk",
                                                  "splits/base-en.apk"}));
  // Below Android 5.0: the whole APK, installed alone.
  s = SelectSplits(apks, phone(19, {"armeabi-v7a"}, 320, {"zh-CN"}));
  ASSERT_TRUE(s.ok);
  EXPECT_TRUE(s.standalone);
  EXPECT_EQ(members(s), std::vector<std::string>{"standalones/standalone-arm64_v8a_xxhdpi.apk"});
  // Without one (the xapk has none), refused before anything is sent.
  s = SelectSplits(fixtureBundle("sample.xapk"), phone(19, {"armeabi-v7a"}, 320, {"zh-CN"}));
  EXPECT_FALSE(s.ok);
  EXPECT_NE(s.refusal.find("Android 5.0"), std::string::npos);
  EXPECT_NE(s.refusal.find("Android 4.4"), std::string::npos);

  // One APK and its data files: that APK is whole, and goes alone.
  Bundle single = fixtureBundle("sample.xapk");
  single.splits.resize(1);
  s = SelectSplits(single, phone(19, {"armeabi-v7a"}, 320, {"zh-CN"}));
  ASSERT_TRUE(s.ok) << s.refusal;
  EXPECT_TRUE(s.standalone);
  EXPECT_EQ(members(s), std::vector<std::string>{"base.apk"});

  // A bundle that has only arm64 code on a 32-bit phone: refused, naming both.
  Bundle only64 = apks;
  only64.splits.erase(std::remove_if(only64.splits.begin(), only64.splits.end(),
                                     [](const BundleSplit& b) { return b.kind == SplitKind::Abi && b.value != "arm64-v8a"; }),
                      only64.splits.end());
  s = SelectSplits(only64, phone(28, {"armeabi-v7a", "armeabi"}, 320, {"zh-CN"}));
  EXPECT_FALSE(s.ok);
  EXPECT_NE(s.refusal.find("arm64-v8a"), std::string::npos);
  EXPECT_NE(s.refusal.find("armeabi-v7a"), std::string::npos);
  // No phone language among the splits: English stands in.
  s = SelectSplits(apks, phone(30, {"arm64-v8a"}, 480, {"fr-FR"}));
  EXPECT_EQ(s.chosen.back().split->member, "splits/base-en.apk");
}

TEST(SplitSelect, DensityFollowsThePhonesRule) {
  Bundle b;
  b.splits.push_back({"base.apk", "", SplitKind::Base, "", "", 1, false});
  for (const char* d : {"hdpi", "xhdpi", "xxhdpi"}) b.splits.push_back({std::string(d) + ".apk", d, SplitKind::Density, d, "", 1, false});
  auto density = [&](int dpi) { return SelectSplits(b, phone(30, {}, dpi, {})).chosen.back().split->value; };
  EXPECT_EQ(density(320), "xhdpi");   // exact
  EXPECT_EQ(density(160), "hdpi");    // all above: the smallest
  EXPECT_EQ(density(640), "xxhdpi");  // all below: the biggest
  EXPECT_EQ(density(330), "xhdpi");   // (2*320-330)*480 > 330^2: the lower one wins
  EXPECT_EQ(density(400), "xxhdpi");  // (2*320-400)*480 < 400^2: the higher one wins
  EXPECT_EQ(DensityOf("280dpi"), 280);
  EXPECT_EQ(DensityOf("anydpi"), 0);
}

TEST(SplitSelect, ReadsThePhoneFromItsProperties) {
  DeviceSpec d = ParseDeviceSpec(
      "[ro.build.version.sdk]: [33]\n[ro.product.cpu.abilist]: [arm64-v8a,armeabi-v7a,armeabi]\n"
      "[ro.sf.lcd_density]: [440]\n[persist.sys.locale]: [zh-Hans-CN]\n[ro.product.locale]: [en-US]\n");
  EXPECT_EQ(d.sdkLevel, 33);
  EXPECT_EQ(d.abis, (std::vector<std::string>{"arm64-v8a", "armeabi-v7a", "armeabi"}));
  EXPECT_EQ(d.density, 440);
  EXPECT_EQ(d.locales, (std::vector<std::string>{"zh-Hans-CN", "en-US"}));
  // An old phone: one ABI (and a second), language and country apart, no density.
  d = ParseDeviceSpec("[ro.build.version.sdk]: [17]\r\n[ro.product.cpu.abi]: [armeabi-v7a]\r\n"
                      "[ro.product.cpu.abi2]: [armeabi]\r\n[persist.sys.language]: [zh]\r\n[persist.sys.country]: [CN]\r\n");
  EXPECT_EQ(d.abis, (std::vector<std::string>{"armeabi-v7a", "armeabi"}));
  EXPECT_EQ(d.density, 0);
  EXPECT_EQ(d.locales, std::vector<std::string>{"zh-CN"});
  EXPECT_EQ(ParseWmDensity("Physical density: 480\nOverride density: 400\n"), 400);
  EXPECT_EQ(ParseWmDensity("Physical density: 320\r\n"), 320);
  EXPECT_EQ(ParseWmDensity("error: no display\n"), 0);
}

}  // namespace
}  // namespace vantaro
