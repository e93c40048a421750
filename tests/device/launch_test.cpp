#include <gtest/gtest.h>

#include "device/current_device.h"
#include "device/runner.h"
#include "install/launch.h"
#include "support.h"

namespace vantaro {
namespace {

class RecordingLine : public MessageLine {
 public:
  void ShowMessage(const std::string& text, StatusKind kind) override {
    texts.push_back(text);
    kinds.push_back(kind);
  }
  std::vector<std::string> texts;
  std::vector<StatusKind> kinds;
};

// Records detached launches instead of starting them.
class RecordingRunner : public CommandRunner {
 public:
  void LaunchDetached(const std::string& commandLine) override { launched.push_back(commandLine); }
  std::vector<std::string> launched;
};

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set("SER1");
    bridge.adbPath = "C:\\Program Files\\Vantaro\\adb.exe";
    bridge.runner = &runner;
    package.packageName = "org.fixture.demo";
    package.launcherActivity = ".Main";
    package.label = "演示工具";
  }
  // One Run now whose listing arrives in the given pieces.
  void Run(const std::vector<std::string>& pieces, OutputStatus end = OutputStatus::Finished) {
    ASSERT_TRUE(sink.Begin(package));
    for (const std::string& p : pieces) sink.OnOutput(p, OutputStatus::Chunk);
    sink.OnOutput("", end);
    EXPECT_FALSE(sink.Busy());
  }

  RecordingRunner runner;
  DeviceBridge bridge;
  RecordingLine line;
  LaunchSink sink{line, bridge};
  PackageInfo package;
};

TEST_F(Launch, PresentPackageStartsOnce) {
  Run({"package:android\npackage:org.fix", "ture.demo\r\npackage:com.other\n"});
  EXPECT_EQ(line.texts, std::vector<std::string>{"演示工具 已经在手机上运行"});
  EXPECT_EQ(line.kinds, std::vector<StatusKind>{StatusKind::Success});
  EXPECT_EQ(runner.launched, std::vector<std::string>{"\"C:\\Program Files\\Vantaro\\adb.exe\" -s SER1 shell am start "
                                                      "-n 'org.fixture.demo/.Main'"});
}

TEST_F(Launch, PluginStartsItsLastPart) {
  package.packageName = "com.korvel.Tool";
  package.launcherActivity.clear();
  package.isKorvelPlugin = true;
  Run({"package:com.korvel.Tool\n"});
  EXPECT_EQ(runner.launched, std::vector<std::string>{"\"C:\\Program Files\\Vantaro\\adb.exe\" -s SER1 shell am start "
                                                      "-n 'com.korvel.Tool/.Tool'"});
}

TEST_F(Launch, AbsentOrUnknownPackage) {
  // A longer name that begins with the package's is another package.
  Run({"package:org.fixture.demo2\npackage:org.fixture.demo.extra\n"});
  EXPECT_EQ(line.texts, std::vector<std::string>{"演示工具 您尚未安装，无法运行"});
  EXPECT_EQ(line.kinds, std::vector<StatusKind>{StatusKind::Error});

  package = PackageInfo();  // nothing opened
  line.texts.clear();
  Run({"package:org.fixture.demo\n"});
  EXPECT_EQ(line.texts, std::vector<std::string>{" 您尚未安装，无法运行"});
  // Lines after the first empty one are not part of the listing.
  package.packageName = "org.late";
  line.texts.clear();
  Run({"package:a.b\n\npackage:org.late\n"});
  EXPECT_EQ(line.texts, std::vector<std::string>{" 您尚未安装，无法运行"});
  EXPECT_TRUE(runner.launched.empty());
}

TEST_F(Launch, NothingToStartOrFailedListing) {
  package.launcherActivity.clear();
  Run({"package:org.fixture.demo\n"});
  EXPECT_TRUE(line.texts.empty());
  EXPECT_TRUE(runner.launched.empty());

  Run({"package:org.fixture.demo\n"}, OutputStatus::Failed);
  EXPECT_TRUE(line.texts.empty());

  ASSERT_TRUE(sink.Begin(package));
  EXPECT_FALSE(sink.Begin(package));  // a listing is under way
  sink.Abandon();
  EXPECT_TRUE(sink.Begin(package));
}

