#include <gtest/gtest.h>

#include "base/text.h"
#include "device/current_device.h"
#include "device/runner.h"
#include "install/install_job.h"
#include "install/system.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

using test::Message;
using test::RecordingLine;

std::string OneDevice(int sdk) {
  return test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop ro.build.version.sdk\nout " +
         std::to_string(sdk) + "\\r\\n\nmatch -s SER1 install *\nout \\tpkg: /data/local/tmp/x.apk\\r\\nSuccess\\r\\n\n";
}

// An install with fake-adb, a package whose own name has Chinese and a
// space, a temporary folder of its own and a fixed clock.
class InstallJob : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set(std::string());
    package = files.path() + "演示 包.apk";
    test::WriteFile(package, "package bytes");
    temporary = files.path() + "tmp" + test::PathSeparator();
    ASSERT_TRUE(test::MakeFolder(temporary));
    request.path = package;
    request.fileSize = 13;
    request.sdCardAllowed = true;
    request.sdBoxTicked = true;
    services.freeMegabytes = [this] { return free; };
    services.temporaryFolder = [this] { return temporary; };
    services.localTime = test::FixedLocalTime;
  }
  bool Install(FakeAdb& adb) {
    services.bridge.adbPath = adb.path();
    return InstallPackage(request, services, line);
  }
  // The copy as the log shows it (UTF-8).
  std::string CopyInLog(const std::string& name) { return gbkToUtf8(temporary + name); }
  // A whole command line as fake-adb received it: the tool's path in quotes.
  static std::string Raw(const FakeAdb& adb, const std::string& arguments) {
    return test::InQuotes(gbkToUtf8(adb.path())) + " " + arguments;
  }

  test::TempFolder files{"install"};
  std::string package, temporary;
  InstallRequest request;
  InstallServices services;
  RecordingLine line;
  int64_t free = 100;
};

TEST_F(InstallJob, CommandWithSdOptionAtLevel8) {
  FakeAdb adb(OneDevice(8));
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(adb.RawLog(), (Lines{Raw(adb, "devices"), Raw(adb, "-s SER1 shell getprop ro.build.version.sdk"),
                                 Raw(adb, "-s SER1 install -r -s " + CopyInLog("2011050390507.apk"))}));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kWaitText, StatusKind::Progress},
                                                 {kInstallSuccessText, StatusKind::Success}}));
  EXPECT_FALSE(IsExistingFile(temporary + "2011050390507.apk"));  // the copy is gone
  EXPECT_EQ(CurrentDevice::Get(), "SER1");
}

TEST_F(InstallJob, NoSdOptionAtLevel7OrUnticked) {
  FakeAdb adb(OneDevice(7));
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(adb.Log().back(), "-s SER1 install -r " + CopyInLog("2011050390507.apk"));
  // Unticked: the level is not even asked for.
  FakeAdb again(OneDevice(8));
  request.sdBoxTicked = false;
  EXPECT_TRUE(Install(again));
  EXPECT_EQ(again.Log(), (Lines{"devices", "-s SER1 install -r " + CopyInLog("2011050390507.apk")}));
}

TEST_F(InstallJob, TemporaryFolderWithSpaceIsQuoted) {
  temporary = files.path() + "临时 文件夹" + test::PathSeparator();
  ASSERT_TRUE(test::MakeFolder(temporary));
  FakeAdb adb(OneDevice(7));
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(adb.RawLog().back(), Raw(adb, "-s SER1 install -r \"" + CopyInLog("2011050390507.apk") + "\""));
}

TEST_F(InstallJob, TakenNameGetsMoreDigitsAndIsLeftAlone) {
  // Another job of the same second already holds the name.
  test::WriteFile(temporary + "2011050390507.apk", "the other job's copy");
  FakeAdb adb(OneDevice(7));
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(adb.Log().back(), "-s SER1 install -r " + CopyInLog("20110503905071.apk"));
  EXPECT_EQ(test::ReadFile(temporary + "2011050390507.apk"), "the other job's copy");
  EXPECT_FALSE(IsExistingFile(temporary + "20110503905071.apk"));
}

TEST_F(InstallJob, SpaceRuleAndWaitingTexts) {
  FakeAdb adb(OneDevice(7));
  free = 0;
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kNoSpaceText, StatusKind::Error}}));
  EXPECT_EQ(adb.Log(), Lines{"devices"});

  // 3 GiB needs more than 3072 MiB free.
  request.fileSize = int64_t{3} << 30;
  free = 3072;
  line.messages.clear();
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages.front().text, kNoSpaceText);
  free = 3073;
  line.messages.clear();
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(line.messages.front().text, kLongWaitText);

  request.fileSize = 10000000;
  line.messages.clear();
  Install(adb);
  EXPECT_EQ(line.messages.front().text, kWaitText);
  request.fileSize = 10000001;
  line.messages.clear();
  Install(adb);
  EXPECT_EQ(line.messages.front().text, kLongWaitText);
}

