// vantaro-cli's device commands against fake-adb, as a user runs them.

#include <gtest/gtest.h>

#include "base/text.h"
#include "device/wireless.h"
#include "install/system.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

struct CliRun {
  int exitCode;
  std::string output;  // UTF-8, standard output and error together
};

CliRun Cli(const FakeAdb& adb, const std::string& arguments) {
  test::TempFolder folder("cli");
  std::string outputFile = folder.path() + "output";
  int code = test::RunForExitCode(test::NativePath(VANTARO_CLI_PATH) + " " + arguments + " --adb " + adb.path(),
                                  outputFile);
  return {code, test::ReadFile(outputFile)};
}

std::string Fixture(const std::string& name) { return test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/apk/" + name); }

bool Has(const std::string& utf8, const std::string& gbk) { return utf8.find(gbkToUtf8(gbk)) != std::string::npos; }

const char* kOnePhone =
    "match devices\nout List of devices attached\\nSER1\\tdevice\\n\\n\n"
    "match -s SER1 shell getprop ro.build.version.sdk\nout 10\\n\n"
    "match -s SER1 shell getprop\nout [ro.product.manufacturer]: [motorola]\\n[ro.product.model]: [Milestone]\\n"
    "[ro.build.version.sdk]: [8]\\n\n"
    "match -s SER1 install *\nout Success\\n\n"
    "match -s SER1 shell pm list package\nout package:android\\npackage:org.fixture.demo\\n\n"
    "match -s SER1 shell am start *\ndelay 800\nout Starting: Intent { cmp=org.fixture.demo/.Main }\\n\n";

TEST(Cli, InstallIssuesTheCommandsAndPrintsTheTexts) {
  FakeAdb adb(kOnePhone);
  CliRun run = Cli(adb, "install --sd " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Has(run.output, "安装中,请稍等...")) << run.output;
  EXPECT_TRUE(Has(run.output, "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用")) << run.output;
  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "devices");
  // One property listing serves the checks and the SD option (level 8).
  EXPECT_EQ(log[1], "-s SER1 shell getprop");
  // The copy: the temporary folder, digits only, ".apk"; removed afterwards.
  std::string prefix = "-s SER1 install -r -s ";
  ASSERT_EQ(log[2].rfind(prefix, 0), 0u) << log[2];
  std::string copy = log[2].substr(prefix.size());
  if (copy.front() == '"') copy = copy.substr(1, copy.size() - 2);
  EXPECT_EQ(copy.rfind(gbkToUtf8(TemporaryFolder()), 0), 0u) << copy;
  std::string name = copy.substr(copy.find_last_of("\\/") + 1);
  EXPECT_EQ(name.substr(name.size() - 4), ".apk");
  EXPECT_EQ(name.find_first_not_of("0123456789"), name.size() - 4) << name;
  EXPECT_FALSE(IsExistingFile(utf8ToGbk(copy)));
}

TEST(Cli, InstallFailures) {
  FakeAdb refused("match devices\nout SER1\\tdevice\\n\\n\nmatch -s SER1 install *\nout Failure [INSTALL_FAILED_ALREADY_EXISTS]\n");
  CliRun run = Cli(refused, "install " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "【安装失败】文件已经存在, 请先删除手机上老的版本后再试")) << run.output;

  FakeAdb two("match devices\nout List of devices attached\\nAAA\\tdevice\\nBBB\\tdevice\\n\\n\nmatch *\nout Success\n");
  run = Cli(two, "install " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "AAA") && Has(run.output, "BBB")) << run.output;
  EXPECT_TRUE(Has(run.output, "【错误】没有选择任何设备，单击【设备管理】重新选择")) << run.output;
  EXPECT_EQ(two.Log(), Lines{"devices"});

  run = Cli(two, "install -s BBB " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(two.Log().back().rfind("-s BBB install -r ", 0), 0u);

  run = Cli(two, "install " + Fixture("not-a-zip.apk"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "【错误】不是有效的APK文件，Vantaro拒绝安装")) << run.output;
}

