#include <gtest/gtest.h>

#include <ctime>

#include "base/text.h"
#include "device/current_device.h"
#include "device/runner.h"
#include "install/launch.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using test::Message;
using Lines = std::vector<std::string>;

const char* const kListing = "match -s SER1 shell pm list package\nout package:android\\r\\npackage:org.fixture.demo\\r\\n"
                             "package:org.fixture.demo2\\r\\n\n";

// Run now against fake-adb with one phone, SER1.
class RunNow : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set(std::string());
    request.packageName = "org.fixture.demo";
    request.launcherActivity = ".Main";
    request.label = "演示工具";
  }
  // The scenario after the device listing; the messages shown.
  std::vector<Message> Run(FakeAdb& adb) {
    DeviceBridge bridge;
    bridge.adbPath = adb.path();
    bridge.timeouts.answerMs = answerMs;
    line.messages.clear();
    started = RunInstalledApplication(
        request, bridge, [](const DeviceBridge& b) { return ResolveTargetDevice(b, ChooseNoDevice); }, line);
    return line.messages;
  }
  static std::string Scenario(const std::string& rest) { return test::DeviceListingRule({"SER1"}) + rest; }

  LaunchRequest request;
  test::RecordingLine line;
  unsigned answerMs = 10000;
  bool started = false;
};

const Message kStarting{kStartingText, StatusKind::Progress};

TEST_F(RunNow, SuccessOnlyOnThePhonesWordWithTheComponentAsOneShellWord) {
  request.launcherActivity = ".Outer$Inner";
  // A slow answer is waited for.
  FakeAdb adb(Scenario(std::string(kListing) +
                       "match -s SER1 shell am start *\ndelay 1500\n"
                       "out Starting: Intent { cmp=org.fixture.demo/.Outer$Inner }\\r\\n\n"));
  EXPECT_EQ(Run(adb), (std::vector<Message>{kStarting, {"演示工具 已经在手机上运行", StatusKind::Success}}));
  EXPECT_TRUE(started);
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell pm list package",
                              "-s SER1 shell am start -n 'org.fixture.demo/.Outer$Inner'"}));
  EXPECT_EQ(adb.RawLog().back(),
            test::InQuotes(gbkToUtf8(adb.path())) + " -s SER1 shell am start -n 'org.fixture.demo/.Outer$Inner'");

  // A plug-in starts the last part of its name.
  request = LaunchRequest();
  request.packageName = "org.fixture.demo";
  request.isKorvelPlugin = true;
  Run(adb);
  EXPECT_EQ(adb.Log().back(), "-s SER1 shell am start -n 'org.fixture.demo/.demo'");

  // The phone refuses: its words decide, not the start of the tool.
  FakeAdb refused(Scenario(std::string(kListing) +
                           "match -s SER1 shell am start *\nout Starting: Intent { cmp=org.fixture.demo/.Main }\\r\\n"
                           "Error type 3\\r\\nError: Activity class {org.fixture.demo/org.fixture.demo.Main} does not "
                           "exist.\\r\\n\n"));
  EXPECT_EQ(Run(refused), (std::vector<Message>{kStarting, {kNoSuchActivityText, StatusKind::Error}}));
  EXPECT_FALSE(started);
}

TEST_F(RunNow, AbsentUnstartableAndHostilePackagesStartNothing) {
  FakeAdb adb(Scenario(std::string(kListing) + "match -s SER1 shell am start *\nout Starting: Intent {\\n\n"));
  // A longer name that begins with the package's is another package.
  request.packageName = "org.fixture";
  EXPECT_EQ(Run(adb), (std::vector<Message>{kStarting, {"演示工具 您尚未安装，无法运行", StatusKind::Error}}));
  request.packageName = "org.fixture.demo";
  request.launcherActivity.clear();
  EXPECT_EQ(Run(adb), (std::vector<Message>{kStarting, {kNoLauncherText, StatusKind::Error}}));
  for (const char* activity : {".Main && rm -rf /sdcard", ".Main'", ".Ma\nin", "org.fixture.demo.Main\x01"}) {
    request.launcherActivity = activity;
    EXPECT_EQ(Run(adb), (std::vector<Message>{kStarting, {kInvalidNameText, StatusKind::Error}})) << activity;
  }
  for (const std::string& command : adb.Log()) EXPECT_EQ(command.find("am start"), std::string::npos) << command;
  EXPECT_FALSE(started);

  // No tool: nothing starts, and the window says the component is missing.
  DeviceBridge bridge;
  bridge.adbPath.clear();
  EXPECT_EQ(PackageListingCommand(bridge), "");
  EXPECT_FALSE(RunInstalledApplication(
      request, bridge, [](const DeviceBridge& b) { return ResolveTargetDevice(b, ChooseNoDevice); }, line));
  EXPECT_EQ(line.messages.back(), (Message{kStartFailedText, StatusKind::Error}));
}

