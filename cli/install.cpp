// vantaro-cli install: the main window's Install on the opened package.

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/device_support.h"
#include "install/install_job.h"
#include "install/system.h"

namespace vantaro::cli {

int runInstall(const InstallOptions& options) {
  ConsoleMessageLine line;
  if (!IsExistingFile(argumentPath(options.file))) {
    line.ShowMessage(kNoPackageText, StatusKind::Error);
    return kExitFailed;
  }
  PackageInfo info = LoadPackage(options.file);
  if (!info.analysisOk) {
    line.ShowMessage("【错误】不是有效的APK文件，Vantaro拒绝安装", StatusKind::Error);
    return kExitFailed;
  }
  InstallRequest request;
  request.path = info.path;
  request.fileSize = info.fileSize;
  request.sdCardAllowed = info.sdCardAllowed;
  request.sdBoxTicked = options.sd;

  InstallServices services;
  services.bridge = MakeBridge(options.adb);
  std::string serial = options.serial;
  const DeviceBridge& bridge = services.bridge;
  services.resolveDevice = [&bridge, serial] { return ResolveDevice(bridge, serial); };
  return InstallPackage(request, services, line) ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
