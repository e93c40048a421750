// vantaro-cli info: the package as the main window shows it.

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "package/recording_display.h"

namespace vantaro::cli {
namespace {

std::string utf8(const std::string& gbk) { return gbkToUtf8(gbk); }

void printTree(const RecordingDisplay& display, ReportItem parent, int depth, std::string& out) {
  for (ReportItem item : display.children(parent)) {
    out += std::string(static_cast<size_t>(depth) * 2, ' ');
    out += display.item(item).text;
    out += '\n';
    printTree(display, item, depth + 1, out);
  }
}

std::string textReport(const PackageInfo& info, const RecordingDisplay& display) {
  struct Field {
    const char* caption;
    int control;
  };
  // The summary column of the main window, top to bottom.
  const Field fields[] = {
      {"名称", kLabelField},          {"版本", kVersionField},   {"开发标识", kPackageNameField},
      {"最低固件", kMinReleaseField}, {"安装卡上", kSdCardField}, {"文件大小", kFileSizeField},
  };
  std::string out;
  for (const Field& f : fields) {
    out += f.caption;
    out += "：";
    out += display.text(f.control);
    out += '\n';
  }
  if (!info.iconMember.empty()) {
    out += "图标：" + info.iconMember + "（" + formatFileSize(static_cast<int64_t>(info.iconImage.size())) + "）\n";
  }
  if (!info.launcherActivity.empty()) out += "启动入口：" + info.launcherActivity + '\n';
  out += '\n';
  printTree(display, kReportRoot, 0, out);
  return out;
}

nlohmann::ordered_json jsonReport(const PackageInfo& info, const RecordingDisplay& display, const PermissionCatalog& catalog) {
  nlohmann::ordered_json permissions = nlohmann::ordered_json::array();
  for (const std::string& name : info.permissions) {
    auto description = catalog.describe(name);
    nlohmann::ordered_json entry = {{"name", utf8(name)}, {"description", nullptr}};
    if (description) entry["description"] = utf8(*description);
    permissions.push_back(std::move(entry));
  }
  auto list = [](const std::vector<std::string>& items) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const std::string& s : items) out.push_back(utf8(s));
    return out;
  };
  return {
      {"path", utf8(info.path)},
      {"label", utf8(display.text(kLabelField))},
      {"versionName", utf8(display.text(kVersionField))},
      {"packageName", utf8(info.packageName)},
      {"minSdk", info.minSdk},
      {"minRelease", utf8(releaseNameForApiLevel(info.minSdk))},
      {"sdCard", info.sdCardAllowed && info.analysisOk},
      {"fileSize", info.fileSize},
      {"fileSizeText", utf8(display.text(kFileSizeField))},
      {"permissions", permissions},
      {"usesInternet", info.usesInternet},
      {"adNetworks", list(info.adNetworks)},
      {"analytics", list(info.analytics)},
      {"launcherActivity", utf8(info.launcherActivity)},
      {"isKorvelPlugin", info.isKorvelPlugin},
      {"iconMember", utf8(info.iconMember)},
      {"iconSize", info.iconImage.size()},
      {"analysisOk", info.analysisOk},
      {"message", utf8(display.message)},
  };
}

}  // namespace

int runInfo(const InfoOptions& options) {
  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
  PackageLoader(info, display, catalog).load(argumentPath(options.file), false);

  // A load that ended before its report was rejected; one that reported with
  // analysisOk false lacked a member.
  bool accepted = info.analysisOk;
  if (options.json) {
    writeUtf8(stdout, jsonReport(info, display, catalog).dump(2) + "\n");
  } else if (display.items.empty()) {
    writeGbk(stderr, display.message + "\n");
  } else {
    writeGbk(stdout, textReport(info, display));
    if (!accepted) writeGbk(stderr, display.message + "\n");
  }
  return accepted ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