// Whichever call hangs, Run now ends at its time-out (not the longer one of
// the device listing elsewhere) with the no-answer text, and the hung tool
// is ended.
TEST_F(RunNow, AHungCallEndsAtTheTimeOutAndIsEnded) {
  answerMs = 1500;
  const std::string hangs[] = {
      "match devices\nhang\n",
      test::DeviceListingRule({"SER1"}) + "match -s SER1 shell pm list package\nhang\n",
      test::DeviceListingRule({"SER1"}) + kListing + "match -s SER1 shell am start *\nout Starting: Intent {\\n\nhang\n",
  };
  for (const std::string& scenario : hangs) {
    FakeAdb adb(scenario);
    std::time_t begun = std::time(nullptr);
    EXPECT_EQ(Run(adb), (std::vector<Message>{kStarting, {kNoResponseText, StatusKind::Error}})) << scenario;
    EXPECT_LT(std::time(nullptr) - begun, 9) << scenario;
    ASSERT_EQ(adb.Lingering().size(), 1u) << scenario;
    EXPECT_FALSE(test::ProcessAlive(adb.Lingering()[0]));
  }
}

TEST(StartAnswer, EachAnswerOfTheActivityManager) {
  struct Case {
    const char* output;
    std::string text;
    bool started;
  };
  const std::string running = "Demo 已经在手机上运行";
  const Case cases[] = {
      {"Starting: Intent { cmp=a.b/.Main }", running, true},
      {"Starting: Intent { cmp=a.b/.Main }\r\nWarning: Activity not started, its current task has been brought to "
       "the front",
       running, true},
      {"Starting: Intent { cmp=a.b/.Main }\nWarning: Activity not started, intent has been delivered to currently "
       "running top-most instance.",
       running, true},
      {"Starting: Intent { cmp=a.b/.Main }\nWarning: Activity not started because intent should be handled by the "
       "caller",
       kNotStartedText, false},
      {"Starting: Intent { cmp=a.b/.Main }\nError type 3\nError: Activity class {a.b/a.b.Main} does not exist.",
       kNoSuchActivityText, false},
      {"Starting: Intent { cmp=a.b/.Main }\nException occurred while executing 'start':\n"
       "java.lang.SecurityException: Permission Denial: starting Intent { cmp=a.b/.Main } from null (pid=1, "
       "uid=2000) not exported from uid 10123",
       kStartDeniedText, false},
      {"Starting: Intent { cmp=a.b/.Main }\nError: Activity not started, you do not have permission to access it.",
       kStartDeniedText, false},
      {"Starting: Intent { cmp=a.b/.Main }\nError: Activity not started, unable to resolve Intent { cmp=a.b/.Main }",
       kStartUnresolvedText, false},
      {"Starting: Intent { cmp=a.b/.Main }\nError type 3", kNotStartedText, false},
      {"error: device 'SER1' not found", kStartLostPhoneText, false},
      {"error: no devices/emulators found", kStartLostPhoneText, false},
      {"", kStartUnansweredText, false},
      {"starting: intent { cmp=a.b/.Main }", kStartUnansweredText, false},
      {"/system/bin/sh: am: not found", kStartUnansweredText, false},
  };
  for (const Case& c : cases) {
    StartVerdict verdict = ClassifyStartOutput(c.output, "Demo");
    EXPECT_EQ(verdict.text, c.text) << c.output;
    EXPECT_EQ(verdict.started, c.started) << c.output;
  }
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

}  // namespace
}  // namespace vantaro
