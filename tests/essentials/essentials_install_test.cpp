// The essentials install run with fake-adb as the tool: which packages go to
// the phone, in which order, with which command, and what the message line
// shows.
#include <gtest/gtest.h>

#include "base/text.h"
#include "device/command_line.h"
#include "device/current_device.h"
#include "essentials/catalog.h"
#include "essentials/essentials_install.h"
#include "install/classify.h"
#include "install/system.h"
#include "peeking_runner.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

struct Message {
  std::string text;
  StatusKind kind;
  bool operator==(const Message& o) const { return text == o.text && kind == o.kind; }
};

class RecordingLine : public MessageLine {
 public:
  void ShowMessage(const std::string& text, StatusKind kind) override { messages.push_back({text, kind}); }
  std::vector<Message> messages;
};

using test::StandIn;

std::string PhoneRule(const std::string& serial, const std::string& installOutput) {
  return "match -s " + serial + " install *\nout " + installOutput + "\n";
}

class EssentialsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set(std::string());
    temporary = files.path() + "tmp" + test::PathSeparator();
    program = files.path() + "program" + test::PathSeparator();
    ASSERT_TRUE(test::MakeFolder(temporary));
    ASSERT_TRUE(test::MakeFolder(program));
    for (const EssentialsRowSpec& row : kEssentialsRows) {
      test::WriteFile(program + row.packageId + ".apk", StandIn(row.packageId));
      choices.push_back({row.packageId, false, false});
    }
    services.bridge.runner = &runner;
    services.freeMegabytes = [this] { return free; };
    services.temporaryFolder = [this] { return temporary; };
  }

  EssentialsRunEnd Run(FakeAdb& adb) {
    services.bridge.adbPath = adb.path();
    return InstallEssentials(choices, program, services, line);
  }
  std::vector<std::string> InstallCommands(const FakeAdb& adb) const {
    std::vector<std::string> commands;
    for (const std::string& entry : adb.Log())
      if (entry.find(" install ") != std::string::npos) commands.push_back(entry);
    return commands;
  }
  void Tick(std::initializer_list<int> rows) {
    for (int row : rows) choices[static_cast<size_t>(row)].ticked = true;
  }

  test::TempFolder files{"essentials"};
  std::string temporary, program;
  std::vector<EssentialsChoice> choices;
  test::PeekingRunner runner;
  InstallServices services;
  RecordingLine line;
  int64_t free = 100;
};

const Message kWait{"安装中,请稍等...", StatusKind::Progress};
const Message kInstalled{"【安装成功】“Korvel”已经安装到您的手机中", StatusKind::Success};

TEST_F(EssentialsRun, TickedRowFirstThenTheMissingBaseFrameworkWithoutReplace) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Success"));
  Tick({3});
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_EQ(runner.copies(), (Lines{StandIn("com.korvel.TaskDesk"), StandIn("com.korvel.Korvel")}));
  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "devices");  // the device is resolved for every package
  EXPECT_EQ(log[2], "devices");
  for (const std::string& command : {log[1], log[3]}) {
    std::string copy = SplitCommandLine(command).back();
    EXPECT_EQ(command, "-s SER1 install " + copy);
    EXPECT_EQ(copy.rfind(gbkToUtf8(temporary), 0), 0u) << "installed from a temporary copy";
  }
  EXPECT_EQ(line.messages, (std::vector<Message>{kWait, kInstalled, kWait, kInstalled}));
  for (std::string id : {"com.korvel.TaskDesk", "com.korvel.Korvel"})
    EXPECT_EQ(test::ReadFile(program + id + ".apk"), StandIn(id)) << "the package file stays";
}

TEST_F(EssentialsRun, NothingTickedIsAnErrorOnlyWhileSomethingIsMissing) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Success"));
  choices[0].installed = true;
  EXPECT_EQ(Run(adb), EssentialsRunEnd::NothingChosen);
  EXPECT_EQ(line.messages, (std::vector<Message>{{"【错误】您尚未选择任何要安装的组件", StatusKind::Error}}));

  line.messages.clear();
  for (EssentialsChoice& choice : choices) choice.installed = true;
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  Tick({2, 6});  // ticked but already there
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_TRUE(line.messages.empty());
  EXPECT_TRUE(adb.Log().empty());
}

TEST_F(EssentialsRun, AbsentPackageFileIsSkippedAndReportedOnlyByTheResult) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Success"));
  choices[0].installed = true;
  Tick({1, 2, 4});
  RemoveFile(program + "com.korvel.AppDesk.apk");
  ASSERT_FALSE(IsExistingFile(program + "com.korvel.AppDesk.apk"));
  EXPECT_EQ(Run(adb), EssentialsRunEnd::ComponentMissing);
  EXPECT_EQ(runner.copies(), (Lines{StandIn("com.korvel.FileDesk"), StandIn("com.korvel.Sweeper")}));
  EXPECT_EQ(line.messages.back(), kInstalled);

  // A package path that would not fit in 260 characters counts as absent.
  EXPECT_EQ(EssentialsPackagePath(program, "com.korvel.Torch"), program + "com.korvel.Torch.apk");
  EXPECT_EQ(EssentialsPackagePath(std::string(240, 'x') + "\\", "com.korvel.Torch"), "");
}

TEST_F(EssentialsRun, EveryPackageNeedsMoreThan20MiBFreeWhateverItsSize) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Success"));
  Tick({1, 2});
  free = 20;
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  const Message noSpace{"【安装失败】当前电脑系统盘剩余空间不足", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{noSpace, noSpace, noSpace}));  // rows 1, 2 and 0
  EXPECT_TRUE(InstallCommands(adb).empty());

  line.messages.clear();
  free = 21;
  Run(adb);
  EXPECT_EQ(InstallCommands(adb).size(), 3u);
  EXPECT_EQ(line.messages.back(), kInstalled);
}

TEST_F(EssentialsRun, WithTwoPhonesTheChooserIsAskedForEveryPackage) {
  FakeAdb adb(test::DeviceListingRule({"ONE1", "TWO2"}) + PhoneRule("TWO2", "Success"));
  choices[0].installed = true;
  Tick({5, 8});
  int asked = 0;
  services.chooser = [&](const std::vector<std::string>& serials) {
    ++asked;
    EXPECT_EQ(serials, (Lines{"ONE1", "TWO2"}));
    return std::string();
  };
  Run(adb);
  EXPECT_EQ(asked, 2);
  const Message noneChosen{"【错误】没有选择任何设备，请重新执行安装并选择设备", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{noneChosen, noneChosen}));
  EXPECT_TRUE(InstallCommands(adb).empty());

  line.messages.clear();
  services.chooser = [](const std::vector<std::string>&) { return std::string("TWO2"); };
  Run(adb);
  ASSERT_EQ(InstallCommands(adb).size(), 2u);
  EXPECT_EQ(InstallCommands(adb)[0].rfind("-s TWO2 install ", 0), 0u);
}

TEST_F(EssentialsRun, APackageAlreadyOnThePhoneFailsAndTheRunGoesOn) {
  // The list said "未安装" (an earlier listing failed, say); without replace
  // the phone refuses each package, and each refusal is shown in turn.
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Failure [INSTALL_FAILED_ALREADY_EXISTS]\\r\\n"));
  choices[0].installed = true;
  Tick({7, 9});
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_EQ(runner.copies(), (Lines{StandIn("com.korvel.HomeDesk"), StandIn("com.korvel.Torch")}));
  const Message exists{"【安装失败】文件已经存在, 请先删除手机上老的版本后再试", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{kWait, exists, kWait, exists}));
}

}  // namespace
}  // namespace vantaro
