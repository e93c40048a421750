// Phones over Wi-Fi: what may reach adb, how its answers read, and the
// commands against fake-adb.
#include <gtest/gtest.h>

#include "device/devices.h"
#include "device/wireless.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

TEST(WirelessInput, OnlyAddressesCodesAndSerialsReachAdb) {
  struct Case {
    const char* text;
    bool withPort;     // accepted when a port is required
    bool withoutPort;  // accepted when it may be left out
  };
  const Case cases[] = {
      {"192.168.1.5:37159", true, true}, {"192.168.1.5", false, true}, {" 10.0.0.1:5555\r\n", true, true},
      {"[::1]:5555", true, true}, {"[fe80::1c2:3ff:fe4a:5]:41235", true, true}, {"[::ffff:192.168.1.5]:1", true, true},
      {"[::1]", false, true}, {"phone-7.local:65535", true, true}, {"localhost", false, true},
      // Out of range, malformed, or a way onto adb's command line.
      {"192.168.1.5:0", false, false}, {"192.168.1.5:65536", false, false}, {"192.168.1.5:+555", false, false},
      {"192.168.1.5:", false, false}, {":5555", false, false}, {"256.1.1.1:5555", false, false},
      {"1.2.3:5555", false, false}, {"1.2.3.4.5", false, false}, {"::1:5555", false, false},
      {"[::1]5555", false, false}, {"[::g]:5555", false, false}, {"[1:2]:3]:4", false, false},
      {"-H", false, false}, {"--help", false, false}, {"-host.local:5555", false, false},
      {"host-.local", false, false}, {"a..b", false, false}, {"1.2.3.4:5555 -P 1", false, false},
      {"1.2.3.4:5555\t-a", false, false}, {"h\"x:1", false, false}, {"h;reboot:1", false, false},
      {"h_x:1", false, false}, {"\xCA\xD6\xBB\xFA:5555", false, false}, {"", false, false},
  };
  for (const Case& c : cases) {
    std::string address;
    EXPECT_EQ(ParseNetworkAddress(c.text, true, address), c.withPort) << c.text;
    EXPECT_EQ(ParseNetworkAddress(c.text, false, address), c.withoutPort) << c.text;
  }
  std::string address;
  ASSERT_TRUE(ParseNetworkAddress("  [::1]:5555 ", true, address));
  EXPECT_EQ(address, "[::1]:5555");

  EXPECT_TRUE(IsPairingCode("012345"));
  for (const char* bad : {"12345", "1234567", "12345a", " 123456", "１２３４５６", "-12345"})
    EXPECT_FALSE(IsPairingCode(bad)) << bad;

  // Wireless serials are listed, and known for what they are.
  EXPECT_EQ(ParseDeviceListing("List of devices attached\n192.168.1.5:37159\tdevice\n"
                               "adb-R58M123-AbCdEf._adb-tls-connect._tcp\tdevice\n[::1]:5555\tdevice\nR58M123\tdevice\n\n"),
            (Lines{"192.168.1.5:37159", "adb-R58M123-AbCdEf._adb-tls-connect._tcp", "[::1]:5555", "R58M123"}));
  for (const char* serial : {"192.168.1.5:37159", "adb-R58M123-AbCdEf._adb-tls-connect._tcp", "[::1]:5555"})
    EXPECT_TRUE(IsWirelessSerial(serial)) << serial;
  for (const char* serial : {"R58M123", "emulator-5554", "0123456789ABCDEF"}) EXPECT_FALSE(IsWirelessSerial(serial));
}

TEST(WirelessAnswers, AdbsTextsDecideAlthoughItExitsZero) {
  WirelessAnswer a = ClassifyPairOutput("Successfully paired to 192.168.1.5:37099 [guid=adb-R58M123-AbCdEf]\n");
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, kPairedText);
  EXPECT_EQ(a.pairedGuid, "adb-R58M123-AbCdEf");
  EXPECT_EQ(ClassifyPairOutput("Successfully paired to 1.2.3.4:5 [guid=a b]").pairedGuid, "");
  EXPECT_EQ(ClassifyPairOutput("Failed: Wrong password or connection was dropped.").text, kWrongCodeText);
  EXPECT_EQ(ClassifyPairOutput("Failed: Unable to start pairing client.").text, kPairUnreachableText);
  EXPECT_EQ(ClassifyPairOutput("adb: unknown command pair").text, kToolTooOldText);
  EXPECT_EQ(ClassifyPairOutput("").text, kUnknownAnswerText);
  EXPECT_FALSE(ClassifyPairOutput("Failed: Wrong password or connection was dropped.").ok);

  const std::string at = "192.168.1.5:5555";
  struct Case {
    const char* output;
    bool ok;
    std::string text;
  };
  const Case connects[] = {
      {"connected to 192.168.1.5:5555", true, kConnectedText + at},
      {"already connected to 192.168.1.5:5555", true, kAlreadyConnectedText + at},
      {"failed to authenticate to 192.168.1.5:5555", false, kNotAuthorisedText},
      {"failed to connect to '192.168.1.5:5555': Connection refused", false, kConnectFailedText + at},
      {"cannot connect to 192.168.1.5:5555: No route to host (113)", false, kConnectFailedText + at},
      {"failed to resolve host: 'phone.local': Name or service not known", false, kConnectFailedText + at},
      {"* daemon not running; starting now at tcp:5037\n* daemon started successfully\nconnected to 192.168.1.5:5555",
       true, kConnectedText + at},
      {"", false, kUnknownAnswerText},
  };
  for (const Case& c : connects) {
    WirelessAnswer answer = ClassifyConnectOutput(c.output, at);
    EXPECT_EQ(answer.ok, c.ok) << c.output;
    EXPECT_EQ(answer.text, c.text) << c.output;
  }
  EXPECT_TRUE(ClassifyDisconnectOutput("disconnected 192.168.1.5:5555", at).ok);
  WirelessAnswer gone = ClassifyDisconnectOutput("error: no such device '192.168.1.5:5555'", at);
  EXPECT_FALSE(gone.ok);
  EXPECT_EQ(gone.text, kNoSuchPhoneText + at);
}

