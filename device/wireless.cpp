#include "device/wireless.h"

#include "device/command_line.h"
#include "device/devices.h"

namespace vantaro {

const char* const kBadAddressText = "【错误】地址无效：请输入 IP 地址或主机名，可加“:端口”（1-65535），如 192.168.1.5:5555";
const char* const kPairAddressText = "【错误】请输入手机“无线调试”中“使用配对码配对设备”显示的地址和端口，如 192.168.1.5:37159";
const char* const kBadCodeText = "【错误】配对码应为手机上显示的六位数字";
const char* const kBadSerialText = "【错误】设备序列号无效";
const char* const kPairedText = "【配对成功】手机已与这台电脑配对";
const char* const kWrongCodeText = "【配对失败】配对码错误或连接已断开，请在手机上重新打开配对码后再试";
const char* const kPairUnreachableText = "【配对失败】无法连接到手机，请确认地址和端口，并确认手机与电脑在同一网络";
const char* const kToolTooOldText = "【错误】adb 版本过旧，不支持无线配对，请更新 adb（Platform-Tools 30 或更新版本）";
const char* const kConnectedText = "【连接成功】已通过无线网络连接到 ";
const char* const kAlreadyConnectedText = "【连接成功】已经连接到 ";
const char* const kNotAuthorisedText = "【连接失败】手机没有允许这台电脑调试，请先配对，或在手机上允许调试后再试";
const char* const kConnectFailedText = "【连接失败】请确认手机已打开无线调试，并与电脑在同一网络：";
const char* const kDisconnectedText = "已断开 ";
const char* const kNoSuchPhoneText = "【错误】没有连接这台手机：";
const char* const kUnknownAnswerText = "【错误】adb 的回答无法识别，请重试";
const char* const kBrowseFailedText = "【错误】adb 无法在网络上查找手机";

namespace {

constexpr size_t kLongestAddress = 300;
constexpr size_t kServiceListingLimit = size_t{64} << 10;

bool Has(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

bool IsIpv4(std::string_view text) {
  int parts = 0;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > 3) return false;
    unsigned value = 0;
    for (char c : part) {
      if (!IsDigit(c)) return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

// The inside of the brackets: hex groups and colons (at least two), an IPv4
// tail allowed.
bool IsIpv6(std::string_view text) {
  if (text.size() < 2 || text.size() > 45) return false;
  size_t colons = 0;
  for (char c : text) {
    if (c == ':') ++colons;
    else if (!IsHexDigit(c) && c != '.') return false;
  }
  if (colons < 2 || colons > 7) return false;
  size_t lastColon = text.rfind(':');
  std::string_view tail = text.substr(lastColon + 1);
  if (tail.find('.') != std::string_view::npos && !IsIpv4(tail)) return false;
  return text.substr(0, lastColon).find('.') == std::string_view::npos;
}

// Letters, digits and hyphens in dot-separated labels of 1-63 characters
// that neither begin nor end with a hyphen; never all digits and dots
// (that is an IPv4 address or nothing).
bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  bool onlyDigits = true;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    std::string_view label = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (char c : label) {
      if (!IsLetter(c) && !IsDigit(c) && c != '-') return false;
      if (!IsDigit(c)) onlyDigits = false;
    }
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return !onlyDigits;
}

WirelessAnswer Answer(bool ok, std::string text) {
  WirelessAnswer answer;
  answer.ok = ok;
  answer.text = std::move(text);
  return answer;
}

// A captured call that gave no answer: its failure text.
bool Ran(const CapturedOutput& run, std::string& failure) {
  switch (run.status) {
    case RunStatus::Started: return true;
    case RunStatus::PipeFailed: failure = kPipeFailedText; break;
    case RunStatus::StartFailed: failure = kStartFailedText; break;
    case RunStatus::TimedOut: failure = kNoResponseText; break;
  }
  return false;
}

CapturedOutput RunTool(const DeviceBridge& bridge, std::initializer_list<std::string_view> arguments, size_t limit) {
  return bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, arguments), limit, bridge.timeouts.answerMs);
}

bool TooOld(std::string_view output) {
  return Has(output, "unknown command") || Has(output, "unknown option") || Has(output, "Unknown option");
}

}  // namespace