TEST_F(InstallJob, DeviceResolutionFailures) {
  FakeAdb two(test::DeviceListingRule({"A", "B"}));
  std::vector<std::string> offered;
  services.chooser = [&offered](const std::vector<std::string>& serials) {
    offered = serials;
    return std::string();
  };
  EXPECT_FALSE(Install(two));
  EXPECT_EQ(offered, (Lines{"A", "B"}));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kNoneChosenText, StatusKind::Error}}));
  EXPECT_EQ(CurrentDevice::Get(), "");

  services.chooser = [](const std::vector<std::string>&) { return std::string("B"); };
  EXPECT_EQ(ResolveTargetDevice(services.bridge, services.chooser), ResolveResult::Chosen);
  EXPECT_EQ(CurrentDevice::Get(), "B");

  FakeAdb none("match devices\nout * daemon not running; starting now at tcp:5037\\nList of devices attached\\nX\\toffline\\n\\n\n");
  line.messages.clear();
  EXPECT_FALSE(Install(none));
  EXPECT_EQ(line.messages.back().text, kNoDeviceText);
  EXPECT_EQ(CurrentDevice::Get(), "B");  // unchanged

  // A listing that never ends.
  FakeAdb hung("match devices\nhang\n");
  services.bridge.timeouts.listingMs = 2000;
  line.messages.clear();
  EXPECT_FALSE(Install(hung));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kNoResponseText, StatusKind::Error}}));
  EXPECT_EQ(CurrentDevice::Get(), "B");

  // No tool at all: nothing starts, the component is missing.
  line.messages.clear();
  services.bridge.adbPath = "";
  EXPECT_FALSE(InstallPackage(request, services, line));
  EXPECT_EQ(line.messages.back().text, kStartFailedText);
  EXPECT_EQ(CurrentDeviceSdkLevel(services.bridge), -1);
  services.bridge.adbPath = files.path() + "no-such-adb";
  EXPECT_FALSE(InstallPackage(request, services, line));
  EXPECT_EQ(line.messages.back().text, kStartFailedText);
}

TEST_F(InstallJob, PackageFileChecks) {
  FakeAdb adb(OneDevice(7));
  request.path = files.path() + "gone.apk";
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages.back().text, kNoPackageText);
  EXPECT_TRUE(adb.Log().empty());

  // Deleted after the device and space rules.
  request.path = package;
  services.resolveDevice = [this] {
    RemoveFile(package);
    CurrentDevice::Set("SER1");
    return ResolveResult::Chosen;
  };
  line.messages.clear();
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kPackageLostText, StatusKind::Error}}));
}

TEST_F(InstallJob, ToolThatDoesNotStartAndFailureOutput) {
  services.resolveDevice = [] {
    CurrentDevice::Set("SER1");
    return ResolveResult::Chosen;
  };
  request.sdBoxTicked = false;
  services.bridge.adbPath = files.path() + "no-such-adb";
  EXPECT_FALSE(InstallPackage(request, services, line));
  EXPECT_EQ(line.messages.back(), (Message{kToolMissingText, StatusKind::Error}));
  EXPECT_FALSE(IsExistingFile(temporary + "2011050390507.apk"));

  FakeAdb adb("match -s SER1 install *\nout adb: failed to install x.apk: Failure [INSTALL_FAILED_OLDER_SDK]\\n\n");
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages.back(), (Message{"【安装失败】该软件版本过老, 请联系APK文件的开发商", StatusKind::Error}));
}

TEST_F(InstallJob, HungInstallEndsAtItsTimeOutAndTheCopyGoes) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + "match -s SER1 install *\nhang\n");
  request.sdBoxTicked = false;
  services.bridge.timeouts.installOverrideMs = 3000;
  EXPECT_FALSE(Install(adb));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kWaitText, StatusKind::Progress},
                                                 {kInstallTimedOutText, StatusKind::Error}}));
  EXPECT_EQ(adb.Log().back(), "-s SER1 install -r " + CopyInLog("2011050390507.apk"));
  EXPECT_FALSE(IsExistingFile(temporary + "2011050390507.apk"));
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_FALSE(test::ProcessAlive(adb.Lingering()[0]));

  // The time-out grows with the package: 120 s and 1 s for every started 2 MiB.
  CommandTimeouts standard;
  EXPECT_EQ(standard.Install(0), 120000u);
  EXPECT_EQ(standard.Install(1), 121000u);
  EXPECT_EQ(standard.Install(int64_t{2} << 20), 121000u);
  EXPECT_EQ(standard.Install(int64_t{3} << 30), 120000u + 1536000u);
}

TEST_F(InstallJob, ReadOnlyPackageLeavesNoCopy) {
  test::MakeReadOnly(package, true);
  FakeAdb adb(OneDevice(7));
  request.sdBoxTicked = false;
  EXPECT_TRUE(Install(adb));
  test::MakeReadOnly(package, false);
  EXPECT_EQ(adb.Log().back(), "-s SER1 install -r " + CopyInLog("2011050390507.apk"));
  EXPECT_FALSE(IsExistingFile(temporary + "2011050390507.apk"));
}

