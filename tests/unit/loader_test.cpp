// The loader on the committed fixture packages (tests/fixtures/regenerate
// builds them with aapt): what the main window would show for each.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "package/file_size.h"
#include "package/loader.h"
#include "package/recording_display.h"

namespace vantaro {
namespace {

// Paths are GBK like every text inside the program; the fixture folder is
// ASCII (a Z:/ path under Wine).
std::string fixture(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/apk/" + name; }

int64_t sizeOnDisk(const std::string& asciiPath) {
  std::ifstream in(asciiPath, std::ios::binary | std::ios::ate);
  return in ? static_cast<int64_t>(in.tellg()) : -1;
}

// Width from a PNG's IHDR chunk; 0 when the bytes are no PNG.
uint32_t pngWidth(const std::vector<uint8_t>& png) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (png.size() < 24 || !std::equal(kSignature, kSignature + 8, png.begin())) return 0;
  return uint32_t{png[16]} << 24 | uint32_t{png[17]} << 16 | uint32_t{png[18]} << 8 | png[19];
}

struct Section {
  std::string text;
  int image;
  bool expanded;
  std::vector<std::string> lines;
  bool operator==(const Section&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Section& s) {
  out << "{" << s.text << " image " << s.image << (s.expanded ? " expanded" : " collapsed") << ":";
  for (const std::string& line : s.lines) out << " [" << line << "]";
  return out << "}";
}

const char* const kInternet = "android.permission.INTERNET";
const char* const kInternetLine = "[!] --- 访问互联网,将产生GRPS流量";
const char* const kNothing = "没有找到";
const int kSummaryFields[] = {kFileSizeField, kVersionField, kPackageNameField, kMinReleaseField, kSdCardField,
                              kLabelField};

class LoaderTest : public ::testing::Test {
 protected:
  void load(const std::string& path, bool sizeShown = false) {
    PackageLoader(info, display, catalog).load(path, sizeShown);
  }

  // The report tree as a user reads it. Child lines never carry an image and
  // have no children of their own. The compatibility section is left to the
  // tests of its own.
  std::vector<Section> report() const {
    std::vector<Section> out;
    for (ReportItem root : display.children(kReportRoot)) {
      const auto& item = display.item(root);
      if (item.text == kCompatibilitySection) continue;
      Section section{item.text, item.image, item.expanded, {}};
      for (ReportItem child : display.children(root)) {
        EXPECT_EQ(display.item(child).image, kImageNone) << display.item(child).text;
        EXPECT_TRUE(display.children(child).empty()) << display.item(child).text;
        section.lines.push_back(display.item(child).text);
      }
      out.push_back(std::move(section));
    }
    return out;
  }

  static std::vector<Section> sections(std::vector<std::string> permissions, std::vector<std::string> ads,
                                       std::vector<std::string> analytics) {
    return {{"请求权限 ", kImageTick, true, std::move(permissions)},
            {"广告检测", kImageWarning, true, std::move(ads)},
            {"统计信息", kImageInformation, true, std::move(analytics)},
            {kSignatureSection, kImageSignature, true, {"签名方案：无（未签名）"}}};
  }

  // Everything a user sees except the size line (packages of other lengths
  // render other sizes).
  auto seen() const {
    auto texts = display.texts;
    texts.erase(kFileSizeField);
    return std::make_tuple(texts, display.message, display.messageKind, display.icon, report(),
                           info.launcherActivity, info.analysisOk);
  }