bool ParseNetworkAddress(std::string_view text, bool portRequired, std::string& address) {
  text = TrimSpace(text);
  if (text.empty() || text.size() > kLongestAddress) return false;
  std::string_view host, port;
  bool hasPort = false;
  if (text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos || !IsIpv6(text.substr(1, close - 1))) return false;
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      hasPort = true;
      port = rest.substr(1);
    }
  } else {
    size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) return false;
    host = text.substr(0, colon);
    if (colon != std::string_view::npos) {
      hasPort = true;
      port = text.substr(colon + 1);
    }
    if (!IsIpv4(host) && !IsHostName(host)) return false;
  }
  if (hasPort ? !IsPort(port) : portRequired) return false;
  address.assign(text);
  return true;
}

bool IsPairingCode(std::string_view code) {
  if (code.size() != 6) return false;
  for (char c : code)
    if (!IsDigit(c)) return false;
  return true;
}

bool IsWirelessSerial(std::string_view serial) {
  if (Has(serial, std::string(".") + kConnectServiceType)) return IsPlainSerial(serial);
  std::string address;
  return ParseNetworkAddress(serial, true, address) && address == serial;
}

WirelessAnswer ClassifyPairOutput(std::string_view output) {
  if (Has(output, "Successfully paired to")) {
    WirelessAnswer answer = Answer(true, kPairedText);
    size_t at = output.find("[guid=");
    size_t end = at == std::string_view::npos ? at : output.find(']', at);
    if (end != std::string_view::npos) {
      std::string guid(output.substr(at + 6, end - at - 6));
      if (IsPlainSerial(guid)) answer.pairedGuid = guid;
    }
    return answer;
  }
  if (TooOld(output)) return Answer(false, kToolTooOldText);
  if (Has(output, "Wrong password")) return Answer(false, kWrongCodeText);
  if (Has(output, "Failed") || Has(output, "failed") || Has(output, "error") || Has(output, "unable to") ||
      Has(output, "Unable to"))
    return Answer(false, kPairUnreachableText);
  return Answer(false, kUnknownAnswerText);
}

WirelessAnswer ClassifyConnectOutput(std::string_view output, const std::string& address) {
  if (Has(output, "already connected to")) return Answer(true, kAlreadyConnectedText + address);
  if (Has(output, "failed to authenticate to")) return Answer(false, kNotAuthorisedText);
  if (Has(output, "failed to connect to") || Has(output, "cannot connect to") || Has(output, "unable to connect") ||
      Has(output, "failed to resolve host") || Has(output, "cannot resolve host"))
    return Answer(false, kConnectFailedText + address);
  if (Has(output, "connected to")) return Answer(true, kConnectedText + address);
  if (TooOld(output)) return Answer(false, kToolTooOldText);
  return Answer(false, kUnknownAnswerText);
}

WirelessAnswer ClassifyDisconnectOutput(std::string_view output, const std::string& serial) {
  if (Has(output, "no such device") || Has(output, "error")) return Answer(false, kNoSuchPhoneText + serial);
  if (Has(output, "disconnected")) return Answer(true, kDisconnectedText + serial);
  return Answer(false, kUnknownAnswerText);
}

namespace {

WirelessAnswer Pair(const DeviceBridge& bridge, const std::string& address, const std::string& secret) {
  CapturedOutput run = RunTool(bridge, {"pair", address, secret}, kListingLimit);
  std::string failure;
  if (!Ran(run, failure)) return Answer(false, failure);
  return ClassifyPairOutput(run.output);
}

}  // namespace