TEST_F(Launch, HostileNamesAreRefused) {
  package.packageName = "org.evil;reboot";
  Run({"package:org.evil;reboot\n"});
  package.packageName = "org.fixture.demo";
  for (const char* activity : {".Main && rm -rf /sdcard", ".Main'", ".Ma\nin", "org.fixture.demo.Main\x01"}) {
    package.launcherActivity = activity;
    Run({"package:org.fixture.demo\n"});
  }
  EXPECT_EQ(line.texts, std::vector<std::string>(5, kInvalidNameText));
  EXPECT_EQ(line.kinds, std::vector<StatusKind>(5, StatusKind::Error));
  EXPECT_TRUE(runner.launched.empty());

  // No tool: the listing does not start either.
  bridge.adbPath.clear();
  EXPECT_EQ(PackageListingCommand(bridge), "");
}

TEST(PackageListing, InnerClassActivityReachesThePhoneShellAsOneQuotedWord) {
  test::FakeAdb adb("match -s SER1 shell pm list package\nout package:org.fixture.demo\r\n\n"
                    "match -s SER1 shell am start *\nout Starting\n");
  CurrentDevice::Set("SER1");
  RecordingLine line;
  DeviceBridge bridge;
  bridge.adbPath = adb.path();
  LaunchSink sink(line, bridge);
  PackageInfo package;
  package.packageName = "org.fixture.demo";
  package.launcherActivity = ".Outer$Inner";
  package.label = "Demo";
  AsyncCommand command(&sink);
  ASSERT_TRUE(sink.Begin(package));
  ASSERT_TRUE(command.Start(PackageListingCommand(bridge)));
  // The start is detached: it reaches the log a little later.
  std::vector<std::string> log = adb.WaitForLog(2, 10000);
  EXPECT_EQ(log, (std::vector<std::string>{"-s SER1 shell pm list package",
                                           "-s SER1 shell am start -n 'org.fixture.demo/.Outer$Inner'"}));
  EXPECT_EQ(adb.RawLog().back(), test::InQuotes(adb.path()) + " -s SER1 shell am start -n 'org.fixture.demo/.Outer$Inner'");
  EXPECT_EQ(line.texts, std::vector<std::string>{"Demo 已经在手机上运行"});
}

TEST(JavaNames, Rules) {
  EXPECT_TRUE(IsValidJavaName("com.example.app_2", false));
  EXPECT_TRUE(IsValidJavaName("a.B$Inner", false));
  EXPECT_TRUE(IsValidJavaName(".Main", true));
  EXPECT_FALSE(IsValidJavaName(".Main", false));
  for (const char* bad : {"", ".", "1abc", "com.1abc", "com..x", "com.x.", "com x", "com/x", "com;x", "a\"b", "a\tb",
                          "\xD1\xDD"}) {
    EXPECT_FALSE(IsValidJavaName(bad, true)) << bad;
  }
}

TEST(PackageListing, EndToEndThroughAsyncCommand) {
  test::FakeAdb adb("match -s SER1 shell pm list package\nout package:android\\r\\npackage:org.fixture.demo\\r\\n\n");
  CurrentDevice::Set("SER1");
  RecordingLine line;
  DeviceBridge bridge;
  bridge.adbPath = adb.path();
  RecordingRunner runner;
  bridge.runner = &runner;
  LaunchSink sink(line, bridge);
  PackageInfo package;
  package.packageName = "org.fixture.demo";
  package.launcherActivity = "org.fixture.demo.Main";
  package.label = "Demo";
  AsyncCommand command(&sink);
  ASSERT_TRUE(sink.Begin(package));
  ASSERT_TRUE(command.Start(PackageListingCommand(bridge)));
  for (int i = 0; i < 1000 && sink.Busy(); ++i) test::SleepMs(10);
  EXPECT_EQ(adb.Log(), std::vector<std::string>{"-s SER1 shell pm list package"});
  EXPECT_EQ(line.texts, std::vector<std::string>{"Demo 已经在手机上运行"});
  EXPECT_EQ(runner.launched.size(), 1u);
}

}  // namespace
}  // namespace vantaro
