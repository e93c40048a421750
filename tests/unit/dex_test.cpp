#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "package/dex.h"
#include "package/loader.h"
#include "package/recording_display.h"
#include "package/report.h"
#include "package/sdk_scan.h"
#include "zip_builder.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::ZipMember;

std::string fixture(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/apk/" + name; }

Bytes member(const std::string& package, const std::string& name) {
  ApkArchive archive;
  std::vector<uint8_t> out;
  EXPECT_TRUE(archive.open(fixture(package)));
  EXPECT_EQ(archive.read(name, 64u << 20, out), ApkArchive::ReadResult::Ok);
  return out;
}

struct Loaded {
  PackageInfo info;
  RecordingDisplay display;
};

Loaded loadWithCode(const std::string& path, unsigned workers = 1) {
  static const PermissionCatalog catalog;
  Loaded l;
  PackageLoader loader(l.info, l.display, catalog);
  loader.setCodeScan(true, workers);
  loader.load(path, false);
  return l;
}

TEST(SdkCatalog, IsTheDataFileWithDistinctNamesAndNarrowPrefixes) {
  const SdkCatalog& catalog = SdkCatalog::Builtin();
  EXPECT_GE(catalog.sdks().size(), 120u);
  std::set<std::string> seenNames, seenPrefixes;
  for (const Sdk& sdk : catalog.sdks()) {
    EXPECT_TRUE(seenNames.insert(sdk.name).second) << sdk.id;
    for (const std::string& p : sdk.prefixes) {
      EXPECT_TRUE(seenPrefixes.insert(p).second) << p;
      for (const char* root : {"com/google/", "com/tencent/", "com/baidu/", "com/alibaba/", "com/huawei/", "com/facebook/"})
        EXPECT_NE(p, root) << sdk.id;  // a company's root is never evidence of one of its SDKs
    }
  }
  // The names the manifest keys give are the catalogue's, so the two merge.
  for (const char* known : {"友盟统计", "AdMob广告", "多盟广告", "有米广告"}) EXPECT_EQ(seenNames.count(known), 1u) << known;
}

TEST(SdkScan, FindsEachSdkOnceAcrossDexFiles) {
  struct Case {
    const char* package;
    std::vector<std::string> ads, analytics;
  };
  for (const Case& c : {
           // Chinese networks and push services, one SDK per dex member; the
           // look-alikes com/umengx/ and com/qqe/ and a call into Umeng's
           // analytics that the package does not carry count for nothing.
           Case{"sdk-cn.apk", {"穿山甲广告", "腾讯广点通", "快手联盟广告"}, {"极光推送", "个推推送", "小米推送"}},
           Case{"sdk-global.apk",
                {"AdMob广告", "Facebook Audience Network广告", "AppLovin广告", "Unity Ads广告"},
                {"Firebase统计", "友盟统计", "腾讯Bugly", "AppsFlyer归因", "Adjust归因"}},
           // Only Google's advertising-identifier helper: no advertising.
           Case{"sdk-identifier.apk", {}, {}},
           // A version 041 container of two sections.
           Case{"sdk-041.apk", {"穿山甲广告", "快手联盟广告"}, {"个推推送", "小米推送"}},
       }) {
    SCOPED_TRACE(c.package);
    Loaded l = loadWithCode(fixture(c.package));
    ASSERT_TRUE(l.info.analysisOk);
    EXPECT_EQ(l.info.codeScan, PackageInfo::CodeScan::Ok);
    EXPECT_EQ(l.info.adNetworks, c.ads);
    EXPECT_EQ(l.info.analytics, c.analytics);
    // Several threads, one member each, find the same with the same evidence.
    Loaded parallel = loadWithCode(fixture(c.package), 3);
    ASSERT_EQ(parallel.info.sdks.size(), l.info.sdks.size());
    for (size_t i = 0; i < l.info.sdks.size(); ++i) {
      EXPECT_EQ(parallel.info.sdks[i].name, l.info.sdks[i].name);
      EXPECT_EQ(parallel.info.sdks[i].evidence, l.info.sdks[i].evidence);
    }
  }
  Loaded cn = loadWithCode(fixture("sdk-cn.apk"));
  EXPECT_EQ(cn.info.sdks.front().evidence, "com/bytedance/sdk/openadsdk/TTAdSdk");
  // Without the scan the load does not read the code at all.
  static const PermissionCatalog catalog;
  PackageInfo quick;
  RecordingDisplay display;
  PackageLoader(quick, display, catalog).load(fixture("sdk-cn.apk"), false);
  EXPECT_EQ(quick.codeScan, PackageInfo::CodeScan::NotRun);
  EXPECT_TRUE(quick.adNetworks.empty());
}

TEST(SdkScan, ManifestKeysAndCodeMakeOneLinePerSdk) {
  // demo's manifest carries the Umeng key; give it sdk-global's code, which
  // defines Umeng's analytics classes.
  std::vector<ZipMember> members = {{"AndroidManifest.xml", member("demo.apk", "AndroidManifest.xml"), true},
                                    {"resources.arsc", member("demo.apk", "resources.arsc"), false},
                                    {"classes.dex", member("sdk-global.apk", "classes.dex"), true},
                                    {"classes2.dex", member("sdk-global.apk", "classes2.dex"), true},
                                    // Past the gap after classes2.dex: the phone never loads it.
                                    {"classes4.dex", member("sdk-cn.apk", "classes.dex"), true}};
  test::TempFile file("vantaro-keys-and-code.apk", test::buildZip(members));
  Loaded l = loadWithCode(file.path());
  ASSERT_TRUE(l.info.analysisOk);
  EXPECT_EQ(std::count(l.info.analytics.begin(), l.info.analytics.end(), "友盟统计"), 1);
  auto umeng = std::find_if(l.info.sdks.begin(), l.info.sdks.end(), [](const SdkFinding& f) { return f.name == "友盟统计"; });
  ASSERT_NE(umeng, l.info.sdks.end());
  EXPECT_EQ(umeng->evidence, "UMENG_APPKEY");  // the manifest was read first
  EXPECT_EQ(std::count(l.info.adNetworks.begin(), l.info.adNetworks.end(), "穿山甲广告"), 0);
}

// Lines under a section, by its text.
std::vector<std::string> sectionLines(const RecordingDisplay& d, const char* section) {
  std::vector<std::string> out;
  for (ReportItem root : d.children(kReportRoot))
    if (d.item(root).text == section)
      for (ReportItem line : d.children(root)) out.push_back(d.item(line).text);
  return out;
}

// The window's road: a quick load whose finding sections wait, then the code
// scanned from the file alone (bundle-aware) and filled in, gives what the
// CLI's inline scan gives, in the same order.
TEST(SdkScan, ScanLaterFromTheFileGivesWhatTheInlineScanGives) {
  static const PermissionCatalog catalog;
  for (std::string path : {fixture("sdk-cn.apk"), fixture("sdk-global.apk"), fixture("sdk-041.apk"),
                           std::string(VANTARO_FIXTURE_DIR) + "/bundles/sample.xapk"}) {
    SCOPED_TRACE(path);
    Loaded inline_ = loadWithCode(path);
    Loaded later;
    PackageLoader loader(later.info, later.display, catalog);
    loader.setCodeScanLater(true);
    loader.load(path, false);
    ASSERT_TRUE(loader.pendingScan());
    const PendingCodeScan& pending = *loader.pendingScan();
    EXPECT_EQ(sectionLines(later.display, kAdvertisingSection), std::vector<std::string>{kAnalysing});
    EXPECT_EQ(sectionLines(later.display, kAnalyticsSection), std::vector<std::string>{kAnalysing});
    EXPECT_EQ(later.info.codeScan, PackageInfo::CodeScan::NotRun);

    std::vector<SdkFinding> findings = later.info.sdks;
    CodeScanStatus status = scanPackageFile(pending.path, SdkCatalog::Builtin(), findings);
    applyCodeScan(later.info, std::move(findings), status);
    EXPECT_EQ(later.info.codeScan, inline_.info.codeScan);
    EXPECT_EQ(later.info.adNetworks, inline_.info.adNetworks);
    EXPECT_EQ(later.info.analytics, inline_.info.analytics);
    ASSERT_EQ(later.info.sdks.size(), inline_.info.sdks.size());
    for (size_t i = 0; i < later.info.sdks.size(); ++i) EXPECT_EQ(later.info.sdks[i].evidence, inline_.info.sdks[i].evidence);

    RecordingDisplay filled;
    FindingSections sections{filled.insertReportItem(kReportRoot, kAdvertisingSection, kImageWarning),
                             filled.insertReportItem(kReportRoot, kAnalyticsSection, kImageInformation)};
    fillFindingSections(later.info, filled, sections);
    EXPECT_EQ(sectionLines(filled, kAdvertisingSection), sectionLines(inline_.display, kAdvertisingSection));
    EXPECT_EQ(sectionLines(filled, kAnalyticsSection), sectionLines(inline_.display, kAnalyticsSection));
  }
  // sdk-cn's findings, as the window must show them.
  Loaded cn = loadWithCode(fixture("sdk-cn.apk"));
  EXPECT_EQ(sectionLines(cn.display, kAdvertisingSection), (std::vector<std::string>{"穿山甲广告", "腾讯广点通", "快手联盟广告"}));

  // Asked to stop, the scan reads nothing more and says so; a file that is
  // no package is code that cannot be read.
  std::atomic<bool> cancel{true};
  std::vector<SdkFinding> none;
  EXPECT_EQ(scanPackageFile(fixture("sdk-cn.apk"), SdkCatalog::Builtin(), none, &cancel), CodeScanStatus::Cancelled);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(scanPackageFile(fixture("not-a-zip.apk"), SdkCatalog::Builtin(), none), CodeScanStatus::Incomplete);
  // Nothing waits for a package without internet access: its sections are final.
  PackageInfo offline;
  RecordingDisplay offlineDisplay;
  PackageLoader offlineLoader(offline, offlineDisplay, catalog);
  offlineLoader.setCodeScanLater(true);
  offlineLoader.load(fixture("offline.apk"), false);
  EXPECT_FALSE(offlineLoader.pendingScan());
  EXPECT_EQ(sectionLines(offlineDisplay, kAdvertisingSection), std::vector<std::string>{kNothingFound});
}

TEST(Dex, HostileFilesAreRefusedOrSkippedAndThePackageStillShows) {
  Bytes dex = member("sdk-cn.apk", "classes.dex");
  Bytes container = member("sdk-041.apk", "classes.dex");
  DexIndex index;
  ASSERT_TRUE(index.open(dex.data(), dex.size()));
  EXPECT_EQ(index.firstClassWithPrefix("com/bytedance/sdk/"), "com/bytedance/sdk/openadsdk/TTAdSdk");
  // Every truncation, and every word of the header and the tables set to
  // values past the data: no crash, nothing found that is not there.
  for (const Bytes* original : {&dex, &container}) {
    for (size_t n = 0; n < original->size(); n += 7) {
      DexIndex cut;
      if (cut.open(original->data(), n)) {
        std::string found = cut.firstClassWithPrefix("com/");
        EXPECT_TRUE(found.empty() || found.rfind("com/", 0) == 0) << n;
      }
    }
    for (size_t at = 32; at + 4 <= std::min<size_t>(original->size(), 0x200); at += 4) {
      for (uint32_t value : {0xFFFFFFFFu, 0x7FFFFFF0u, static_cast<uint32_t>(original->size())}) {
        Bytes bad = *original;
        test::set32(bad, at, value);
        DexIndex hostile;
        if (hostile.open(bad.data(), bad.size())) (void)hostile.firstClassWithPrefix("com/qq/e/");
      }
    }
  }
  // Container sections that overlap, or one that runs past the container.
  Bytes overlap = container;
  test::set32(overlap, 32, 0x60);  // first section shorter than its own header
  EXPECT_FALSE(index.open(overlap.data(), overlap.size()));
  Bytes pastEnd = container;
  test::set32(pastEnd, 32, static_cast<uint32_t>(container.size()) + 8);
  EXPECT_FALSE(index.open(pastEnd.data(), pastEnd.size()));

  // A package whose code cannot be read is still a package; the report says
  // the code was not read whole.
  std::vector<ZipMember> members = {{"AndroidManifest.xml", member("sdk-cn.apk", "AndroidManifest.xml"), true},
                                    {"resources.arsc", member("sdk-cn.apk", "resources.arsc"), false},
                                    {"classes.dex", Bytes(500, 'x'), true},
                                    {"classes2.dex", member("sdk-cn.apk", "classes2.dex"), true},
                                    {"classes3.dex", Bytes(10, 'y'), true, int64_t{kMaxDexSize} + 1}};
  test::TempFile file("vantaro-bad-code.apk", test::buildZip(members));
  Loaded l = loadWithCode(file.path());
  EXPECT_TRUE(l.info.analysisOk);
  EXPECT_EQ(l.info.codeScan, PackageInfo::CodeScan::Incomplete);
  EXPECT_EQ(l.info.adNetworks, std::vector<std::string>{"腾讯广点通"});
  bool said = std::any_of(l.display.items.begin(), l.display.items.end(),
                          [](const RecordingDisplay::Item& i) { return i.text == kCodeUnreadable; });
  EXPECT_TRUE(said);
}

}  // namespace
}  // namespace vantaro
