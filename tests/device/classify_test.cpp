#include <gtest/gtest.h>

#include "install/classify.h"

namespace vantaro {
namespace {

std::string Message(std::string_view output) { return ClassifyInstallOutput(output, kInstallSuccessText).message; }

TEST(Classify, SuccessOnlyAsALineOfItsOwnAndNeverBesideAFailure) {
  InstallOutcome ok = ClassifyInstallOutput("Performing Streamed Install\r\n\tpkg: /data/local/tmp/1.apk\r\n  Success \r\n", "done");
  EXPECT_EQ(ok.message, "done");
  EXPECT_EQ(ok.kind, StatusKind::Success);
  // A failure that names a package with "Success" in it is a failure.
  EXPECT_EQ(Message("adb: failed to install /tmp/1.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install "
                    "com.example.Success without first uninstalling.]"),
            "【安装失败】文件已经存在, 请先删除手机上老的版本后再试");
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_DEXOPT]\nSuccess"), "【安装失败】APK文件损坏");
  // A failure line no row knows still keeps a "Success" line from counting.
  EXPECT_EQ(Message("Success\nFailure [INSTALL_FAILED_SOMETHING_NEW]"), "【安装失败】未知错误");
  EXPECT_EQ(Message("Successfully pushed"), "【安装失败】未知错误");
  EXPECT_EQ(Message("com.example.Success"), "【安装失败】未知错误");
  EXPECT_EQ(ClassifyInstallOutput("success", kInstallSuccessText).kind, StatusKind::Error);
  EXPECT_EQ(Message("success"), "【安装失败】未知错误");
  EXPECT_EQ(Message(""), "【安装失败】未知错误");
  EXPECT_EQ(ClassifyInstallOutput("Success", kEssentialsInstallSuccessText).message,
            "【安装成功】“Korvel”已经安装到您的手机中");
}

TEST(Classify, PartRowsInOrder) {
  EXPECT_EQ(Message("error: device not found"), "【安装失败】请确认手机已经连接到电脑上");
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_CONTAINER_ERROR]"), "【安装失败】请确认手机已经连接到电脑上");
  EXPECT_EQ(Message("Error: Unknown option: -s"), "【安装失败】设备不支持安装到SD卡上");
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_ALREADY_EXISTS]"), "【安装失败】文件已经存在, 请先删除手机上老的版本后再试");
  EXPECT_EQ(Message("can't find '/tmp/1.apk' to install"), "【安装失败】APK文件意外丢失");
  // "not contain" (row 3) comes before the codes.
  EXPECT_EQ(Message("does not contain AndroidManifest.xml INSTALL_FAILED_INVALID_APK"), "【安装失败】APK文件已经损坏");
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_INVALID_URI]"), std::string("【安装失败】内部错误，请联系") + kSupportAddress);
  EXPECT_EQ(Message("Failure [INSTALL_PARSE_FAILED_NO_CERTIFICATES]"), Message("INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES"));
}

TEST(Classify, SignatureMismatchOfCurrentPhonesAsksToUninstall) {
  const std::string uninstallFirst =
      "【安装失败】将安装的APK文件和手机中已装版本签名不同，请先卸载手机中的版本后再试";
  EXPECT_EQ(Message("adb: failed to install /tmp/1.apk: Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Package "
                    "com.example signatures do not match previously installed version; ignoring!]"),
            uninstallFirst);
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Existing package com.example signatures do not "
                    "match newer version; ignoring!]"),
            uninstallFirst);
  // Any other incompatible update keeps its own text.
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE]\nsignatures do not match"),
            "【安装失败】更新内容不兼容, 请联系APK文件的开发商");
  EXPECT_EQ(Message("Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Package com.example new target SDK 22 doesn't "
                    "support runtime permissions]"),
            "【安装失败】更新内容不兼容, 请联系APK文件的开发商");
}

TEST(Classify, CurrentPhonesCodes) {
  // Current adb words every refusal as "failed to install ...: Failure [CODE]";
  // the code decides, not the words around it.
  EXPECT_EQ(Message("adb: failed to install /tmp/1.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: exists]"),
            "【安装失败】文件已经存在, 请先删除手机上老的版本后再试");
  const char* codes[] = {"INSTALL_FAILED_VERSION_DOWNGRADE", "INSTALL_FAILED_TEST_ONLY",
                         "INSTALL_FAILED_NO_MATCHING_ABIS",  "INSTALL_FAILED_USER_RESTRICTED",
                         "INSTALL_FAILED_ABORTED",           "INSTALL_FAILED_VERIFICATION_FAILURE",
                         "INSTALL_PARSE_FAILED_NOT_APK",     "INSTALL_FAILED_DEPRECATED_SDK_VERSION",
                         "INSTALL_FAILED_MISSING_SPLIT",     "device unauthorized",
                         "device offline"};
  for (const char* code : codes) {
    std::string output = std::string("adb: failed to install /tmp/1.apk: Failure [") + code + "]";
    InstallOutcome outcome = ClassifyInstallOutput(output, kInstallSuccessText);
    EXPECT_EQ(outcome.kind, StatusKind::Error) << code;
    EXPECT_EQ(outcome.message.rfind("【安装失败】", 0), 0u) << code;
    EXPECT_NE(outcome.message, "【安装失败】未知错误") << code;
    EXPECT_NE(outcome.message, "【安装失败】APK文件意外丢失") << code;
  }
  EXPECT_NE(Message("adb: device unauthorized."), Message("error: device offline"));
  EXPECT_EQ(Message("adb: device 'X1' not found"), "【安装失败】请确认手机已经连接到电脑上");
}

