#include <gtest/gtest.h>

#include <algorithm>

#include "package/bundle.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "package/recording_display.h"
#include "package/report.h"
#include "zip_builder.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::ZipMember;

std::string bundleFile(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/bundles/" + name; }

// The members of a fixture bundle, to build variants from.
std::vector<ZipMember> membersOf(const std::string& name) {
  ApkArchive archive;
  EXPECT_TRUE(archive.open(bundleFile(name)));
  std::vector<ZipMember> out;
  for (size_t i = 0; i < archive.memberCount(); ++i) {
    const ApkArchive::Member& m = archive.member(i);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(archive.read(m, 64u << 20, bytes), ApkArchive::ReadResult::Ok);
    out.push_back({std::string(archive.name(m)), bytes, !m.stored()});
  }
  return out;
}

BundleResult readFrom(const Bytes& zip) {
  test::TempFile file("vantaro-bundle.zip", zip);
  ApkArchive outer;
  EXPECT_TRUE(outer.open(file.path()));
  return readBundle(outer);
}

std::vector<std::string> kinds(const Bundle& b) {
  std::vector<std::string> out;
  for (const BundleSplit& s : b.splits)
    out.push_back(std::string(splitKindText(s.kind)) + (s.value.empty() ? "" : " " + s.value) +
                  (s.standalone ? " standalone" : ""));
  return out;
}

TEST(Bundle, EveryFormatGivesTheSameSplits) {
  const std::vector<std::string> expected = {
      "基础包", "语言 en", "语言 zh", "屏幕密度 xhdpi", "屏幕密度 xxhdpi", "处理器架构 arm64-v8a",
      "处理器架构 armeabi-v7a", "处理器架构 x86_64", "功能模块 camera"};
  struct Case {
    const char* file;
    BundleFormat format;
    const char* base;
  };
  for (const Case& c : {Case{"sample.xapk", BundleFormat::Xapk, "base.apk"},
                        Case{"sample.apks", BundleFormat::Apks, "splits/base-master.apk"},
                        Case{"sample.apkm", BundleFormat::Apkm, "base.apk"},
                        Case{"sample-sai.apks", BundleFormat::Sai, "base.apk"},
                        Case{"sample-splits.zip", BundleFormat::SplitZip, "base.apk"}}) {
    SCOPED_TRACE(c.file);
    ApkArchive outer;
    ASSERT_TRUE(outer.open(bundleFile(c.file)));
    BundleResult r = readBundle(outer);
    ASSERT_EQ(r.status, BundleStatus::Ok) << r.detail;
    EXPECT_EQ(r.bundle.format, c.format);
    EXPECT_EQ(r.bundle.base().member, c.base);
    EXPECT_EQ(r.bundle.packageName, "org.fixture.bundle");
    EXPECT_EQ(r.bundle.versionCode, 7);
    std::vector<std::string> got = kinds(r.bundle);
    if (c.format == BundleFormat::Apks) {
      // bundletool's whole APK for old phones is kept apart from the splits.
      ASSERT_FALSE(got.empty());
      EXPECT_EQ(got.back(), "基础包 standalone");
      got.pop_back();
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(r.bundle.expansions.size(), c.format == BundleFormat::Xapk ? 1u : 0u);
  }
}

TEST(Bundle, SplitNamesReadAsThePhoneReadsThem) {
  struct Case {
    const char* name;
    SplitKind kind;
    const char* value;
    const char* configFor;
  };
  for (const Case& c : {Case{"config.arm64_v8a", SplitKind::Abi, "arm64-v8a", ""},
                        Case{"config.armeabi_v7a", SplitKind::Abi, "armeabi-v7a", ""},
                        Case{"config.x86_64", SplitKind::Abi, "x86_64", ""},
                        Case{"config.xxhdpi_v4", SplitKind::Density, "xxhdpi", ""},
                        Case{"config.280dpi", SplitKind::Density, "280dpi", ""},
                        Case{"config.zh", SplitKind::Language, "zh", ""},
                        Case{"config.pt_BR", SplitKind::Language, "pt_BR", ""},
                        Case{"config.b+sr+Latn", SplitKind::Language, "b+sr+Latn", ""},
                        Case{"camera.config.xxhdpi", SplitKind::Density, "xxhdpi", "camera"},
                        Case{"camera", SplitKind::Feature, "camera", ""},
                        Case{"myconfig.thing", SplitKind::Feature, "myconfig.thing", ""},
                        Case{"config.arm64_v8a_2", SplitKind::Other, "arm64_v8a_2", ""}}) {
    SCOPED_TRACE(c.name);
    BundleSplit s;
    s.splitName = c.name;
    classifySplit(s);
    EXPECT_EQ(s.kind, c.kind);
    EXPECT_EQ(s.value, c.value);
    EXPECT_EQ(s.configFor, c.configFor);
  }
}

TEST(Bundle, RefusesBundlesThatDoNotAddUp) {
  std::vector<ZipMember> sai = membersOf("sample-sai.apks");
  auto without = [](std::vector<ZipMember> members, const std::string& name) {
    members.erase(std::remove_if(members.begin(), members.end(), [&](const ZipMember& m) { return m.name == name; }),
                  members.end());
    return members;
  };
  auto with = [](std::vector<ZipMember> members, ZipMember more) {
    members.push_back(std::move(more));
    return members;
  };
  ApkArchive demoArchive;
  ASSERT_TRUE(demoArchive.open(std::string(VANTARO_FIXTURE_DIR) + "/apk/demo.apk"));
  Bytes demo(static_cast<size_t>(demoArchive.source()->size()));
  ASSERT_TRUE(demoArchive.source()->read(0, demo.data(), demo.size()));
  Bytes base = std::find_if(sai.begin(), sai.end(), [](const ZipMember& m) { return m.name == "base.apk"; })->data;

  // Another application's APK among the splits; two whole APKs and no
  // description that names the base; splits without a base; a member named
  // .apk that is no archive.
  BundleResult r = readFrom(test::buildZip(with(sai, {"extra/demo.apk", demo, false})));
  EXPECT_EQ(r.status, BundleStatus::Inconsistent);
  EXPECT_EQ(r.detail, "extra/demo.apk");
  EXPECT_EQ(readFrom(test::buildZip(with(sai, {"universal.apk", base, false}))).status, BundleStatus::Inconsistent);
  EXPECT_EQ(readFrom(test::buildZip(without(sai, "base.apk"))).status, BundleStatus::NoBase);
  EXPECT_EQ(readFrom(test::buildZip(with(sai, {"broken.apk", Bytes(100, 'x'), true}))).status,
            BundleStatus::Inconsistent);
  // No APK at all: not a bundle (the loader then says the package is invalid).
  EXPECT_EQ(readFrom(test::buildZip({{"readme.txt", Bytes(10, 'x'), true}})).status, BundleStatus::NotBundle);

  // More splits than any application has.
  std::vector<ZipMember> many = sai;
  Bytes split = std::find_if(sai.begin(), sai.end(), [](const ZipMember& m) { return m.name == "base_zh.apk"; })->data;
  for (int i = 0; i < 200; ++i) many.push_back({"more/" + std::to_string(i) + ".apk", split, false});
  EXPECT_EQ(readFrom(test::buildZip(many)).status, BundleStatus::TooMany);

  // Expansion files may only go to Android/obb/PACKAGE/.
  std::vector<ZipMember> xapk = membersOf("sample.xapk");
  auto manifest = std::find_if(xapk.begin(), xapk.end(), [](const ZipMember& m) { return m.name == "manifest.json"; });
  const std::string obb = "Android/obb/org.fixture.bundle/main.7.org.fixture.bundle.obb";
  for (const std::string& path : {std::string("Android/obb/org.fixture.bundle/../../../data/x.obb"),
                                  std::string("Android/obb/org.other/main.obb"), std::string("/sdcard/x.obb"),
                                  std::string("Android/obb/org.fixture.bundle/a b;rm -rf.obb")}) {
    SCOPED_TRACE(path);
    std::string json(manifest->data.begin(), manifest->data.end());
    size_t at = json.rfind(obb);  // the install path comes after the file name
    ASSERT_NE(at, std::string::npos);
    json.replace(at, obb.size(), path);
    manifest->data.assign(json.begin(), json.end());
    EXPECT_EQ(readFrom(test::buildZip(xapk)).status, BundleStatus::Inconsistent);
    json.replace(at, path.size(), obb);
    manifest->data.assign(json.begin(), json.end());
  }
  EXPECT_EQ(readFrom(test::buildZip(xapk)).status, BundleStatus::Ok);
}

TEST(Bundle, LoaderShowsTheBaseAndTheComposition) {
  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
  PackageLoader(info, display, catalog).load(bundleFile("sample.xapk"), false);
  ASSERT_TRUE(info.analysisOk) << display.message;
  ASSERT_TRUE(info.bundle.has_value());
  EXPECT_EQ(info.path, bundleFile("sample.xapk"));
  EXPECT_EQ(info.packageName, "org.fixture.bundle");
  EXPECT_EQ(display.text(kLabelField), "Split sample");  // the base's own resources
  EXPECT_EQ(info.iconMember, "res/drawable-mdpi-v4/icon.png");
  EXPECT_FALSE(display.icon.empty());
  EXPECT_EQ(info.launcherActivity, ".Main");
  // The size is the whole bundle's; the feature module's permission and
  // advertising key count with the base's.
  EXPECT_EQ(display.text(kFileSizeField), formatFileSize(info.fileSize));
  EXPECT_GT(info.fileSize, 80000);
  EXPECT_EQ(info.permissions, (std::vector<std::string>{"android.permission.INTERNET", "android.permission.CAMERA"}));
  EXPECT_EQ(info.adNetworks, std::vector<std::string>{"多盟广告"});
  EXPECT_EQ(info.analytics, std::vector<std::string>{"友盟统计"});

  std::vector<ReportItem> roots = display.children(kReportRoot);
  ASSERT_EQ(roots.size(), 6u);
  EXPECT_EQ(display.item(roots[3]).text, kCompatibilitySection);
  // The signature is the base's, read from inside the bundle.
  EXPECT_EQ(display.item(roots[5]).text, kSignatureSection);
  EXPECT_EQ(display.item(display.children(roots[5]).at(0)).text, "签名方案：v1、v2、v3");
  EXPECT_EQ(info.signature.signers.at(0).sha256, "b4ccbe9dfeca574d7b8f8c1d7bd14017fba682b23b2d69c91fbef637dac9944f");
  EXPECT_EQ(display.item(roots[4]).text, kCompositionSection);
  EXPECT_EQ(display.item(roots[4]).image, kImageBundle);
  std::vector<ReportItem> lines = display.children(roots[4]);
  ASSERT_EQ(lines.size(), 11u);  // nine APKs, the expansion file and its folder on the phone
  EXPECT_EQ(display.item(lines[5]).text.rfind("处理器架构 arm64-v8a，", 0), 0u);
  EXPECT_EQ(display.item(lines[9]).text, "数据文件 main.7.org.fixture.bundle.obb，35 字节");
  EXPECT_EQ(display.item(lines[10]).text, "数据文件复制到 /sdcard/Android/obb/org.fixture.bundle/");

  // The encrypted kind says what it is.
  PackageLoader(info, display, catalog).load(bundleFile("encrypted.apkm"), false);
  EXPECT_FALSE(info.analysisOk);
  EXPECT_EQ(display.message, kEncryptedApkmMessage);
  EXPECT_TRUE(display.items.empty());
}

}  // namespace
}  // namespace vantaro
