#include <gtest/gtest.h>

#include "chunk_builder.h"
#include "package/binary_xml.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::XmlBuilder;

std::optional<std::string> decode(const Bytes& b) { return decodeBinaryXml(b.data(), b.size()); }

// The usual manifest: versionCode 3, versionName 1.2, a uses-sdk and an
// application holding one activity.
XmlBuilder exampleManifest(bool utf8 = false) {
  XmlBuilder x;
  x.utf8 = utf8;
  x.startNamespace();
  x.startElement("manifest", {{"versionCode", 0x10, 3}, x.string("versionName", "1.2"),
                              x.string("package", "com.example.demo")});
  x.startElement("uses-sdk", {{"minSdkVersion", 0x10, 7}});
  x.endElement("uses-sdk");
  x.startElement("application", {{"label", 0x01, 0x7F040000}, {"icon", 0x01, 0x7F020000}});
  x.startElement("activity", {x.string("name", ".Main")});
  x.endElement("activity");
  x.endElement("application");
  x.endElement("manifest");
  x.endNamespace();
  return x;
}

const char* const kExampleText =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<manifest versionCode=\"3\" versionName=\"1.2\" package=\"com.example.demo\">\n"
    "<uses-sdk minSdkVersion=\"7\">\n"
    "</uses-sdk><application label=\"@0x7f040000\" icon=\"@0x7f020000\">\n"
    "<activity name=\".Main\">\n"
    "</activity></application></manifest>";

TEST(BinaryXml, DecodesAManifestLineByLine) {
  EXPECT_EQ(decode(exampleManifest().build()), kExampleText);
}

TEST(BinaryXml, Utf8PoolsDecodeLikeUtf16Pools) {
  EXPECT_EQ(decode(exampleManifest(true).build()), kExampleText);
}

TEST(BinaryXml, PrintsReferencesIntegersBooleansAndStrings) {
  XmlBuilder x;
  x.startNamespace();
  x.startElement("e", {{"ref", 0x01, 0x01080000},
                       {"neg", 0x10, 0xFFFFFFFF},
                       {"flag", 0x12, 0xFFFFFFFF},   // boolean
                       {"hex", 0x11, 0x10},          // hexadecimal integer
                       {"color", 0x1C, 0xFF00FF00},
                       {"odd", 0x10, 5, 12},         // value size not 8
                       {"res", 0x10, 5, 8, 1},       // reserved byte set
                       x.string("text", "A & <b> \"q\"")});
  x.endElement("e");
  x.startElement("empty", {});
  x.text("x<y & z");
  x.endElement("empty");
  x.endNamespace();
  EXPECT_EQ(decode(x.build()),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<e ref=\"@0x1080000\" neg=\"-1\" flag=\"true\" hex=\"0x00000010\" color=\"\" odd=\"\" res=\"\" "
            "text=\"A &amp; &lt;b&gt; &quot;q&quot;\">\n</e><empty>\nx&lt;y &amp; z</empty>");
}

TEST(BinaryXml, ConvertsStringsToGbkWithQuestionMarksForTheRest) {
  XmlBuilder x;
  x.startNamespace();
  x.startElement("application", {x.string("label", test::u8s(u8"演示 \u0E01"))});  // Thai is not in GBK
  x.endElement("application");
  x.endNamespace();
  auto text = decode(x.build());
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("<application label=\"演示 ?\">"), std::string::npos) << *text;
}

TEST(BinaryXml, LongStringsUseTheTwoUnitLengthForms) {
  for (bool utf8 : {false, true}) {
    // Beyond the one-unit UTF-16 length (0x7FFF), and the one-byte UTF-8 ones (0x7F).
    std::string longText(utf8 ? 0x5000 : 0x9000, 'a');
    XmlBuilder x;
    x.utf8 = utf8;
    x.startNamespace();
    x.startElement("m", {x.string("v", longText), x.string("w", std::string(200, 'b'))});
    x.endElement("m");
    x.endNamespace();
    auto text = decode(x.build());
    ASSERT_TRUE(text) << "utf8=" << utf8;
    EXPECT_NE(text->find("v=\"" + longText + "\" w=\"" + std::string(200, 'b') + "\""), std::string::npos);
  }
}