  void expectRejected(const std::string& message = kInvalidPackageMessage) {
    EXPECT_EQ(display.message, message);
    EXPECT_EQ(display.messageKind, StatusKind::Error);
    EXPECT_FALSE(info.analysisOk);
    EXPECT_TRUE(info.path.empty());
    EXPECT_TRUE(display.items.empty()) << "a rejected package shows no report";
    EXPECT_TRUE(display.icon.empty());
    for (int id : {kVersionField, kPackageNameField, kMinReleaseField, kSdCardField, kLabelField})
      EXPECT_EQ(display.text(id), "") << "control " << id;
  }

  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
};

TEST_F(LoaderTest, ResolvesTranslatedLabelVersionIconAndReport) {
  const std::string path = fixture("demo.apk");
  load(path);

  EXPECT_EQ(display.text(kLabelField), "演示工具");  // zh-CN over zh-TW, French and the default
  EXPECT_EQ(display.text(kVersionField), "2.5.1");
  EXPECT_EQ(display.text(kPackageNameField), "org.fixture.demo");
  EXPECT_EQ(display.text(kMinReleaseField), "Android 2.1");
  EXPECT_EQ(display.text(kSdCardField), "该应用支持");
  const int64_t size = sizeOnDisk(path);
  ASSERT_GT(size, 0);
  EXPECT_EQ(info.fileSize, size);
  EXPECT_EQ(display.text(kFileSizeField), formatFileSize(size));
  EXPECT_EQ(display.message, "演示工具就绪");
  EXPECT_EQ(display.messageKind, StatusKind::Progress);

  // The icon of the density defined last (hdpi, 72 px), shown as read.
  EXPECT_EQ(info.iconMember, "res/drawable-hdpi-v4/icon.png");
  EXPECT_EQ(pngWidth(display.icon), 72u);
  EXPECT_EQ(display.icon, info.iconImage);

  // maxSdkVersion's number is no permission; uses-permission-sdk-23 counts
  // like uses-permission.
  EXPECT_EQ(info.permissions,
            (std::vector<std::string>{kInternet, "android.permission.WRITE_EXTERNAL_STORAGE",
                                      "android.permission.READ_PHONE_STATE", "android.permission.CAMERA"}));
  EXPECT_EQ(report(), sections({kInternetLine, "修改SD卡上的文件", "获取电话状态", "[!] --- 使用摄像头拍照或扫描条码"},
                               {kNothing}, {"友盟统计"}));

  // The filter with a second LAUNCHER category is passed over.
  EXPECT_EQ(info.launcherActivity, ".Main");
  EXPECT_FALSE(info.isKorvelPlugin);
  EXPECT_TRUE(info.analysisOk);
  EXPECT_EQ(info.path, path);
}

TEST_F(LoaderTest, FindsAdvertisingByKeysAndClassFiles) {
  load(fixture("ads.apk"));

  EXPECT_EQ(display.text(kLabelField), "天气&日历");
  EXPECT_EQ(display.message, "天气&日历就绪");
  EXPECT_EQ(display.text(kVersionField), "1.0.3");
  EXPECT_EQ(display.text(kMinReleaseField), "Android 4.0");
  EXPECT_EQ(display.text(kSdCardField), "不支持");  // internalOnly
  EXPECT_EQ(info.launcherActivity, "org.fixture.ads.Home");
  EXPECT_EQ(info.iconMember, "res/drawable/icon.png");
  EXPECT_EQ(pngWidth(display.icon), 32u);

  // Meta-data keys first, then the class probes in table order; the Umeng
  // key counts as a value too. One line per SDK: Market_ID and Wooboo_PID
  // both name Wooboo, and both Youmi classes name Youmi.
  EXPECT_EQ(report(), sections({kInternetLine, "[!] --- 访问粗略位置信息，如WiFi热点或移动基站"},
                               {"哇棒广告", "有米广告", "微云广告"}, {"友盟统计"}));
  ASSERT_EQ(info.sdks.size(), 4u);
  EXPECT_EQ(info.sdks[0].evidence, "Market_ID");
  EXPECT_EQ(info.sdks[2].evidence, "net/youmi/android/spotad/a.class");
}

TEST_F(LoaderTest, FindingsNeedTheInternetPermission) {
  load(fixture("offline.apk"));

  ASSERT_TRUE(info.analysisOk);
  EXPECT_EQ(info.adNetworks, (std::vector<std::string>{"多盟广告", "架势广告"}));
  // The only permission is unknown to the catalogue: its section has no line
  // at all; the findings stay hidden without INTERNET.
  EXPECT_EQ(info.permissions, std::vector<std::string>{"org.fixture.permission.SYNC"});
  EXPECT_EQ(report(), sections({}, {kNothing}, {kNothing}));

  EXPECT_EQ(display.text(kLabelField), "Offline Notes");
  EXPECT_EQ(display.text(kMinReleaseField), "未知版本");
  EXPECT_EQ(display.text(kSdCardField), "该应用支持");
  EXPECT_TRUE(display.icon.empty());
  EXPECT_TRUE(info.iconMember.empty());
  EXPECT_EQ(info.launcherActivity, "");
}

TEST_F(LoaderTest, PluginWithAdaptiveIconAndNoPermissions) {
  load(fixture("plugin.apk"));

  EXPECT_TRUE(info.isKorvelPlugin);
  EXPECT_EQ(info.launcherActivity, "");
  EXPECT_EQ(display.text(kLabelField), "插件");  // plain zh over the default
  EXPECT_EQ(display.text(kMinReleaseField), "Android 8.0");
  // The table names the adaptive icon's XML; the raster of the highest
  // density stands in for it.
  EXPECT_EQ(info.iconMember, "res/mipmap-xhdpi-v4/ic_launcher.png");
  EXPECT_EQ(pngWidth(display.icon), 96u);
  EXPECT_EQ(report(), sections({kNothing}, {kNothing}, {kNothing}));
}

TEST_F(LoaderTest, OtherSpellingsOfTheSamePackageLoadAlike) {
  const std::string path = fixture("demo.apk");
  load(path);
  const auto expected = seen();
  ASSERT_TRUE(info.analysisOk);

  const std::string variants[] = {
      "\"" + path + "\"",               // quoted, as a command line passes it
      fixture("Game.APK"),              // extension in capitals
      fixture("演示 v2.5.1.apk"),       // Chinese, a space, more full stops
      fixture("game.apk.zip"),          // a package under a bundle's extension
  };
  for (const std::string& variant : variants) {
    SCOPED_TRACE(variant);
    load(variant);
    EXPECT_EQ(seen(), expected);
    EXPECT_EQ(info.path, variant == variants[0] ? path : variant);
    EXPECT_FALSE(display.text(kFileSizeField).empty());
  }
}

TEST_F(LoaderTest, RejectsByNameWithoutOpeningTheFile) {
  // An extension no package has; a path without any extension. Neither is
  // measured.
  for (const std::string& path : {fixture("demo.apk.txt"), fixture("no-extension")}) {
    SCOPED_TRACE(path);
    load(path);
    expectRejected();
    EXPECT_EQ(display.text(kFileSizeField), "");
  }
  load(fixture("missing.apk"));
  expectRejected("【错误】无法读取该文件，请确认文件存在且未被占用");
}

TEST_F(LoaderTest, RejectsAFileThatIsNoZipAfterMeasuringIt) {
  const std::string path = fixture("not-a-zip.apk");
  load(path);
  expectRejected();
  EXPECT_EQ(info.fileSize, sizeOnDisk(path));
  EXPECT_EQ(display.text(kFileSizeField), formatFileSize(sizeOnDisk(path)));
}

TEST_F(LoaderTest, MissingResourceTableStillReports) {
  load(fixture("no-resources.apk"));

  EXPECT_EQ(display.message, kInvalidPackageMessage);
  EXPECT_EQ(display.messageKind, StatusKind::Error);
  EXPECT_FALSE(info.analysisOk);
  EXPECT_TRUE(info.path.empty());
  // The manifest's facts and the report stand; references stay unresolved,
  // and their digits show nowhere.
  EXPECT_EQ(display.text(kPackageNameField), "org.fixture.demo");
  EXPECT_EQ(display.text(kVersionField), "");
  EXPECT_EQ(display.text(kLabelField), "");
  EXPECT_EQ(info.unresolved.size(), 3u);
  EXPECT_TRUE(display.icon.empty());
  EXPECT_EQ(display.text(kSdCardField), "不支持");
  EXPECT_EQ(report(), sections({kInternetLine, "修改SD卡上的文件", "获取电话状态", "[!] --- 使用摄像头拍照或扫描条码"},
                               {kNothing}, {"友盟统计"}));
}

TEST_F(LoaderTest, ReferencesIntoOtherPackageIds) {
  struct Case {
    const char* file;
    const char* label;
    const char* version;
    const char* icon;
  };
  // Package 0x01 (extending ids, as the framework's), package 0x00 (a shared
  // library), and references into a package the table does not hold.
  for (const Case& c : {Case{"extending.apk", "扩展包", "3.0-ext", "res/drawable-mdpi-v4/icon.png"},
                        Case{"sharedlib.apk", "共享库", "7.1-lib", "res/drawable-mdpi-v4/icon.png"},
                        Case{"foreign.apk", "", "", ""}}) {
    SCOPED_TRACE(c.file);
    load(fixture(c.file));
    EXPECT_TRUE(info.analysisOk);
    EXPECT_EQ(display.text(kLabelField), c.label);
    EXPECT_EQ(display.text(kVersionField), c.version);
    EXPECT_EQ(info.iconMember, c.icon);
    EXPECT_EQ(display.message, std::string(c.label) + "就绪");
    EXPECT_EQ(info.unresolved.size(), *c.label ? 0u : 3u);
  }
  // The shared-user label would resolve, but it is never the name.
  EXPECT_EQ(info.unresolved.front().field, "label");
  EXPECT_EQ(info.unresolved.front().id, 0x0104000Au);
}

TEST_F(LoaderTest, CorruptManifestStopsTheLoadButKeepsThePath) {
  const std::string path = fixture("bad-manifest.apk");
  load(path);

  EXPECT_EQ(display.message, kInvalidPackageMessage);
  EXPECT_EQ(display.messageKind, StatusKind::Error);
  EXPECT_FALSE(info.analysisOk);
  EXPECT_EQ(info.path, path);
  EXPECT_TRUE(display.items.empty());
  EXPECT_TRUE(display.icon.empty());
  EXPECT_EQ(display.text(kSdCardField), "");
  EXPECT_EQ(display.text(kLabelField), "");
}

TEST_F(LoaderTest, EachLoadReplacesWhatTheLastOneShowed) {
  load(fixture("demo.apk"));
  ASSERT_EQ(pngWidth(display.icon), 72u);

  load(fixture("ads.apk"));
  EXPECT_EQ(pngWidth(display.icon), 32u);
  EXPECT_EQ(info.iconImage, display.icon);
  EXPECT_EQ(info.iconMember, "res/drawable/icon.png");
  EXPECT_EQ(display.text(kLabelField), "天气&日历");
  ASSERT_EQ(report().size(), 4u);

  // A package without an icon shows the default picture.
  load(fixture("offline.apk"));
  EXPECT_TRUE(display.icon.empty());
  EXPECT_TRUE(info.iconImage.empty());

  load(fixture("ads.apk"));
  ASSERT_FALSE(display.icon.empty());
  load(fixture("not-a-zip.apk"));
  expectRejected();
  EXPECT_TRUE(info.iconImage.empty());
  EXPECT_TRUE(info.permissions.empty());
  EXPECT_TRUE(info.adNetworks.empty());
  EXPECT_EQ(info.launcherActivity, "");

  // A size the caller has just shown stays; otherwise the rejected name
  // empties the size line too.
  load(fixture("demo.apk"));
  display.setText(kFileSizeField, "1.00 MB");
  info.fileSize = 1 << 20;
  load(fixture("demo.apk.txt"), true);
  EXPECT_EQ(display.text(kFileSizeField), "1.00 MB");
  EXPECT_EQ(info.fileSize, 1 << 20);
  load(fixture("demo.apk.txt"));
  for (int id : kSummaryFields) EXPECT_EQ(display.text(id), "") << "control " << id;
}

}  // namespace
}  // namespace vantaro