TEST(WirelessCommands, AgainstFakeAdb) {
  FakeAdb adb("match pair 192.168.1.5:37159 123456\nout Successfully paired to 192.168.1.5:37159 [guid=adb-R58-Ab]\\n\n"
              "match pair [::1]:41000 654321\nout Failed: Wrong password or connection was dropped.\\n\n"
              "match pair 127.0.0.1:9 111111\nhang\n"
              "match connect phone.local\nout connected to phone.local:5555\\n\n"
              "match disconnect 192.168.1.5:5555\nout disconnected 192.168.1.5:5555\\n\n"
              "match mdns services\nout List of discovered mdns services\\n"
              "vantaro-AbCdEfGhIj\\t_adb-tls-pairing._tcp.\\t192.168.1.5:41235\\n"
              "adb-R58-Ab\\t_adb-tls-connect._tcp\\t192.168.1.5:37159\\n"
              "adb-R58-Ab\\t_adb-tls-connect._tcp\\tfe80::1:37159\\n"
              "broken line\\n\\n\n");
  DeviceBridge bridge;
  bridge.adbPath = adb.path();
  bridge.timeouts.answerMs = 1500;
  WirelessAnswer paired = PairPhone(bridge, "192.168.1.5:37159", "123456");
  EXPECT_TRUE(paired.ok);
  EXPECT_EQ(paired.pairedGuid, "adb-R58-Ab");
  EXPECT_EQ(PairPhone(bridge, "[::1]:41000", "654321").text, kWrongCodeText);
  EXPECT_EQ(PairPhone(bridge, "127.0.0.1:9", "111111").text, kNoResponseText);
  EXPECT_TRUE(ConnectPhone(bridge, "phone.local").ok);
  EXPECT_TRUE(DisconnectPhone(bridge, "192.168.1.5:5555").ok);
  // Refused before anything runs.
  EXPECT_EQ(PairPhone(bridge, "192.168.1.5", "123456").text, kPairAddressText);
  EXPECT_EQ(PairPhone(bridge, "192.168.1.5:1", "123 456").text, kBadCodeText);
  EXPECT_EQ(ConnectPhone(bridge, "--help").text, kBadAddressText);
  EXPECT_EQ(DisconnectPhone(bridge, "-a").text, kBadSerialText);
  EXPECT_EQ(DisconnectPhone(bridge, "x y").text, kBadSerialText);

  std::vector<NetworkService> services;
  std::string failure;
  ASSERT_TRUE(ListNetworkServices(bridge, services, failure));
  ASSERT_EQ(services.size(), 3u);
  EXPECT_EQ(services[0].instance, "vantaro-AbCdEfGhIj");
  EXPECT_EQ(services[0].type, kPairingServiceType);
  EXPECT_EQ(services[0].address, "192.168.1.5:41235");
  EXPECT_EQ(services[1].type, kConnectServiceType);
  EXPECT_EQ(services[2].address, "[fe80::1]:37159");
  EXPECT_EQ(adb.Log(), (Lines{"pair 192.168.1.5:37159 123456", "pair [::1]:41000 654321", "pair 127.0.0.1:9 111111",
                              "connect phone.local", "disconnect 192.168.1.5:5555", "mdns services"}));

  FakeAdb old("match *\nerr adb: unknown command \\n\n");
  bridge.adbPath = old.path();
  EXPECT_EQ(PairPhone(bridge, "192.168.1.5:37159", "123456").text, kToolTooOldText);
  EXPECT_FALSE(ListNetworkServices(bridge, services, failure));
  EXPECT_EQ(failure, kToolTooOldText);
}

}  // namespace
}  // namespace vantaro
