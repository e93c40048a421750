// vantaro-cli run: the main window's Run now.

#include <condition_variable>
#include <mutex>

#include "cli/commands.h"
#include "cli/device_support.h"
#include "device/async_command.h"
#include "install/launch.h"

namespace vantaro::cli {
namespace {

// Hands the listing to the launch and tells the waiting command its end.
class WaitingLaunch : public OutputSink {
 public:
  explicit WaitingLaunch(LaunchSink& launch) : launch_(launch) {}
  void OnOutput(const std::string& text, OutputStatus status) override {
    launch_.OnOutput(text, status);
    if (status == OutputStatus::Chunk) return;
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
  }
  // Waits up to ms for the end; false when the listing did not end in time.
  bool Wait(unsigned ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
  }

 private:
  LaunchSink& launch_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
};

}  // namespace

int runRun(const RunOptions& options) {
  ConsoleMessageLine line;
  PackageInfo info = LoadPackage(options.file);
  DeviceBridge bridge = MakeBridge(options.adb);
  ResolveResult resolved = ResolveDevice(bridge, options.serial);
  if (resolved != ResolveResult::Chosen) {
    line.ShowMessage(ResolveFailureText(resolved), StatusKind::Error);
    return kExitFailed;
  }
  LaunchSink launch(line, bridge);
  WaitingLaunch waiting(launch);
  AsyncCommand command(&waiting);
  launch.Begin(info);
  if (!command.Start(PackageListingCommand(bridge))) {
    launch.Abandon();
    line.ShowMessage(kStartFailedText, StatusKind::Error);
    return kExitFailed;
  }
  bool ended = waiting.Wait(bridge.timeouts.listingMs);
  command.Close();
  if (!ended) {
    line.ShowMessage(kNoResponseText, StatusKind::Error);
    return kExitFailed;
  }
  return line.succeeded() ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