TEST_F(InstallJob, SystemTemporaryFolderOutsideGbk) {
  // "ö" is not in GBK; the folder must still be found, used and cleaned.
  temporary = files.path() + wideToGbkPath(u"J\u00F6rg") + test::PathSeparator();
  ASSERT_TRUE(test::MakeFolder(temporary));
  test::ScopedEnvironment environment;
  for (const std::string& variable : test::TemporaryFolderVariables()) environment.Set(variable, temporary);
  services.temporaryFolder = TemporaryFolder;
  services.freeMegabytes = FreeMegabytesOnTempDrive;
  EXPECT_EQ(TemporaryFolder(), temporary);
  FakeAdb adb(OneDevice(7));
  request.sdBoxTicked = false;
  EXPECT_TRUE(Install(adb));
  std::string copy = gbkToUtf8(temporary) + "2011050390507.apk";
  ASSERT_FALSE(adb.RawLog().empty());
  EXPECT_NE(copy.find("J\xC3\xB6rg"), std::string::npos);  // "ö" in UTF-8
  EXPECT_EQ(adb.RawLog().back(), Raw(adb, "-s SER1 install -r " + copy));
  EXPECT_FALSE(IsExistingFile(temporary + "2011050390507.apk"));
}

// compat.apk: minimum Android 5.0 (level 21), target level 22, libraries
// for arm64-v8a, armeabi-v7a and x86_64, test-only.
TEST_F(InstallJob, PackageThatCannotWorkOnThePhoneIsRefusedBeforeAnythingIsSent) {
  request.path = files.path() + "兼容 包.apk";
  test::WriteFile(request.path, test::ReadFile(test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/apk/compat.apk")));
  auto phone = [](const std::string& properties) {
    return test::DeviceListingRule({"SER1"}) + "match -s SER1 shell getprop\nout " + properties +
           "\nmatch -s SER1 install *\nout Success\\r\\n\n";
  };
  const std::pair<std::string, std::string> refused[] = {
      {"[ro.build.version.sdk]: [19]\\r\\n[ro.product.cpu.abilist]: [armeabi-v7a,armeabi]\\r\\n",
       "【安装失败】安装包需要 Android 5.0（API 21）或更高版本，这部手机是 Android 4.4（API 19）"},
      {"[ro.build.version.sdk]: [30]\\r\\n[ro.product.cpu.abilist]: [x86]\\r\\n",
       "【安装失败】安装包只有 arm64-v8a、armeabi-v7a、x86_64 处理器的版本，这部手机的处理器是 x86"},
      {"[ro.build.version.sdk]: [34]\\r\\n[ro.product.cpu.abilist]: [arm64-v8a]\\r\\n",
       "【安装失败】安装包的目标版本是 Android 5.1（API 22），这部手机是 Android 14（API 34），"
       "Android 14 及以上的手机不安装目标版本低于 Android 6.0（API 23）的应用"},
  };
  for (const auto& [properties, text] : refused) {
    FakeAdb adb(phone(properties));
    line.messages.clear();
    EXPECT_FALSE(Install(adb));
    EXPECT_EQ(line.messages, (std::vector<Message>{{text, StatusKind::Error}}));
    EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
    EXPECT_EQ(test::FolderEntries(temporary), Lines{});
  }

  // Android 13 naming its processors the old way (abi, abi2): installed,
  // test-only with -t, the SD option from the same listing.
  FakeAdb adb(phone("[ro.build.version.sdk]: [33]\\r\\n[ro.product.cpu.abi]: [x86]\\r\\n[ro.product.cpu.abi2]: [armeabi-v7a]\\r\\n"));
  line.messages.clear();
  EXPECT_TRUE(Install(adb));
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop", "-s SER1 install -r -s -t " + CopyInLog("2011050390507.apk")}));
  EXPECT_EQ(line.messages.back(), (Message{kInstallSuccessText, StatusKind::Success}));
}

TEST_F(InstallJob, EssentialsVariant) {
  FakeAdb adb(OneDevice(8));
  InstallRequest essentials = InstallRequest::Essentials(package);
  essentials.fileSize = 50000000;
  services.bridge.adbPath = adb.path();
  free = 20;
  EXPECT_FALSE(InstallStep(essentials, services, line));
  EXPECT_EQ(line.messages.back().text, kNoSpaceText);
  free = 21;
  line.messages.clear();
  EXPECT_TRUE(InstallStep(essentials, services, line));
  EXPECT_EQ(adb.Log().back(), "-s SER1 install " + CopyInLog("2011050390507.apk"));
  EXPECT_EQ(line.messages, (std::vector<Message>{{kWaitText, StatusKind::Progress},
                                                 {kEssentialsInstallSuccessText, StatusKind::Success}}));
}

}  // namespace
}  // namespace vantaro
