// vantaro-cli: the package engine from a terminal.

#include <CLI/CLI.hpp>

#include <sstream>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"

using namespace vantaro::cli;

int main(int argc, char** argv) {
  std::vector<std::string> args = utf8Arguments(argc, argv);

  CLI::App app{vantaro::gbkToUtf8("Vantaro：检查 Android 安装包（.apk）"), "vantaro-cli"};
  app.require_subcommand(1);
  app.fallthrough(false);

  InfoOptions info;
  CLI::App* infoCommand = app.add_subcommand("info", vantaro::gbkToUtf8("显示安装包的名称、版本、权限和广告检测结果"));
  infoCommand->add_flag("--json", info.json, vantaro::gbkToUtf8("以 JSON 输出（英文键名）"));
  infoCommand->add_flag("--verify", info.verify, vantaro::gbkToUtf8("同时校验签名并计算文件的 MD5、SHA-1、SHA-256"));
  infoCommand->add_option("FILE", info.file, vantaro::gbkToUtf8("要检查的 .apk 文件"))->required();

  VerifyOptions verify;
  CLI::App* verifyCommand = app.add_subcommand(
      "verify", vantaro::gbkToUtf8("只校验安装包的签名（旁边有 .idsig 时也校验 v4 签名）；全部通过时退出码为 0"));
  verifyCommand->add_option("FILE", verify.files, vantaro::gbkToUtf8("要校验的 .apk 文件或拆分安装包，可以有多个"))
      ->required();

  const std::string adbHelp = vantaro::gbkToUtf8("使用的 adb 程序（默认：程序旁的 adb；在 Linux 上其次是 PATH 中的 adb）");
  const std::string serialHelp = vantaro::gbkToUtf8("目标设备的序列号");
  DevicesOptions devices;
  CLI::App* devicesCommand = app.add_subcommand("devices", vantaro::gbkToUtf8("列出已连接的 Android 设备"));
  devicesCommand->add_flag("--json", devices.json, vantaro::gbkToUtf8("以 JSON 输出（英文键名）"));
  devicesCommand->add_option("--adb", devices.adb, adbHelp);

  InstallOptions install;
  CLI::App* installCommand = app.add_subcommand("install", vantaro::gbkToUtf8("把安装包安装到手机上"));
  installCommand->add_option("-s", install.serials, vantaro::gbkToUtf8("目标设备的序列号（可多次给出，依次安装到每台）"))
      ->allow_extra_args(false);
  installCommand->add_flag("--all", install.all, vantaro::gbkToUtf8("安装到所有已连接的设备"));
  installCommand->add_flag("--sd", install.sd, vantaro::gbkToUtf8("优先装到SD卡上"));
  installCommand->add_flag("--force", install.force, vantaro::gbkToUtf8("签名校验未通过也照样安装"));
  installCommand->add_flag("--dry-run", install.dryRun,
                           vantaro::gbkToUtf8("只列出将发送到手机的文件及原因（拆分安装包按手机选择），不安装"));
  installCommand->add_option("--adb", install.adb, adbHelp);
  installCommand->add_option("FILE", install.files,
                             vantaro::gbkToUtf8("要安装的 .apk 文件或拆分安装包（.xapk、.apks、.apkm、.zip），可以有多个"))
      ->required();

  RunOptions run;
  CLI::App* runCommand = app.add_subcommand("run", vantaro::gbkToUtf8("在手机上运行已安装的应用"));
  runCommand->add_option("-s", run.serial, serialHelp);
  runCommand->add_option("--adb", run.adb, adbHelp);
  runCommand->add_option("FILE", run.file, vantaro::gbkToUtf8("应用的 .apk 文件"))->required();

  WirelessOptions pair;
  pair.command = WirelessOptions::Pair;
  CLI::App* pairCommand =
      app.add_subcommand("pair", vantaro::gbkToUtf8("用配对码与开启“无线调试”的手机配对（adb pair）"));
  pairCommand->add_option("--adb", pair.adb, adbHelp);
  pairCommand->add_option("ADDRESS", pair.target, vantaro::gbkToUtf8("手机显示的配对地址和端口，如 192.168.1.5:37159"))
      ->required();
  pairCommand->add_option("CODE", pair.code, vantaro::gbkToUtf8("手机显示的六位配对码"))->required();

  WirelessOptions connect;
  CLI::App* connectCommand = app.add_subcommand("connect", vantaro::gbkToUtf8("通过无线网络连接手机（adb connect）"));
  connectCommand->add_option("--adb", connect.adb, adbHelp);
  connectCommand->add_option("ADDRESS", connect.target, vantaro::gbkToUtf8("手机的地址，可加“:端口”（默认 5555）"))
      ->required();

  WirelessOptions disconnect;
  disconnect.command = WirelessOptions::Disconnect;
  CLI::App* disconnectCommand =
      app.add_subcommand("disconnect", vantaro::gbkToUtf8("断开通过无线网络连接的手机（adb disconnect）"));
  disconnectCommand->add_option("--adb", disconnect.adb, adbHelp);
  disconnectCommand->add_option("SERIAL", disconnect.target, vantaro::gbkToUtf8("手机的序列号，如 192.168.1.5:5555"))
      ->required();

  ScanOptions scan;
  CLI::App* scanCommand =
      app.add_subcommand("scan", vantaro::gbkToUtf8("分析文件夹中的所有安装包，每个一行 JSON；统计结果写到标准错误"));
  scanCommand->add_option("-j,--jobs", scan.jobs, vantaro::gbkToUtf8("同时分析的数量（默认：每个处理器一个）"));
  scanCommand->add_option("FOLDER", scan.folders, vantaro::gbkToUtf8("要分析的文件夹（或安装包）"))->required();

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  if (!reversed.empty()) reversed.pop_back();  // the program name
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    CLI::App* shown = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
    writeUtf8(stdout, shown->help());
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::ostringstream usage;
    usage << "vantaro-cli: " << e.what() << "\n\n" << app.help();
    writeUtf8(stderr, usage.str());
    return kExitUsage;
  }

  if (infoCommand->parsed()) return runInfo(info);
  if (verifyCommand->parsed()) return runVerify(verify);
  if (devicesCommand->parsed()) return runDevices(devices);
  if (installCommand->parsed()) return runInstall(install);
  if (runCommand->parsed()) return runRun(run);
  if (scanCommand->parsed()) return runScan(scan);
  if (pairCommand->parsed()) return runWireless(pair);
  if (connectCommand->parsed()) return runWireless(connect);
  if (disconnectCommand->parsed()) return runWireless(disconnect);
  return kExitUsage;
}
