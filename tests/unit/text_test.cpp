#include <gtest/gtest.h>

#include "base/text.h"
#include "package/file_size.h"

namespace vantaro {
namespace {

TEST(Text, ChineseRoundTripsThroughGbk) {
  std::string gbk = "演示程序";  // GBK bytes: the literal is compiled to code page 936
  ASSERT_EQ(gbk.size(), 8u);
  EXPECT_EQ(gbkToWide(gbk), u"演示程序");
  EXPECT_EQ(wideToGbk(u"演示程序"), gbk);
  EXPECT_EQ(utf8ToGbk("\xE6\xBC\x94\xE7\xA4\xBA"), "演示");
  EXPECT_EQ(gbkToUtf8("演示"), "\xE6\xBC\x94\xE7\xA4\xBA");
}

TEST(Text, CharactersGbkLacksBecomeOneQuestionMarkEach) {
  EXPECT_EQ(wideToGbk(u"a\u0E01b"), "a?b");            // Thai
  EXPECT_EQ(wideToGbk(u"x\U0001F600y"), "x?y");        // outside the BMP: one mark per character
  EXPECT_EQ(wideToGbk(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");  // lone surrogate
  EXPECT_EQ(wideToGbk(u"中\u0E01文"), "中?文");
}

TEST(Text, Utf8DecodingReplacesInvalidSequences) {
  EXPECT_EQ(utf8ToWide("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong
  EXPECT_EQ(utf8ToWide("\xE4\xB8"), u"\uFFFD\uFFFD");          // cut short
  EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(utf8ToWide("\xED\xA0\x80"), std::u16string(1, char16_t(0xD800)));  // CESU-style surrogate
  EXPECT_EQ(wideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Text, PathsKeepWhatGbkLacksAndComeBackUnchanged) {
  // A name GBK has is plain GBK; one it lacks survives the trip both ways.
  EXPECT_EQ(wideToGbkPath(u"C:\\用户\\a.apk"), wideToGbk(u"C:\\用户\\a.apk"));
  for (std::u16string name : {std::u16string(u"C:\\Users\\J\u00F6rg\\Temp\\"), std::u16string(u"\u0E01\U0001F600.apk"),
                              std::u16string(u"\uE000\uE001x"),  // user-defined characters, themselves escape units
                              std::u16string(u"a") + char16_t(0xD800) + u"b"}) {
    std::string gbk = wideToGbkPath(name);
    EXPECT_EQ(gbk.find('?'), std::string::npos);
    EXPECT_EQ(gbkToWide(gbk), name);
  }
  std::string jorg = wideToGbkPath(u"J\u00F6rg.apk");
  EXPECT_TRUE(equalsNoCase(jorg.substr(jorg.size() - 4), ".APK"));
  // Linux names are bytes: UTF-8 and stray bytes both come back exactly.
  for (std::string bytes : {std::string("/tmp/J\xC3\xB6rg.apk"), std::string("/tmp/\xFF\xC3(\xE6\xBC\x94.apk")}) {
    EXPECT_EQ(gbkPathToNativeBytes(nativeToGbkPath(bytes)), bytes);
  }
  EXPECT_EQ(gbkToUtf8(nativeToGbkPath("J\xC3\xB6rg\xE6\xBC\x94")), "J\xC3\xB6rg\xE6\xBC\x94");
  EXPECT_EQ(nativeToGbkPath("\xE6\xBC\x94"), "演");
}

TEST(Text, CaseInsensitiveComparisonFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(equalsNoCase("Game.APK", "game.apk"));
  EXPECT_TRUE(equalsNoCase("ANDROIDMANIFEST.XML", "AndroidManifest.xml"));
  EXPECT_FALSE(equalsNoCase("a.apk", "a.apk "));
  // Trail bytes of double-byte characters may be ASCII letters: 0x81 0x41
  // and 0x81 0x61 are two different characters and must not fold together.
  EXPECT_FALSE(equalsNoCase("\x81\x41", "\x81\x61"));
  EXPECT_TRUE(equalsNoCase("应用.APK", "应用.apk"));
  EXPECT_LT(compareNoCase("abc", "ABD"), 0);
  EXPECT_GT(compareNoCase("abcd", "ABC"), 0);
  // A trail byte may also be a backslash: 0x81 0x5C is one character of a
  // file name, no separator.
  EXPECT_EQ(gbkFileName("D:\\包/a\\\x81\x5C.apk"), "\x81\x5C.apk");
  EXPECT_EQ(gbkFileName("demo.apk"), "demo.apk");
}

TEST(FileSize, RendersLikeTheShell) {
  EXPECT_EQ(formatFileSize(532), "532 字节");
  EXPECT_EQ(formatFileSize(1340), "1.30 KB");
  EXPECT_EQ(formatFileSize(23506), "22.9 KB");
  EXPECT_EQ(formatFileSize(2400016), "2.28 MB");
  EXPECT_EQ(formatFileSize(2400000000LL), "2.23 GB");
  EXPECT_EQ(formatFileSize(3LL << 30), "3.00 GB");  // beyond 32 bits
}

}  // namespace
}  // namespace vantaro
