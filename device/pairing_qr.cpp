#include "device/pairing_qr.h"

#include <qrencode.h>

#include <algorithm>
#include <random>
#include <thread>

namespace vantaro {
namespace {

std::string RandomText(size_t length) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string text;
  for (size_t i = 0; i < length; ++i) text += kAlphabet[pick(source)];
  return text;
}

// The host of HOST:PORT or [HOST]:PORT.
std::string HostOf(const std::string& address) {
  size_t colon = address.rfind(':');
  return colon == std::string::npos ? address : address.substr(0, colon);
}

// Waits ms unless stop is set first; false when it was.
bool Pause(unsigned ms, const std::atomic<bool>& stop) {
  for (unsigned waited = 0; waited < ms; waited += 100) {
    if (stop) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(100u, ms - waited)));
  }
  return !stop;
}

}  // namespace

const char* const kQrWaitingText = "等待手机扫描二维码...";
const char* const kQrPairingText = "已找到手机，正在配对...";
const char* const kQrConnectingText = "配对成功，正在连接手机...";
const char* const kQrNoConnectServiceText = "【连接失败】配对成功，但没有在网络上找到手机的无线调试服务，请输入手机显示的地址后单击“连接”";

WirelessAnswer PairByQr(const DeviceBridge& bridge, const PairingInvitation& invitation, const std::atomic<bool>& stop,
                        const std::function<void(const std::string&)>& progress, QrPairingPace pace) {
  WirelessAnswer stopped;
  std::vector<NetworkService> services;
  std::string failure;
  progress(kQrWaitingText);
  std::string pairingAddress;
  for (;;) {
    if (stop) return stopped;
    if (!ListNetworkServices(bridge, services, failure)) {
      WirelessAnswer answer;
      answer.text = failure;
      return answer;
    }
    if (const NetworkService* service = FindPairingService(services, invitation.name)) {
      pairingAddress = service->address;
      break;
    }
    if (!Pause(pace.pollMs, stop)) return stopped;
  }
  if (stop) return stopped;
  progress(kQrPairingText);
  WirelessAnswer paired = PairWithPassword(bridge, pairingAddress, invitation.password);
  if (!paired.ok || stop) return stop ? stopped : paired;
  progress(kQrConnectingText);
  for (unsigned waited = 0;; waited += pace.pollMs) {
    if (stop) return stopped;
    if (ListNetworkServices(bridge, services, failure)) {
      if (const NetworkService* service = FindConnectService(services, paired.pairedGuid, pairingAddress))
        return ConnectPhone(bridge, service->address);
    }
    if (waited >= pace.connectWaitMs || !Pause(pace.pollMs, stop)) break;
  }
  if (stop) return stopped;
  WirelessAnswer lost;
  lost.text = kQrNoConnectServiceText;
  return lost;
}

std::string PairingInvitation::QrText() const { return "WIFI:T:ADB;S:" + name + ";P:" + password + ";;"; }

PairingInvitation NewPairingInvitation() {
  PairingInvitation invitation;
  invitation.name = "vantaro-" + RandomText(10);
  invitation.password = RandomText(12);
  return invitation;
}

QrMatrix EncodeQr(const std::string& text) {
  QrMatrix matrix;
  QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
  if (!code) return matrix;
  matrix.width = code->width;
  matrix.dark.resize(static_cast<size_t>(code->width) * code->width);
  for (size_t i = 0; i < matrix.dark.size(); ++i) matrix.dark[i] = (code->data[i] & 1) != 0;
  QRcode_free(code);
  return matrix;
}

const NetworkService* FindPairingService(const std::vector<NetworkService>& services, const std::string& name) {
  for (const NetworkService& service : services)
    if (service.type == kPairingServiceType && service.instance == name) return &service;
  return nullptr;
}

const NetworkService* FindConnectService(const std::vector<NetworkService>& services, const std::string& pairedGuid,
                                         const std::string& pairingAddress) {
  if (!pairedGuid.empty()) {
    for (const NetworkService& service : services)
      if (service.type == kConnectServiceType && service.instance == pairedGuid) return &service;
  }
  std::string host = HostOf(pairingAddress);
  for (const NetworkService& service : services)
    if (service.type == kConnectServiceType && HostOf(service.address) == host) return &service;
  return nullptr;
}

}  // namespace vantaro