TEST(BinaryXml, FollowsChunkSizesAndShiftedAttributes) {
  XmlBuilder x;
  x.attributeStart = 24;  // packers move the attributes and widen them
  x.attributeSize = 28;
  x.startNamespace();
  x.raw(test::chunk(0x0777, {}, Bytes(32, 0x41)));  // an unknown chunk of 40 bytes
  x.startElement("manifest", {x.string("package", "p"), {"versionCode", 0x10, 9}});
  x.raw(test::chunk(0x0102 + 0x20, Bytes(8, 0), Bytes(16, 0)));  // unknown node type
  x.endElement("manifest");
  x.endNamespace();
  EXPECT_EQ(decode(x.build()),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<manifest package=\"p\" versionCode=\"9\">\n</manifest>");
}

TEST(BinaryXml, KnownResourceIdsGiveCanonicalAttributeNames) {
  XmlBuilder x;
  // Pool strings 0 and 1 are attribute names hidden by a packer; the map
  // gives their framework ids. "package" has no id and keeps its name.
  x.str("zz");
  x.str("");
  x.resourceIds = {0x0101021c, 0x01010003};
  x.startNamespace();
  x.startElement("manifest", {{"zz", 0x03, x.str("2.0")}, {"package", 0x03, x.str("com.p")}});
  x.startElement("activity", {{"", 0x03, x.str(".A")}, {"a b", 0x10, 1}});
  x.endElement("activity");
  x.endElement("manifest");
  x.endNamespace();
  EXPECT_EQ(decode(x.build()),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<manifest versionName=\"2.0\" package=\"com.p\">\n"
            "<activity name=\".A\" _=\"1\">\n</activity></manifest>");
}

TEST(BinaryXml, DamagedDocumentsFailWithoutReadingPastTheData) {
  Bytes good = exampleManifest().build();
  ASSERT_TRUE(decode(good));
  // Every truncation fails (the end namespace is the last chunk).
  for (size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_FALSE(decode(cut)) << "length " << n;
  }

  XmlBuilder badIndex;
  badIndex.startNamespace();
  badIndex.startElement("m", {{"v", 0x03, 999}});
  badIndex.endElement("m");
  badIndex.endNamespace();
  EXPECT_FALSE(decode(badIndex.build()));

  XmlBuilder noEnd;
  noEnd.startNamespace();
  noEnd.startElement("m", {});
  noEnd.endElement("m");
  EXPECT_FALSE(decode(noEnd.build()));

  Bytes hostileCount = good;
  test::set32(hostileCount, 8 + 8, 0xFFFFFFF0);  // pool string count
  EXPECT_FALSE(decode(hostileCount));

  Bytes hostileSize = good;
  test::set32(hostileSize, 8 + 4, 0x7FFFFFF0);  // pool chunk size
  EXPECT_FALSE(decode(hostileSize));

  XmlBuilder manyAttributes = exampleManifest();
  Bytes many = manyAttributes.build();
  // Attribute count of the manifest element far beyond its chunk.
  size_t at = many.size() - manyAttributes.body.size();
  at += 24;  // start namespace chunk
  test::set16(many, at + 16 + 12, 0xFFFF);
  EXPECT_FALSE(decode(many));

  EXPECT_FALSE(decodeBinaryXml(nullptr, 0));
  Bytes tiny{3, 0, 8, 0};
  EXPECT_FALSE(decode(tiny));
}

TEST(BinaryXml, RepeatedLongStringsCannotInflateWithoutBound) {
  XmlBuilder x;
  std::string big(60000, 'x');
  x.startNamespace();
  std::vector<test::XmlAttribute> attrs(2000, x.string("a", big));  // 120 MB of text
  x.startElement("m", attrs);
  x.endElement("m");
  x.endNamespace();
  EXPECT_FALSE(decode(x.build()));
}

}  // namespace
}  // namespace vantaro
