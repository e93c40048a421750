#include <gtest/gtest.h>

#include "base/text.h"
#include "device/command_line.h"
#include "device/devices.h"

namespace vantaro {
namespace {

using Serials = std::vector<std::string>;

TEST(DeviceListing, KeepsReadyDevicesOnly) {
  EXPECT_EQ(ParseDeviceListing("List of devices attached\n0123456789ABCDEF\tdevice\n\n"), Serials{"0123456789ABCDEF"});
  // Windows adb ends its lines with CR; neither CR nor tab stays in a serial.
  EXPECT_EQ(ParseDeviceListing("List of devices attached \r\nA1\tdevice\r\nB2\toffline\r\nC3\tunauthorized\r\nD4\tdevice\r\n\r\n"),
            (Serials{"A1", "D4"}));
  // The daemon's start-up lines come first; the empty line ends the listing.
  EXPECT_EQ(ParseDeviceListing("* daemon not running; starting now at tcp:5037\n* daemon started successfully\n"
                               "List of devices attached\nemulator-5554\tdevice\n\nX9\tdevice\n"),
            Serials{"emulator-5554"});
  EXPECT_EQ(ParseDeviceListing("mydevice42\tdevice\n"), Serials{"my42"});
  EXPECT_TRUE(ParseDeviceListing("").empty());
  // Serials that could carry arguments of their own onto adb's command line.
  EXPECT_EQ(ParseDeviceListing("a\"b\tdevice\nx\t-s y\tdevice\n192.168.1.5:5555\tdevice\n"), Serials{"192.168.1.5:5555"});
  EXPECT_TRUE(ParseDeviceListing("error: no devices/emulators found\n").empty());
}

TEST(PropertyListing, ReadsBracketedValues) {
  DeviceRecord r;
  ParsePropertyListing("[ro.build.version.sdk]: [8]\n[ro.product.model]: [Nexus One]\r\n"
                       "[ro.product.manufacturer]: [HTC]\n",
                       r);
  CompleteDeviceRecord(r);
  EXPECT_EQ(r.sdkLevel, 8);
  EXPECT_EQ(r.releaseName, "Android 2.2");
  EXPECT_EQ(r.model, "Nexus One");
  EXPECT_EQ(r.brandLogo, 212);
  EXPECT_EQ(DeviceHardwareText(r), "HTC [ Nexus One ]");
  EXPECT_EQ(DeviceApiLevelText(r), "API Level 8");

  // Missing properties and lines without a bracket pair leave values alone.
  ParsePropertyListing("ro.product.model: none\nx] [ro.product.model\n[gsm.operator]: [x]\n", r);
  EXPECT_EQ(r.model, "Nexus One");
  ParsePropertyListing("[ro.product.model]: [first]\n[ro.product.model]: [second]\n", r);
  EXPECT_EQ(r.model, "second");
}

TEST(PropertyListing, LeadingIntegers) {
  EXPECT_EQ(ParseLeadingInt("8"), 8);
  EXPECT_EQ(ParseLeadingInt("  -12abc"), -12);
  EXPECT_EQ(ParseLeadingInt("+7"), 7);
  EXPECT_EQ(ParseLeadingInt("REL"), 0);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(Brands, LogosAndDisplayTexts) {
  EXPECT_EQ(BrandTable("Motorola"), 216);
  EXPECT_EQ(DisplayMaker("Motorola"), "Motorola");
  EXPECT_EQ(DisplayMaker("motorola"), "摩托罗拉");
  EXPECT_EQ(DisplayMaker("meizu motorola"), "魅族 motorola");
  EXPECT_EQ(BrandTable("HTC"), 212);
  EXPECT_EQ(BrandTable("Xiaomi"), kDefaultBrandLogo);
  EXPECT_EQ(BrandTable("acer-motorola"), 207);  // first row that occurs
  EXPECT_EQ(DisplayModel("meizu_m9"), "m9");
  // A GBK character whose trail byte reads as "H", then "TC", is no HTC.
  EXPECT_EQ(BrandTable("\xB0\x48TC"), kDefaultBrandLogo);
}

TEST(CommandLine, ToolPathAlwaysQuotedAndArgumentsQuotedOnlyWhenNeeded) {
  EXPECT_EQ(ToolCommand("C:\\Program Files\\Vantaro\\adb.exe", {"-s", "SER", "install", "-r", "C:\\Temp\\1.apk"}),
            "\"C:\\Program Files\\Vantaro\\adb.exe\" -s SER install -r C:\\Temp\\1.apk");
  EXPECT_EQ(ToolCommand("/usr/bin/adb", {"devices"}), "\"/usr/bin/adb\" devices");
  EXPECT_EQ(ToolCommand("/opt/x/adb", {"install", "/tmp/a b/1.apk", ""}), "\"/opt/x/adb\" install \"/tmp/a b/1.apk\" \"\"");
  // Backslashes count only before a quote: there they are doubled.
  EXPECT_EQ(QuoteArgument("C:\\dir with space\\"), "\"C:\\dir with space\\\\\"");
  EXPECT_EQ(QuoteArgument("say \\\"hi\""), "\"say \\\\\\\"hi\\\"\"");
  EXPECT_EQ(QuoteArgument("C:\\a\\b.apk"), "C:\\a\\b.apk");
  // No tool, or one a command line cannot name: nothing to run.
  EXPECT_EQ(ToolCommand("", {"devices"}), "");
  EXPECT_EQ(ToolCommand("C:\\a\"b\\adb.exe", {"devices"}), "");
}

TEST(CommandLine, EveryArgumentComesBackAsItWasMeant) {
  using Args = std::vector<std::string>;
  const std::string tool = "C:\\Program Files\\Vantaro\\adb.exe";
  const std::string cases[] = {
      "plain", "", "a b", "tab\there", "\"", "quote\"inside", "trailing\\", "C:\\dir with space\\", "two\\\\",
      "back\\\\\"slash \\\"", "\\\\server\\share\\x y", "  ", "\xD6\xD0\xCE\xC4 \xC2\xB7\xBE\xB6",  // 中文 路径
      // GBK characters whose second byte is 0x5C, a backslash on its own: at
      // the end of a quoted argument and before a quote.
      "\xD6\xD0 \x95\x5C", "\xB1\x5C\"x", "a \xC7\x5C\\",
      // A path with a character GBK lacks, kept as an escape.
      wideToGbkPath(u"C:\\Users\\J\u00F6rg H\\AppData\\"),
  };
  for (const std::string& meant : cases) {
    std::string line = ToolCommand(tool, {"-s", "SER1", meant, "last"});
    EXPECT_EQ(SplitCommandLine(line), (Args{tool, "-s", "SER1", meant, "last"})) << line;
  }
  // The splitter itself, on lines no builder wrote.
  EXPECT_EQ(SplitCommandLine("adb -s X\tinstall \"/a b/1.apk\""), (Args{"adb", "-s", "X", "install", "/a b/1.apk"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\"b c" d\"e f\g)"), (Args{"p", R"(a\b c)", R"(d"e)", R"(f\g)"}));
  // The program element knows no escapes, and an unquoted one ends at a space.
  EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" x"), (Args{"C:\\dir\\", "x"}));
  EXPECT_EQ(SplitCommandLine("C:\\Program Files\\adb.exe devices"), (Args{"C:\\Program", "Files\\adb.exe", "devices"}));
  EXPECT_TRUE(SplitCommandLine("  \t ").empty());
}

TEST(CommandLine, ShellWords) {
  EXPECT_EQ(ShellWord("org.example/.Outer$Inner"), "'org.example/.Outer$Inner'");
  EXPECT_EQ(ShellWord("a b;c*"), "'a b;c*'");
  for (const char* refused : {"", "it's", "a\nb", "a\rb", "a\tb", "\x7F"}) EXPECT_EQ(ShellWord(refused), "") << refused;
}

}  // namespace
}  // namespace vantaro