TEST(Cli, InstallRefusesAPackageWhoseSignatureFailsUnlessForced) {
  const std::string damaged = test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/signed/v1v2-signed-data.apk");
  FakeAdb adb(kOnePhone);
  CliRun run = Cli(adb, "install " + damaged);
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Has(run.output, "签名校验：未通过（v2，签名与签名数据不符）")) << run.output;
  EXPECT_TRUE(Has(run.output, "--force")) << run.output;
  EXPECT_EQ(adb.Log(), Lines{});  // the phone was never asked anything

  run = Cli(adb, "install --force " + damaged);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  ASSERT_EQ(adb.Log().size(), 3u);  // the listing, the phone's facts for the checks, then the install
  EXPECT_EQ(adb.Log()[2].rfind("-s SER1 install -r ", 0), 0u);
}

// Several files on several phones: in order, each file on every phone, a
// counter and the phone before each text, a summary, and failure if any
// failed.
TEST(Cli, InstallsSeveralFilesOnSeveralPhones) {
  FakeAdb adb("match devices\nout List of devices attached\\nAAA\\tdevice\\nBBB\\tdevice\\nCCC\\toffline\\n\\n\n"
              "match -s AAA install *\nout Success\\n\n"
              "match -s BBB install *\nout Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\\n\n");
  CliRun run = Cli(adb, "install -s AAA -s BBB " + Fixture("demo.apk") + " " + Fixture("sample.apk"));
  EXPECT_EQ(run.exitCode, 1) << run.output;
  Lines installs;
  for (const std::string& line : adb.Log())
    if (line.find(" install ") != std::string::npos) installs.push_back(line.substr(0, line.find(" install ")));
  EXPECT_EQ(installs, (Lines{"-s AAA", "-s BBB", "-s AAA", "-s BBB"}));
  EXPECT_TRUE(Has(run.output, "(2/4) BBB 【安装失败】手机内存已满")) << run.output;
  EXPECT_TRUE(Has(run.output, "(3/4) AAA 【安装成功】")) << run.output;
  EXPECT_TRUE(Has(run.output, "安装结果：2/4 成功")) << run.output;
  EXPECT_TRUE(Has(run.output, "  失败  BBB  sample.apk  【安装失败】手机内存已满")) << run.output;

  // --all: every ready phone, and only those.
  run = Cli(adb, "install --all " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Has(run.output, "  成功  AAA  demo.apk")) << run.output;
  for (const std::string& line : adb.Log()) EXPECT_EQ(line.find("CCC"), std::string::npos) << line;
  // A phone that is not ready is refused without sending anything.
  run = Cli(adb, "install -s AAA -s CCC " + Fixture("demo.apk"));
  EXPECT_TRUE(Has(run.output, "(2/2) CCC 【错误】没有选择任何设备")) << run.output;
}

