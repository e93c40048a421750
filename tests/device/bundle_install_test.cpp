// Split bundles installed on phones played by fake-adb: what each phone is
// sent (fake-adb keeps the size and checksum of every file it is given),
// what is refused before anything is sent, and that the job's folder is
// gone after every outcome.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

#include "base/text.h"
#include "device/current_device.h"
#include "install/bundle_install.h"
#include "install/system.h"
#include "package/apk_archive.h"
#include "support.h"

namespace vantaro {
namespace {

using Lines = std::vector<std::string>;
using test::FakeAdb;
using test::Message;

const char* const kModernPhone =
    "[persist.sys.locale]: [zh-CN]\\r\\n[ro.build.version.sdk]: [33]\\r\\n"
    "[ro.product.cpu.abilist]: [arm64-v8a,armeabi-v7a,armeabi]\\r\\n[ro.sf.lcd_density]: [480]\\r\\n";

// One phone with these properties; install-multiple and push answer as given.
std::string Phone(const std::string& properties, const std::string& installAnswer = "Success\\r\\n",
                  const std::string& pushAnswer = "expansion0.obb: 1 file pushed, 0 skipped. 3.1 MB/s (35 bytes in 0.001s)\\r\\n") {
  return test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nout " + properties + "\n" +
         "match -s SER1 shell wm density\nout Physical density: 320\\r\\n\n" +
         "match -s SER1 install-multiple *\nout " + installAnswer + "\n" +
         "match -s SER1 install *\nout Success\\r\\n\n" + "match -s SER1 push *\nout " + pushAnswer + "\n";
}

std::string BundleFixture(const std::string& name) {
  return test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/bundles/" + name);
}

// What fake-adb records for a member of a bundle sent under name.
std::string Sent(const std::string& verb, const std::string& bundle, const std::string& member, const std::string& name) {
  ApkArchive archive;
  if (!archive.open(bundle)) return "cannot open " + bundle;
  const ApkArchive::Member* m = archive.find(member);
  if (!m) return "no member " + member;
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(m->crc));
  return verb + " " + std::to_string(m->size) + " " + crc + " " + name;
}

Lines SentSplits(const std::string& bundle, const Lines& members) {
  Lines lines;
  for (size_t i = 0; i < members.size(); ++i)
    lines.push_back(Sent("install-multiple", bundle, members[i], "split" + std::to_string(i) + ".apk"));
  return lines;
}

// A zip of stored members, as a plain zip of split APKs is made.
void WriteStoredZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out, directory;
  auto u16 = [](std::string& s, unsigned v) { s.push_back(char(v & 0xff)), s.push_back(char(v >> 8 & 0xff)); };
  auto u32 = [&u16](std::string& s, uint32_t v) { u16(s, v & 0xffff), u16(s, v >> 16); };
  for (const auto& [name, data] : members) {
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    uint32_t offset = static_cast<uint32_t>(out.size());
    u32(out, 0x04034b50), u16(out, 20), u16(out, 0), u16(out, 0), u16(out, 0), u16(out, 0x21), u32(out, crc);
    u32(out, static_cast<uint32_t>(data.size())), u32(out, static_cast<uint32_t>(data.size()));
    u16(out, static_cast<unsigned>(name.size())), u16(out, 0);
    out += name + data;
    u32(directory, 0x02014b50), u16(directory, 20), u16(directory, 20), u16(directory, 0), u16(directory, 0);
    u16(directory, 0), u16(directory, 0x21), u32(directory, crc), u32(directory, static_cast<uint32_t>(data.size()));
    u32(directory, static_cast<uint32_t>(data.size())), u16(directory, static_cast<unsigned>(name.size()));
    u16(directory, 0), u16(directory, 0), u16(directory, 0), u16(directory, 0), u32(directory, 0), u32(directory, offset);
    directory += name;
  }
  uint32_t at = static_cast<uint32_t>(out.size());
  out += directory;
  u32(out, 0x06054b50), u16(out, 0), u16(out, 0), u16(out, static_cast<unsigned>(members.size()));
  u16(out, static_cast<unsigned>(members.size())), u32(out, static_cast<uint32_t>(directory.size())), u32(out, at);
  u16(out, 0);
  test::WriteFile(path, out);
}

std::string MemberBytes(const std::string& bundle, const std::string& member) {
  ApkArchive archive;
  std::vector<uint8_t> bytes;
  if (!archive.open(bundle) || archive.read(member, 1 << 20, bytes) != ApkArchive::ReadResult::Ok) return "";
  return std::string(bytes.begin(), bytes.end());
}

class BundleInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set(std::string());
    temporary = files.path() + "tmp" + test::PathSeparator();
    ASSERT_TRUE(test::MakeFolder(temporary));
    services.freeMegabytes = [this] { return free; };
    services.temporaryFolder = [this] { return temporary; };
    services.localTime = test::FixedLocalTime;
  }
  bool Install(FakeAdb& adb, const std::string& bundle) {
    request.path = bundle;
    request.fileSize = fileLength(bundle);
    services.bridge.adbPath = adb.path();
    line.messages.clear();
    return InstallPackage(request, services, line);
  }
  // A file of the job's folder as the log shows it.
  std::string InFolder(const std::string& name) {
    return gbkToUtf8(temporary + "2011050390507" + test::PathSeparator() + name);
  }
  std::string Splits(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
      text += ' ';
      text += InFolder("split" + std::to_string(i) + ".apk");
    }
    return text;
  }

  test::TempFolder files{"bundle-install"};
  std::string temporary;
  InstallRequest request;
  InstallServices services;
  test::RecordingLine line;
  int64_t free = 100;
};

TEST_F(BundleInstall, ModernPhoneGetsExactlyItsSplitsThenTheDataFile) {
  const std::string xapk = BundleFixture("sample.xapk");
  FakeAdb adb(Phone(kModernPhone));
  request.sdCardAllowed = request.sdBoxTicked = true;
  ASSERT_TRUE(Install(adb, xapk));
  const std::string obb = "Android/obb/org.fixture.bundle/main.7.org.fixture.bundle.obb";
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop", "-s SER1 install-multiple -r -s" + Splits(5),
                              "-s SER1 push " + InFolder("expansion0.obb") + " /sdcard/" + obb}));
  Lines sent = SentSplits(xapk, {"base.apk", "camera.apk", "config.arm64_v8a.apk", "config.xxhdpi.apk", "config.zh.apk"});
  sent.push_back(Sent("push", xapk, obb, "expansion0.obb"));
  EXPECT_EQ(adb.Sent(), sent);
  EXPECT_EQ(line.messages, (std::vector<Message>{{kWaitText, StatusKind::Progress},
                                                 {"正在复制数据文件 1/1…", StatusKind::Progress},
                                                 {kInstallSuccessText, StatusKind::Success}}));
  EXPECT_EQ(test::FolderEntries(temporary), Lines{});

  // The same phone and application in the other containers, stored or
  // deflated: the same five splits, read from where each keeps them.
  const std::pair<const char*, Lines> others[] = {
      {"sample.apks", {"splits/base-master.apk", "splits/camera-master.apk", "splits/base-arm64_v8a.apk",
                       "splits/base-xxhdpi.apk", "splits/base-zh.apk"}},
      {"sample-sai.apks", {"base.apk", "base_camera.apk", "base_arm64_v8a.apk", "base_xxhdpi-v4.apk", "base_zh.apk"}},
      {"sample.apkm", {"base.apk", "split_camera.apk", "split_config.arm64_v8a.apk", "split_config.xxhdpi.apk",
                       "split_config.zh.apk"}},
  };
  request.sdBoxTicked = false;
  for (const auto& [name, members] : others) {
    FakeAdb other(Phone(kModernPhone));
    EXPECT_TRUE(Install(other, BundleFixture(name))) << name;
    EXPECT_EQ(other.Log(), (Lines{"devices", "-s SER1 shell getprop", "-s SER1 install-multiple -r" + Splits(5)})) << name;
    EXPECT_EQ(other.Sent(), SentSplits(BundleFixture(name), members)) << name;
    EXPECT_EQ(line.messages.back(), (Message{kInstallSuccessText, StatusKind::Success})) << name;
    EXPECT_EQ(test::FolderEntries(temporary), Lines{}) << name;
  }
}

TEST_F(BundleInstall, OldPhoneGetsTheStandaloneAloneAndDensityComesFromWmWhenMissing) {
  const std::string apks = BundleFixture("sample.apks");
  // Android 4.4, no density among its properties: none is needed.
  FakeAdb old(Phone("[ro.build.version.sdk]: [19]\\r\\n[ro.product.cpu.abi]: [armeabi-v7a]\\r\\n"));
  ASSERT_TRUE(Install(old, apks));
  EXPECT_EQ(old.Log(), (Lines{"devices", "-s SER1 shell getprop", "-s SER1 install -r " + InFolder("split0.apk")}));
  EXPECT_EQ(old.Sent(), Lines{Sent("install", apks, "standalones/standalone-arm64_v8a_xxhdpi.apk", "split0.apk")});
  EXPECT_EQ(test::FolderEntries(temporary), Lines{});

  // Android 11 without the property: "wm density" says 320, so xhdpi; no
  // locale either, so the English split.
  FakeAdb modern(Phone("[ro.build.version.sdk]: [30]\\r\\n[ro.product.cpu.abilist]: [x86_64]\\r\\n"));
  ASSERT_TRUE(Install(modern, apks));
  EXPECT_EQ(modern.Log(), (Lines{"devices", "-s SER1 shell getprop", "-s SER1 shell wm density",
                                 "-s SER1 install-multiple -r" + Splits(5)}));
  EXPECT_EQ(modern.Sent(), SentSplits(apks, {"splits/base-master.apk", "splits/camera-master.apk",
                                             "splits/base-x86_64.apk", "splits/base-xhdpi.apk", "splits/base-en.apk"}));
}