TEST(Classify, SplitSetFailures) {
  // As adb's install-multiple reports them: its own step, then the phone's words.
  const std::pair<const char*, const char*> cases[] = {
      {"adb: failed to finalize session\r\nFailure [INSTALL_FAILED_MISSING_SPLIT: Missing split for org.x]",
       "【安装失败】APK文件不完整, 缺少拆分安装包"},
      {"Failure [INSTALL_FAILED_NO_MATCHING_ABIS: Failed to extract native libraries, res=-113]",
       "【安装失败】APK文件不支持该手机的处理器, 请联系APK文件的开发商"},
      {"adb: failed to finalize session\r\nFailure [INSTALL_FAILED_INVALID_APK: Split config.xxhdpi was defined "
       "multiple times]",
       "【安装失败】安装包中有重复的拆分包, 请重新下载完整的安装包"},
      {"Failure [INSTALL_FAILED_INVALID_APK: Full install must include a base package]",
       "【安装失败】安装包缺少基础包, 请重新下载完整的安装包"},
      {"Failure [INSTALL_FAILED_INVALID_APK: Inconsistent package org.y in /data/app/vmdl1.tmp/1.apk; expected org.x]",
       "【安装失败】安装包中的拆分包不属于同一应用或同一版本, 请重新下载完整的安装包"},
      {"Failure [INSTALL_FAILED_INVALID_APK: Split config.zh has inconsistent version code 6; expected 7]",
       "【安装失败】安装包中的拆分包不属于同一应用或同一版本, 请重新下载完整的安装包"},
      // The words on another line do not make the general text a special one.
      {"Failure [INSTALL_FAILED_INVALID_APK]\nSplit config.xxhdpi was defined multiple times",
       "【安装失败】无效的APK文件"},
      {"adb: failed to create session\nError: Unknown command: install-create",
       "【安装失败】手机没能开始安装, 请确认手机是 Android 5.0 或更高版本并允许通过USB安装"},
      {"adb: failed to write /tmp/1/split2.apk\nFailure [connection lost]",
       "【安装失败】拆分包没能完整传到手机上, 请检查USB连接和手机的存储空间后再试"},
      {"Success\nadb: failed to finalize session", "【安装失败】手机没能完成安装, 请重新连接手机后再试"},
      // A code the phone gave decides over adb's step.
      {"adb: failed to finalize session\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", "【安装失败】手机内存已满"},
  };
  for (const auto& [output, message] : cases) {
    InstallOutcome outcome = ClassifyInstallOutput(output, kInstallSuccessText);
    EXPECT_EQ(outcome.message, message) << output;
    EXPECT_EQ(outcome.kind, StatusKind::Error) << output;
  }
}

TEST(Classify, PushOutcome) {
  EXPECT_TRUE(PushSucceeded("/tmp/x/expansion0.obb: 1 file pushed, 0 skipped. 4.3 MB/s (35 bytes in 0.001s)\r\n"));
  EXPECT_TRUE(PushSucceeded("35 KB/s (35 bytes in 0.001s)\n"));  // older adb
  // Our folder's name may hold any word.
  EXPECT_TRUE(PushSucceeded("C:\\Users\\terror\\failed\\expansion0.obb: 1 file pushed, 0 skipped."));
  for (const char* failed :
       {"adb: error: failed to copy 'x.obb' to '/sdcard/Android/obb/org.x/x.obb': remote couldn't create file: "
        "Permission denied",
        "adb: error: cannot stat 'x.obb': No such file or directory", "error: device offline",
        "adb: device 'SER1' not found", "failed to copy 'x.obb' to '/sdcard/x.obb': No space left on device", "",
        "x.obb: 1 file pushed, 0 skipped.\nadb: error: connection lost", "* daemon started successfully"}) {
    EXPECT_FALSE(PushSucceeded(failed)) << failed;
  }
}

}  // namespace
}  // namespace vantaro
