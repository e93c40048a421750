// The essentials install run with fake-adb as the tool, for what the
// dialog's tests do not reach: the phone is asked for once per run, the
// space rule's edge, a refused package, and paths too long for the program.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/current_device.h"
#include "essentials/catalog.h"
#include "essentials/essentials_install.h"
#include "peeking_runner.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

using test::Message;
using test::RecordingLine;

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

TEST_F(EssentialsRun, WithTwoPhonesTheChooserIsAskedOncePerRun) {
  FakeAdb adb(test::DeviceListingRule({"ONE1", "TWO2"}) + PhoneRule("TWO2", "Success"));
  choices[0].installed = true;
  Tick({5, 8});
  int asked = 0;
  services.chooser = [&](const std::vector<std::string>& serials) {
    ++asked;
    EXPECT_EQ(serials, (Lines{"ONE1", "TWO2"}));
    return std::string();  // cancelled
  };
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_EQ(asked, 1);
  const Message noneChosen{"【错误】没有选择任何设备，请重新执行安装并选择设备", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{noneChosen}));
  EXPECT_TRUE(InstallCommands(adb).empty());

  services.chooser = [&](const std::vector<std::string>&) {
    ++asked;
    return std::string("TWO2");
  };
  Run(adb);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(InstallCommands(adb).size(), 2u);
  for (const std::string& command : InstallCommands(adb)) EXPECT_EQ(command.rfind("-s TWO2 install ", 0), 0u);
  Lines log = adb.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "devices"), 2);

  // Everything on the phone and nothing ticked: nothing to do, no error.
  line.messages.clear();
  for (EssentialsChoice& choice : choices) choice = {choice.packageId, true, false};
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_TRUE(line.messages.empty());
}

TEST_F(EssentialsRun, EveryPackageNeedsMoreThan20MiBFreeWhateverItsSize) {
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Success"));
  Tick({3});
  free = 20;
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  const Message noSpace{"【安装失败】当前电脑系统盘剩余空间不足", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{noSpace, noSpace}));  // row 3, then the base framework
  EXPECT_TRUE(InstallCommands(adb).empty());

  line.messages.clear();
  free = 21;
  Run(adb);
  EXPECT_EQ(runner.copies(), (Lines{StandIn("com.korvel.TaskDesk"), StandIn("com.korvel.Korvel")}));
  EXPECT_EQ(line.messages, (std::vector<Message>{kWait, kInstalled, kWait, kInstalled}));
}

TEST_F(EssentialsRun, ARefusedPackageIsShownAndTheRunGoesOn) {
  // The list said "未安装" (an earlier listing failed, say); without replace
  // the phone refuses each package, and each refusal is shown in turn.
  FakeAdb adb(test::DeviceListingRule({"SER1"}) + PhoneRule("SER1", "Failure [INSTALL_FAILED_ALREADY_EXISTS]\\r\\n"));
  choices[0].installed = true;
  Tick({7, 9});
  EXPECT_EQ(Run(adb), EssentialsRunEnd::Done);
  EXPECT_EQ(runner.copies(), (Lines{StandIn("com.korvel.HomeDesk"), StandIn("com.korvel.Torch")}));
  const Message exists{"【安装失败】文件已经存在, 请先删除手机上老的版本后再试", StatusKind::Error};
  EXPECT_EQ(line.messages, (std::vector<Message>{kWait, exists, kWait, exists}));

  // A package path that would not fit in 260 characters counts as absent.
  EXPECT_EQ(EssentialsPackagePath(program, "com.korvel.Torch"), program + "com.korvel.Torch.apk");
  EXPECT_EQ(EssentialsPackagePath(std::string(240, 'x') + "\\", "com.korvel.Torch"), "");
  choices[9].packageId = std::string(250, 'x');
  line.messages.clear();
  EXPECT_EQ(Run(adb), EssentialsRunEnd::ComponentMissing);
  EXPECT_EQ(line.messages, (std::vector<Message>{kWait, exists}));
}

}  // namespace
}  // namespace vantaro