TEST(Cli, DryRunShowsTheChoiceAndSendsNothing) {
  const std::string xapk = test::NativePath(std::string(VANTARO_FIXTURE_DIR) + "/bundles/sample.xapk");
  FakeAdb adb("match devices\nout SER1\\tdevice\\n\\n\n"
              "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [33]\\n[ro.product.cpu.abilist]: "
              "[arm64-v8a,armeabi-v7a]\\n[ro.sf.lcd_density]: [480]\\n[persist.sys.locale]: [zh-CN]\\n\n"
              "match *\nout Success\n");
  CliRun run = Cli(adb, "install --dry-run " + xapk);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  for (const char* shown : {"install-multiple 发送 5 个文件", "split0.apk  base.apk（8.40 KB）  基础包",
                            "split1.apk  camera.apk", "功能模块", "split2.apk  config.arm64_v8a.apk",
                            "手机处理器 arm64-v8a", "split3.apk  config.xxhdpi.apk", "与手机屏幕密度相同 480dpi",
                            "split4.apk  config.zh.apk", "手机语言 zh",
                            "→ /sdcard/Android/obb/org.fixture.bundle/main.7.org.fixture.bundle.obb"}) {
    EXPECT_TRUE(Has(run.output, shown)) << gbkToUtf8(shown) << "\n" << run.output;
  }
  EXPECT_FALSE(Has(run.output, "config.xhdpi.apk")) << run.output;
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
  EXPECT_EQ(adb.Sent(), Lines{});

  // A phone the bundle cannot serve: the refusal, and still nothing sent.
  FakeAdb old("match devices\nout SER1\\tdevice\\n\\n\n"
              "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [19]\\n[ro.product.cpu.abi]: [armeabi-v7a]\\n\n"
              "match *\nout Success\n");
  run = Cli(old, "install --dry-run " + xapk);
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Has(run.output, "Android 5.0")) << run.output;
  EXPECT_EQ(old.Log(), (Lines{"devices", "-s SER1 shell getprop"}));

  // A single package goes through the same checks: compat.apk (target level
  // 22, test-only) is refused by Android 14 and shown with -t on Android 13.
  FakeAdb fourteen("match devices\nout SER1\\tdevice\\n\\n\n"
                   "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [34]\\n[ro.product.cpu.abilist]: [arm64-v8a]\\n\n");
  run = Cli(fourteen, "install --dry-run " + Fixture("compat.apk"));
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Has(run.output, "Android 14 及以上的手机不安装目标版本低于 Android 6.0（API 23）的应用")) << run.output;
  FakeAdb thirteen("match devices\nout SER1\\tdevice\\n\\n\n"
                   "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [33]\\n[ro.product.cpu.abilist]: [arm64-v8a]\\n\n");
  run = Cli(thirteen, "install --dry-run " + Fixture("compat.apk"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Has(run.output, "手机 SER1：Android 13（API 33），处理器 arm64-v8a")) << run.output;
  EXPECT_TRUE(Has(run.output, "将用 install -t 把整个安装包 compat.apk")) << run.output;
  EXPECT_EQ(thirteen.Log(), (Lines{"devices", "-s SER1 shell getprop"}));
}

TEST(Cli, RunEndsWithThePhonesAnswer) {
  // The start is slow: the command waits for its answer.
  FakeAdb adb(kOnePhone);
  CliRun run = Cli(adb, "run " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Has(run.output, "演示工具 已经在手机上运行")) << run.output;
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell pm list package",
                              "-s SER1 shell am start -n 'org.fixture.demo/.Main'"}));

  FakeAdb refused("match devices\nout SER1\\tdevice\\n\\n\n"
                  "match -s SER1 shell pm list package\nout package:org.fixture.demo\\n\n"
                  "match -s SER1 shell am start *\ndelay 1000\nout Starting: Intent { cmp=org.fixture.demo/.Main }\\n"
                  "Warning: Activity not started because intent should be handled by the caller\\n\n");
  run = Cli(refused, "run " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "【运行失败】手机没有启动应用")) << run.output;
  EXPECT_FALSE(Has(run.output, "已经在手机上运行")) << run.output;

  FakeAdb absent("match devices\nout SER1\\tdevice\\n\\n\nmatch -s SER1 shell pm list package\nout package:android\\n\n");
  run = Cli(absent, "run " + Fixture("demo.apk"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "演示工具 您尚未安装，无法运行")) << run.output;
}