WirelessAnswer PairPhone(const DeviceBridge& bridge, std::string_view address, std::string_view code) {
  std::string checked;
  if (!ParseNetworkAddress(address, true, checked)) return Answer(false, kPairAddressText);
  std::string digits(TrimSpace(code));
  if (!IsPairingCode(digits)) return Answer(false, kBadCodeText);
  return Pair(bridge, checked, digits);
}

WirelessAnswer PairWithPassword(const DeviceBridge& bridge, std::string_view address, std::string_view password) {
  std::string checked;
  if (!ParseNetworkAddress(address, true, checked)) return Answer(false, kPairAddressText);
  bool valid = password.size() >= 6 && password.size() <= 64;
  for (char c : password) valid = valid && (IsLetter(c) || IsDigit(c));
  if (!valid) return Answer(false, kBadCodeText);
  return Pair(bridge, checked, std::string(password));
}

WirelessAnswer ConnectPhone(const DeviceBridge& bridge, std::string_view address) {
  std::string checked;
  if (!ParseNetworkAddress(address, false, checked)) return Answer(false, kBadAddressText);
  CapturedOutput run = RunTool(bridge, {"connect", checked}, kListingLimit);
  std::string failure;
  if (!Ran(run, failure)) return Answer(false, failure);
  return ClassifyConnectOutput(run.output, checked);
}

WirelessAnswer DisconnectPhone(const DeviceBridge& bridge, std::string_view serial) {
  std::string checked(TrimSpace(serial));
  if (!IsPlainSerial(checked) || checked.front() == '-') return Answer(false, kBadSerialText);
  CapturedOutput run = RunTool(bridge, {"disconnect", checked}, kListingLimit);
  std::string failure;
  if (!Ran(run, failure)) return Answer(false, failure);
  return ClassifyDisconnectOutput(run.output, checked);
}

std::vector<NetworkService> ParseServiceListing(std::string_view listing) {
  std::vector<NetworkService> services;
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    std::string_view line = TrimSpace(listing.substr(start, end == std::string_view::npos ? end : end - start));
    start = end == std::string_view::npos ? listing.size() : end + 1;
    // Three fields, tab-separated (white space between them accepted too).
    std::vector<std::string_view> fields;
    size_t at = 0;
    const char* separators = line.find('\t') != std::string_view::npos ? "\t" : " \t";
    while (at < line.size() && fields.size() <= 3) {
      size_t next = line.find_first_of(separators, at);
      std::string_view field = TrimSpace(line.substr(at, next == std::string_view::npos ? next : next - at));
      if (!field.empty()) fields.push_back(field);
      at = next == std::string_view::npos ? line.size() : next + 1;
    }
    if (fields.size() != 3) continue;
    NetworkService service;
    service.instance.assign(fields[0]);
    std::string_view type = fields[1];
    if (!type.empty() && type.back() == '.') type.remove_suffix(1);
    service.type.assign(type);
    // An IPv6 address may come without brackets: the port is after the last colon.
    std::string address(fields[2]);
    size_t lastColon = address.rfind(':');
    if (address.front() != '[' && lastColon != std::string::npos && address.find(':') != lastColon)
      address = "[" + address.substr(0, lastColon) + "]" + address.substr(lastColon);
    if (!ParseNetworkAddress(address, true, service.address)) continue;
    services.push_back(std::move(service));
  }
  return services;
}

bool ListNetworkServices(const DeviceBridge& bridge, std::vector<NetworkService>& services, std::string& failure) {
  services.clear();
  CapturedOutput run = RunTool(bridge, {"mdns", "services"}, kServiceListingLimit);
  if (!Ran(run, failure)) return false;
  if (TooOld(run.output)) {
    failure = kToolTooOldText;
    return false;
  }
  if (Has(run.output, "ERROR") || Has(run.output, "error:")) {
    failure = kBrowseFailedText;
    return false;
  }
  services = ParseServiceListing(run.output);
  return true;
}

}  // namespace vantaro
