#pragma once
// Phones over Wi-Fi: pairing with a code, connecting, disconnecting and the
// services adb finds on the network. adb prints its outcome and exits 0 for
// failures too, so its texts are classified; every address, port and code
// is checked before it reaches adb, so nothing typed can become an option.

#include <string>
#include <string_view>
#include <vector>

#include "device/resolve.h"

namespace vantaro {

// A network address as adb takes it: an IPv4 address, an IPv6 address in
// brackets or a host name, then ":PORT" (1-65535). With portRequired false
// the port may be left out. On success address holds the text to hand to
// adb (the same characters, trimmed of white space at both ends).
bool ParseNetworkAddress(std::string_view text, bool portRequired, std::string& address);

// Exactly six ASCII digits.
bool IsPairingCode(std::string_view code);

// A serial adb gives a phone reached over the network: HOST:PORT or an mDNS
// service name of the connect service.
bool IsWirelessSerial(std::string_view serial);

// The outcome of one wireless command, for the user.
struct WirelessAnswer {
  bool ok = false;
  std::string text;
  std::string pairedGuid;  // pairing: the phone's name adb reports ("adb-XXXX-yyyy"), when it does
};

// Classifies adb's answers (first hit wins).
WirelessAnswer ClassifyPairOutput(std::string_view output);
WirelessAnswer ClassifyConnectOutput(std::string_view output, const std::string& address);
WirelessAnswer ClassifyDisconnectOutput(std::string_view output, const std::string& serial);

// "adb pair ADDRESS CODE", "adb connect ADDRESS", "adb disconnect SERIAL":
// the typed texts are checked first (nothing runs when they are wrong), the
// call is bounded by timeouts.answerMs.
WirelessAnswer PairPhone(const DeviceBridge& bridge, std::string_view address, std::string_view code);
// The same with the password of a QR invitation: 6 to 64 ASCII letters and
// digits.
WirelessAnswer PairWithPassword(const DeviceBridge& bridge, std::string_view address, std::string_view password);
WirelessAnswer ConnectPhone(const DeviceBridge& bridge, std::string_view address);
WirelessAnswer DisconnectPhone(const DeviceBridge& bridge, std::string_view serial);

// One line of "adb mdns services": instance name, service type (without a
// final "."), and address:port.
struct NetworkService {
  std::string instance;
  std::string type;
  std::string address;
};
constexpr const char* kPairingServiceType = "_adb-tls-pairing._tcp";
constexpr const char* kConnectServiceType = "_adb-tls-connect._tcp";

// The service lines of a listing (the header and lines of another form are
// skipped; so are lines whose address ParseNetworkAddress refuses).
std::vector<NetworkService> ParseServiceListing(std::string_view listing);

// "adb mdns services". False with failure set to the text for the user
// when adb did not answer, is too old, or says it cannot browse.
bool ListNetworkServices(const DeviceBridge& bridge, std::vector<NetworkService>& services, std::string& failure);

// The texts shown.
extern const char* const kBadAddressText;
extern const char* const kPairAddressText;
extern const char* const kBadCodeText;
extern const char* const kBadSerialText;
extern const char* const kPairedText;
extern const char* const kWrongCodeText;
extern const char* const kPairUnreachableText;
extern const char* const kToolTooOldText;
extern const char* const kConnectedText;         // before the address
extern const char* const kAlreadyConnectedText;  // before the address
extern const char* const kNotAuthorisedText;
extern const char* const kConnectFailedText;     // before the address
extern const char* const kDisconnectedText;      // before the serial
extern const char* const kNoSuchPhoneText;       // before the serial
extern const char* const kUnknownAnswerText;
extern const char* const kBrowseFailedText;

}  // namespace vantaro
