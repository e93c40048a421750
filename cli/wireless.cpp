// vantaro-cli pair, connect and disconnect: phones over Wi-Fi.

#include "base/text.h"
#include "cli/commands.h"
#include "cli/device_support.h"
#include "device/wireless.h"

namespace vantaro::cli {
namespace {

// Shows the answer; a text typed wrong (nothing was sent) is a usage error.
int Report(const WirelessAnswer& answer, bool refusedBeforeSending) {
  ConsoleMessageLine line;
  line.ShowMessage(answer.text, answer.ok ? StatusKind::Success : StatusKind::Error);
  if (answer.ok) return kExitOk;
  return refusedBeforeSending ? kExitUsage : kExitFailed;
}

}  // namespace

int runWireless(const WirelessOptions& options) {
  DeviceBridge bridge = MakeBridge(options.adb);
  std::string target = utf8ToGbk(options.target);
  std::string checked;
  switch (options.command) {
    case WirelessOptions::Pair: {
      bool valid = ParseNetworkAddress(target, true, checked) && IsPairingCode(options.code);
      return Report(PairPhone(bridge, target, options.code), !valid);
    }
    case WirelessOptions::Connect:
      return Report(ConnectPhone(bridge, target), !ParseNetworkAddress(target, false, checked));
    case WirelessOptions::Disconnect: {
      WirelessAnswer answer = DisconnectPhone(bridge, target);
      return Report(answer, answer.text == kBadSerialText);
    }
  }
  return kExitUsage;
}

}  // namespace vantaro::cli
