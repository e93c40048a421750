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
  infoCommand->add_option("FILE", info.file, vantaro::gbkToUtf8("要检查的 .apk 文件"))->required();

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
  return kExitUsage;
}
