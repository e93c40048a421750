// vantaro.exe with a split bundle: "安装" on a simulated phone sends the
// splits that phone needs and then the data file, and leaves nothing in the
// temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "base/text.h"
#include "package/apk_archive.h"
#include "program.h"

namespace vantaro::apptest {
namespace {

using Lines = std::vector<std::string>;

constexpr int kMessage = 1000, kInstall = 1002, kExit = 1003, kPackageName = 1027;

std::string Sent(const std::string& verb, const std::string& bundle, const std::string& member, const std::string& name) {
  ApkArchive archive;
  const ApkArchive::Member* m = archive.open(bundle) ? archive.find(member) : nullptr;
  if (!m) return "no member " + member;
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(m->crc));
  return verb + " " + std::to_string(m->size) + " " + crc + " " + name;
}

TEST(BundleWindow, InstallSendsTheChosenSplitsThenTheDataFile) {
  const std::string xapk = test::NativePath(VANTARO_FIXTURE_DIR "/bundles/sample.xapk");
  const std::string obb = "Android/obb/org.fixture.bundle/main.7.org.fixture.bundle.obb";
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell getprop\nout [persist.sys.locale]: [zh-CN]\\r\\n[ro.build.version.sdk]: "
                    "[33]\\r\\n[ro.product.cpu.abilist]: [arm64-v8a,armeabi-v7a,armeabi]\\r\\n[ro.sf.lcd_density]: "
                    "[480]\\r\\n\n"
                    "match -s SER1 install-multiple *\nout Success\\r\\n\n"
                    "match -s SER1 push *\ndelay 1500\nout expansion0.obb: 1 file pushed, 0 skipped.\\r\\n\n");
  test::TempFolder temporary("tmp");
  Program program;
  // The program's temporary folder is one of the test's own.
  test::ScopedEnvironment environment;
  for (const std::string& variable : test::TemporaryFolderVariables()) environment.Set(variable, temporary.path());
  HANDLE process = program.Start("\"" + xapk + "\"");
  HWND w = MainWindowOf(GetProcessId(process));
  ASSERT_TRUE(w);
  EXPECT_EQ(Text(w, kPackageName), "org.fixture.bundle");

  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, "正在复制数据文件 1/1…"), "正在复制数据文件 1/1…");
  const std::string success = "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用";
  EXPECT_EQ(WaitForText(w, kMessage, success), success);

  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "devices");
  EXPECT_EQ(log[1], "-s SER1 shell getprop");
  // The job's folder: the temporary folder and a name of digits.
  const std::string command = "-s SER1 install-multiple -r -s ";
  ASSERT_EQ(log[2].rfind(command, 0), 0u) << log[2];
  std::string first = log[2].substr(command.size(), log[2].find(' ', command.size()) - command.size());
  std::string folder = first.substr(0, first.rfind('\\') + 1);
  std::string base = gbkToUtf8(temporary.path());
  ASSERT_EQ(folder.rfind(base, 0), 0u) << folder;
  std::string digits = folder.substr(base.size(), folder.size() - base.size() - 1);
  EXPECT_FALSE(digits.empty());
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
  std::string splits;
  for (int i = 0; i < 5; ++i) splits += (i ? " " : "") + folder + "split" + std::to_string(i) + ".apk";
  EXPECT_EQ(log[2], command + splits);
  EXPECT_EQ(log[3], "-s SER1 push " + folder + "expansion0.obb /sdcard/" + obb);

  EXPECT_EQ(adb.Sent(), (Lines{Sent("install-multiple", xapk, "base.apk", "split0.apk"),
                               Sent("install-multiple", xapk, "camera.apk", "split1.apk"),
                               Sent("install-multiple", xapk, "config.arm64_v8a.apk", "split2.apk"),
                               Sent("install-multiple", xapk, "config.xxhdpi.apk", "split3.apk"),
                               Sent("install-multiple", xapk, "config.zh.apk", "split4.apk"),
                               Sent("push", xapk, obb, "expansion0.obb")}));
  EXPECT_EQ(test::FolderEntries(temporary.path()), Lines{});

  Click(w, kExit);
  EXPECT_EQ(WaitForExit(process), 0u);
}

}  // namespace
}  // namespace vantaro::apptest
