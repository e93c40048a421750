// vantaro-cli run: the main window's Run now. It ends once the phone has
// answered the start (or a call has outlived its time-out).

#include "cli/commands.h"
#include "cli/device_support.h"
#include "install/launch.h"

namespace vantaro::cli {

int runRun(const RunOptions& options) {
  ConsoleMessageLine line;
  LaunchRequest request = LaunchRequest::Of(LoadPackage(options.file));
  DeviceBridge bridge = MakeBridge(options.adb);
  bool started = RunInstalledApplication(
      request, bridge, [&options](const DeviceBridge& asking) { return ResolveDevice(asking, options.serial); }, line);
  return started ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
