#pragma once
// Pairing by QR code: the phone's "pair with QR code" scans
// WIFI:T:ADB;S:NAME;P:PASSWORD;; and then offers a pairing service of that
// name on the network; the computer finds it, pairs with the password, and
// connects to the phone's connect service.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/wireless.h"

namespace vantaro {

struct PairingInvitation {
  std::string name;      // "vantaro-" and ten letters and digits
  std::string password;  // twelve letters and digits
  std::string QrText() const;  // WIFI:T:ADB;S:NAME;P:PASSWORD;;
};

// A fresh name and password from the system's random source.
PairingInvitation NewPairingInvitation();

// The modules of a QR code, dark = true, row by row (width * width), without
// the quiet zone. Empty when the text cannot be encoded.
struct QrMatrix {
  int width = 0;
  std::vector<bool> dark;
  bool at(int x, int y) const { return dark[static_cast<size_t>(y) * width + x]; }
};
QrMatrix EncodeQr(const std::string& text);

// The pairing service the phone offers after scanning, among the services
// listed; null when it is not there yet.
const NetworkService* FindPairingService(const std::vector<NetworkService>& services, const std::string& name);

// The connect service of the phone just paired: the one whose instance is
// the name adb reported when pairing, else the one on the pairing service's
// host. Null when it is not there yet.
const NetworkService* FindConnectService(const std::vector<NetworkService>& services, const std::string& pairedGuid,
                                         const std::string& pairingAddress);

// Texts of the QR pairing.
extern const char* const kQrWaitingText;
extern const char* const kQrPairingText;
extern const char* const kQrConnectingText;
extern const char* const kQrNoConnectServiceText;

// How the pairing by QR code waits.
struct QrPairingPace {
  unsigned pollMs = 1000;             // between two listings of the services
  unsigned connectWaitMs = 30000;     // for the connect service after pairing
};

// Pairing by QR code, on the calling thread (a worker): lists the services
// until the invitation's pairing service shows, pairs with its address and
// the password, then waits for the phone's connect service and connects.
// progress gets each step's text. Ends early, with ok false and no text,
// once stop is set (checked at least every 100 ms while waiting).
WirelessAnswer PairByQr(const DeviceBridge& bridge, const PairingInvitation& invitation, const std::atomic<bool>& stop,
                        const std::function<void(const std::string&)>& progress, QrPairingPace pace = QrPairingPace());

}  // namespace vantaro