// Exit codes: 0 when adb says it worked, 1 when it refused (adb itself
// exits 0), 2 when the text typed was refused and nothing was sent.
TEST(Cli, PairConnectDisconnect) {
  FakeAdb adb("match pair 192.168.1.5:37159 123456\nout Successfully paired to 192.168.1.5:37159 [guid=adb-R58-Ab]\\n\n"
              "match pair *\nout Failed: Wrong password or connection was dropped.\\n\n"
              "match connect 192.168.1.5:5555\nout failed to authenticate to 192.168.1.5:5555\\n\n"
              "match connect *\nout connected to [::1]:5555\\n\n"
              "match disconnect *\nout error: no such device '192.168.1.5:5555'\\n\n");
  struct Case {
    std::string arguments;
    int exitCode;
    std::string text;
  };
  const Case cases[] = {
      {"pair 192.168.1.5:37159 123456", 0, kPairedText},
      {"pair 192.168.1.5:37159 000000", 1, kWrongCodeText},
      {"pair 192.168.1.5:37159 12345", 2, kBadCodeText},
      {"pair 192.168.1.5 123456", 2, kPairAddressText},
      {"connect [::1]:5555", 0, std::string(kConnectedText) + "[::1]:5555"},
      {"connect 192.168.1.5:5555", 1, kNotAuthorisedText},
      {"connect \"192.168.1.5:5555 -H evil\"", 2, kBadAddressText},
      {"disconnect 192.168.1.5:5555", 1, std::string(kNoSuchPhoneText) + "192.168.1.5:5555"},
      {"disconnect \"a b\"", 2, kBadSerialText},
  };
  for (const Case& c : cases) {
    CliRun run = Cli(adb, c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
    EXPECT_TRUE(Has(run.output, c.text)) << c.arguments << "\n" << run.output;
  }
  EXPECT_EQ(adb.Log(), (Lines{"pair 192.168.1.5:37159 123456", "pair 192.168.1.5:37159 000000", "connect [::1]:5555",
                              "connect 192.168.1.5:5555", "disconnect 192.168.1.5:5555"}));
}

TEST(Cli, NoToolFromTheCurrentFolder) {
  // No --adb, no adb beside vantaro-cli; one planted in the current folder
  // and search-path entries that would mean that folder.
  FakeAdb adb(kOnePhone);
  test::TempFolder planted("cwd");
  ASSERT_EQ(CopyToNewFile(adb.path(), planted.path() + test::AdbFileName()), CopyResult::Copied);
  test::MakeExecutable(planted.path() + test::AdbFileName());
  bool posix = test::PathSeparator() == '/';
  std::string list = posix ? ":" : ";";
  test::ScopedEnvironment environment;
  environment.Set("PATH", list + "." + list + "bin");
  test::TempFolder folder("cli");
  std::string previous = test::ChangeFolder(planted.path());
  ASSERT_FALSE(previous.empty());
  int code = test::RunForExitCode(test::NativePath(VANTARO_CLI_PATH) + " devices", folder.path() + "output");
  test::ChangeFolder(previous);
  std::string output = test::ReadFile(folder.path() + "output");
  EXPECT_EQ(code, 1) << output;
  EXPECT_TRUE(Has(output, "【组件丢失，请重新安装“Vantaro”")) << output;
  EXPECT_TRUE(adb.Log().empty());
  if (!posix) return;

  // Linux: the system's adb from an absolute folder of PATH, run by its
  // full path.
  test::TempFolder system("system");
  ASSERT_EQ(CopyToNewFile(adb.path(), system.path() + "adb"), CopyResult::Copied);
  test::MakeExecutable(system.path() + "adb");
  environment.Set("PATH", "relative:" + system.path());
  code = test::RunForExitCode(test::NativePath(VANTARO_CLI_PATH) + " devices", folder.path() + "output");
  EXPECT_EQ(code, 0) << test::ReadFile(folder.path() + "output");
  Lines raw = adb.RawLog();
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(raw[0], test::InQuotes(gbkToUtf8(system.path()) + "adb") + " devices");
}

TEST(Cli, DevicesListsMakerModelAndLevel) {
  FakeAdb adb(kOnePhone);
  CliRun run = Cli(adb, "devices");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(Has(run.output, "SER1  摩托罗拉 [ Milestone ]  Android 2.2  API Level 8")) << run.output;
  run = Cli(adb, "devices --json");
  EXPECT_TRUE(Has(run.output, "\"serial\": \"SER1\"")) << run.output;
  EXPECT_TRUE(Has(run.output, "\"sdkLevel\": 8")) << run.output;
  EXPECT_TRUE(Has(run.output, "\"brandLogo\": 216")) << run.output;

  FakeAdb none("match devices\nout List of devices attached\\n\\n\n");
  run = Cli(none, "devices");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Has(run.output, "【错误】没有找到Android设备，请检查USB连接")) << run.output;
}

}  // namespace
}  // namespace vantaro