TEST_F(BundleInstall, RefusedBeforeAnythingIsSent) {
  // Code for arm64 only, on a 32-bit phone.
  const std::string xapk = BundleFixture("sample.xapk");
  const std::string only64 = files.path() + "only-arm64.zip";
  WriteStoredZip(only64, {{"base.apk", MemberBytes(xapk, "base.apk")},
                          {"config.arm64_v8a.apk", MemberBytes(xapk, "config.arm64_v8a.apk")},
                          {"config.zh.apk", MemberBytes(xapk, "config.zh.apk")}});
  const std::string phone32 =
      "[ro.build.version.sdk]: [28]\\r\\n[ro.product.cpu.abilist]: [armeabi-v7a,armeabi]\\r\\n[ro.sf.lcd_density]: [320]\\r\\n";
  {
    FakeAdb adb(Phone(phone32));
    EXPECT_FALSE(Install(adb, only64));
    ASSERT_EQ(line.messages.size(), 1u);
    EXPECT_EQ(line.messages[0].kind, StatusKind::Error);
    EXPECT_NE(line.messages[0].text.find("arm64-v8a"), std::string::npos) << line.messages[0].text;
    EXPECT_NE(line.messages[0].text.find("armeabi-v7a、armeabi"), std::string::npos) << line.messages[0].text;
    EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
    // The same phone takes the whole sample, with its 32-bit code.
    FakeAdb whole(Phone(phone32));
    EXPECT_TRUE(Install(whole, xapk));
    EXPECT_EQ(whole.Sent()[2], Sent("install-multiple", xapk, "config.armeabi_v7a.apk", "split2.apk"));
  }
  {
    // Android 4.4 and a bundle without a whole APK.
    FakeAdb adb(Phone("[ro.build.version.sdk]: [19]\\r\\n[ro.product.cpu.abi]: [armeabi-v7a]\\r\\n[ro.sf.lcd_density]: [240]\\r\\n"));
    EXPECT_FALSE(Install(adb, xapk));
    ASSERT_EQ(line.messages.size(), 1u);
    EXPECT_NE(line.messages[0].text.find("Android 5.0"), std::string::npos) << line.messages[0].text;
    EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
  }
  {
    // A phone that cannot be asked, and one that does not answer in time.
    FakeAdb offline(test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nerr error: device offline\\n\nexit 1\n");
    EXPECT_FALSE(Install(offline, xapk));
    EXPECT_EQ(line.messages, (std::vector<Message>{{"【安装失败】手机处于离线状态, 请重新连接手机后再试", StatusKind::Error}}));
    FakeAdb silent(test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nout \\r\\n\n");
    EXPECT_FALSE(Install(silent, xapk));
    EXPECT_EQ(line.messages, (std::vector<Message>{{kPhoneUnreadableText, StatusKind::Error}}));
    FakeAdb hung(test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nhang\n");
    services.bridge.timeouts.propertyMs = 1500;
    EXPECT_FALSE(Install(hung, xapk));
    EXPECT_EQ(line.messages, (std::vector<Message>{{kNoResponseText, StatusKind::Error}}));
    EXPECT_EQ(hung.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
  }
  {
    // Too little room for the chosen splits: nothing is written.
    free = 0;
    FakeAdb adb(Phone(kModernPhone));
    EXPECT_FALSE(Install(adb, xapk));
    EXPECT_EQ(line.messages, (std::vector<Message>{{kNoSpaceText, StatusKind::Error}}));
    EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
  }
  EXPECT_EQ(test::FolderEntries(temporary), Lines{});
}

TEST_F(BundleInstall, ChecksReadTheBaseAndAddMinusTForATestOnlyBase) {
  // compat.apk (target level 22, test-only) as the base of a plain zip of splits.
  const std::string zip = files.path() + "compat-splits.zip";
  WriteStoredZip(zip, {{"base.apk", test::ReadFile(test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/apk/compat.apk"))}});
  FakeAdb android14(Phone("[ro.build.version.sdk]: [34]\\r\\n[ro.product.cpu.abilist]: [arm64-v8a]\\r\\n"));
  EXPECT_FALSE(Install(android14, zip));
  ASSERT_EQ(line.messages.size(), 1u);
  EXPECT_EQ(line.messages[0].text.rfind("【安装失败】安装包的目标版本是 Android 5.1（API 22），这部手机是 Android 14（API 34）", 0), 0u)
      << line.messages[0].text;
  EXPECT_EQ(android14.Log(), (Lines{"devices", "-s SER1 shell getprop"}));

  FakeAdb android13(Phone("[ro.build.version.sdk]: [33]\\r\\n[ro.product.cpu.abilist]: [arm64-v8a]\\r\\n"));
  EXPECT_TRUE(Install(android13, zip));
  EXPECT_EQ(android13.Log().back(), "-s SER1 install-multiple -r -t" + Splits(1));
  EXPECT_EQ(test::FolderEntries(temporary), Lines{});
}

TEST_F(BundleInstall, FailuresLeaveNoFolder) {
  const std::string xapk = BundleFixture("sample.xapk");
  {
    // The phone refuses the set: its text, and no data file is pushed.
    FakeAdb adb(Phone(kModernPhone,
                      "adb: failed to finalize session\\r\\nFailure [INSTALL_FAILED_INVALID_APK: Split "
                      "config.arm64_v8a was defined multiple times]\\r\\n"));
    EXPECT_FALSE(Install(adb, xapk));
    EXPECT_EQ(line.messages.back(),
              (Message{"【安装失败】安装包中有重复的拆分包, 请重新下载完整的安装包", StatusKind::Error}));
    EXPECT_EQ(adb.Log().size(), 3u);
    EXPECT_EQ(test::FolderEntries(temporary), Lines{});
  }
  {
    // Installed, but the data file does not reach the phone.
    FakeAdb adb(Phone(kModernPhone, "Success\\r\\n",
                      "adb: error: failed to copy 'expansion0.obb' to '/sdcard/Android/obb/org.fixture.bundle/"
                      "main.7.org.fixture.bundle.obb': remote couldn't create file: Permission denied\\r\\n"));
    EXPECT_FALSE(Install(adb, xapk));
    EXPECT_EQ(line.messages,
              (std::vector<Message>{{kWaitText, StatusKind::Progress},
                                    {"正在复制数据文件 1/1…", StatusKind::Progress},
                                    {ExpansionFailedText("main.7.org.fixture.bundle.obb"), StatusKind::Error}}));
    EXPECT_EQ(test::FolderEntries(temporary), Lines{});
  }
  {
    // A chosen split whose bytes no longer match its checksum (a byte of its
    // library changed; its manifest still reads): nothing is sent.
    const std::string damaged = files.path() + "damaged.xapk";
    std::string bytes = test::ReadFile(xapk);
    ApkArchive outer, nested;
    ASSERT_TRUE(outer.open(xapk));
    uint64_t splitAt = 0, libraryAt = 0, inflated = 0;
    ASSERT_TRUE(outer.dataOffset(*outer.find("config.arm64_v8a.apk"), splitAt));
    ASSERT_TRUE(openNestedArchive(outer, "config.arm64_v8a.apk", 1 << 20, inflated, nested));
    ASSERT_TRUE(nested.dataOffset(*nested.find("lib/arm64-v8a/libsample.so"), libraryAt));
    bytes[splitAt + libraryAt + 4] ^= 0x5a;
    test::WriteFile(damaged, bytes);
    FakeAdb adb(Phone(kModernPhone));
    EXPECT_FALSE(Install(adb, damaged));
    EXPECT_EQ(line.messages.back(), (Message{kBundleDamagedText, StatusKind::Error}));
    EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
    EXPECT_EQ(test::FolderEntries(temporary), Lines{});
  }
  {
    // install-multiple that never ends is stopped at its time-out.
    FakeAdb adb(test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nout " + kModernPhone +
                "\nmatch -s SER1 install-multiple *\nhang\n");
    services.bridge.timeouts.installOverrideMs = 2000;
    EXPECT_FALSE(Install(adb, xapk));
    EXPECT_EQ(line.messages.back(), (Message{kInstallTimedOutText, StatusKind::Error}));
    EXPECT_EQ(test::FolderEntries(temporary), Lines{});
  }
}

TEST(BundleInstallParts, PhonePathsOfExpansionFiles) {
  BundleExpansion e;
  e.installPath = "Android/obb/org.x/main.1.org.x.obb";
  EXPECT_EQ(ExpansionPhonePath(e), "/sdcard/Android/obb/org.x/main.1.org.x.obb");
  for (const char* bad : {"Android/obb/org.x/../../x.obb", "Android/obb/org x/main.obb", "Android/obb//main.obb",
                          "Android/obb/org.x/main.obb;reboot", "Android/obb/org.x/'main'.obb", "",
                          "Android/obb/org.x/./main.obb", "Android\\obb\\org.x\\main.obb"}) {
    e.installPath = bad;
    EXPECT_EQ(ExpansionPhonePath(e), "") << bad;
  }
}

}  // namespace
}  // namespace vantaro
