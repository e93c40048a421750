// Pairing by QR code: the invitation, its picture as a phone's camera reads
// it (zbarimg, where it is installed), and the pairing against fake-adb.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "install/system.h"
#include "device/pairing_qr.h"
#include "support.h"

namespace vantaro {
namespace {

using Lines = std::vector<std::string>;

// The code as a greyscale picture (PGM): four modules of quiet zone, each
// module scale pixels wide.
std::string QrPicture(const QrMatrix& qr, int scale) {
  const int side = (qr.width + 8) * scale;
  std::string picture = "P5\n" + std::to_string(side) + " " + std::to_string(side) + "\n255\n";
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      int mx = x / scale - 4, my = y / scale - 4;
      bool dark = mx >= 0 && my >= 0 && mx < qr.width && my < qr.width && qr.at(mx, my);
      picture += static_cast<char>(dark ? 0 : 255);
    }
  return picture;
}

TEST(QrPairing, AFreshInvitationThatACameraReads) {
  PairingInvitation first = NewPairingInvitation(), second = NewPairingInvitation();
  EXPECT_TRUE(std::regex_match(first.name, std::regex("vantaro-[A-Za-z0-9]{10}"))) << first.name;
  EXPECT_TRUE(std::regex_match(first.password, std::regex("[A-Za-z0-9]{12}"))) << first.password;
  EXPECT_NE(first.name, second.name);
  EXPECT_NE(first.password, second.password);
  EXPECT_EQ(first.QrText(), "WIFI:T:ADB;S:" + first.name + ";P:" + first.password + ";;");

  QrMatrix qr = EncodeQr(first.QrText());
  ASSERT_GE(qr.width, 21);
  ASSERT_EQ(qr.dark.size(), static_cast<size_t>(qr.width) * qr.width);
  // A Linux program: the Windows build's GUI test reads the dialog's code.
  const std::string zbarimg = "/usr/bin/zbarimg";
  if (test::PathSeparator() != '/') return;
  ASSERT_TRUE(IsExistingFile(zbarimg)) << "scripts/setup installs zbar-tools";
  test::TempFolder folder("qr");
  test::WriteFile(folder.path() + "code.pgm", QrPicture(qr, 3));
  ASSERT_EQ(test::RunForExitCode(zbarimg + " --quiet --raw " + folder.path() + "code.pgm", folder.path() + "out"), 0);
  // zbarimg may note first that it has no system bus; its answer is the last line.
  std::string out = test::ReadFile(folder.path() + "out");
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), first.QrText() + "\n") << out;
}

TEST(QrPairing, FindsTheInvitedPhonePairsAndConnects) {
  PairingInvitation invitation{"vantaro-AbCdEfGhIj", "Passw0rdAbCd"};
  test::FakeAdb adb("match mdns services\nout List of discovered mdns services\\n"
                    "vantaro-Other00000\\t_adb-tls-pairing._tcp.\\t192.168.1.9:40000\\n"
                    "vantaro-AbCdEfGhIj\\t_adb-tls-pairing._tcp.\\t192.168.1.5:41235\\n"
                    "adb-OTHER-Xy\\t_adb-tls-connect._tcp.\\t192.168.1.9:37000\\n"
                    "adb-R58-Ab\\t_adb-tls-connect._tcp.\\t192.168.1.5:37159\\n\n"
                    "match pair 192.168.1.5:41235 Passw0rdAbCd\n"
                    "out Successfully paired to 192.168.1.5:41235 [guid=adb-R58-Ab]\\n\n"
                    "match connect 192.168.1.5:37159\nout connected to 192.168.1.5:37159\\n\n");
  DeviceBridge bridge;
  bridge.adbPath = adb.path();
  std::atomic<bool> stop{false};
  Lines steps;
  WirelessAnswer answer = PairByQr(bridge, invitation, stop, [&steps](const std::string& s) { steps.push_back(s); });
  EXPECT_TRUE(answer.ok);
  EXPECT_EQ(answer.text, std::string(kConnectedText) + "192.168.1.5:37159");
  EXPECT_EQ(steps, (Lines{kQrWaitingText, kQrPairingText, kQrConnectingText}));
  EXPECT_EQ(adb.Log(), (Lines{"mdns services", "pair 192.168.1.5:41235 Passw0rdAbCd", "mdns services",
                              "connect 192.168.1.5:37159"}));

  // Before the phone has scanned the code: it keeps looking until stopped.
  test::FakeAdb waiting("match mdns services\nout List of discovered mdns services\\n\n");
  bridge.adbPath = waiting.path();
  std::thread stopper([&stop] {
    test::SleepMs(1500);
    stop = true;
  });
  answer = PairByQr(bridge, invitation, stop, [](const std::string&) {}, QrPairingPace{200, 1000});
  stopper.join();
  EXPECT_FALSE(answer.ok);
  EXPECT_EQ(answer.text, "");
  Lines log = waiting.Log();
  EXPECT_GE(log.size(), 3u);
  for (const std::string& line : log) EXPECT_EQ(line, "mdns services");
}

}  // namespace
}  // namespace vantaro
