#include <gtest/gtest.h>

#include "chunk_builder.h"
#include "package/package_info.h"
#include "package/resource_table.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::TableBuilder;
using test::TableConfig;

constexpr uint8_t kDrawable = 2, kString = 3, kColor = 4;

// A package info as the manifest analysis leaves it: label @0x7f030000,
// version @0x7f030002, icon @0x7f020001.
PackageInfo referencing() {
  PackageInfo info;
  info.labelIsRef = true;
  info.labelPackage = info.versionPackage = info.iconPackage = 0x7F;
  info.labelType = kString;
  info.labelEntry = 0;
  info.versionIsRef = true;
  info.versionType = kString;
  info.versionEntry = 2;
  info.iconType = kDrawable;
  info.iconEntry = 1;
  return info;
}

PackageInfo read(const Bytes& table, PackageInfo info = referencing()) {
  readResourceTable(table.data(), table.size(), info);
  return info;
}

TEST(ResourceTable, ResolvesLabelVersionAndIcon) {
  for (bool utf8 : {true, false}) {
    TableBuilder t;
    t.utf8 = utf8;
    t.add(TableBuilder::typeSpec(kDrawable, 2));
    t.add(TableBuilder::type(kDrawable, 2, {"", "", 160}, {{1, 0x03, t.str("res/drawable-mdpi/icon.png")}}));
    t.add(TableBuilder::type(kDrawable, 2, {"", "", 240}, {{1, 0x03, t.str("res/drawable-hdpi/icon.png")}}));
    t.add(TableBuilder::typeSpec(kString, 3));
    t.add(TableBuilder::type(kString, 3, {}, {{0, 0x03, t.str("Demo & Co")}, {2, 0x03, t.str("1.2.3")}}));
    PackageInfo info = read(t.build());
    EXPECT_EQ(info.labelTypeTable.text(0), "Demo & Co") << "utf8=" << utf8;
    EXPECT_EQ(info.versionTypeTable.text(2), "1.2.3");
    EXPECT_EQ(info.iconTypeTable.lastDefined(1), "res/drawable-hdpi/icon.png");
    EXPECT_EQ(info.labelTypeTable.text(1), "");          // in the table, defined nowhere
    EXPECT_EQ(info.labelTypeTable.text(3), std::nullopt);  // outside the table
  }
}

TEST(ResourceTable, PrefersSimplifiedChineseThenTheDefault) {
  auto labelWith = [](std::vector<std::pair<TableConfig, std::string>> configs) {
    TableBuilder t;
    t.add(TableBuilder::typeSpec(kString, 1));
    for (auto& [config, text] : configs) t.add(TableBuilder::type(kString, 1, config, {{0, 0x03, t.str(text)}}));
    return read(t.build()).labelTypeTable.text(0);
  };
  using test::u8s;
  EXPECT_EQ(labelWith({{{}, "Demo"}, {{"zh", "CN"}, u8s(u8"演示")}}), "演示");
  EXPECT_EQ(labelWith({{{"zh", "CN"}, u8s(u8"演示")}, {{}, "Demo"}}), "演示");
  EXPECT_EQ(labelWith({{{}, "Demo"}, {{"zh", ""}, u8s(u8"演示")}, {{"zh", "TW"}, u8s(u8"演示繁")}}), "演示");
  EXPECT_EQ(labelWith({{{}, "Demo"}, {{"fr", ""}, "Demo-fr"}, {{"zu", ""}, "Idemo"}}), "Demo");
  EXPECT_EQ(labelWith({{{"fr", ""}, "Demo-fr"}, {{"zu", ""}, "Idemo"}}), "Idemo");  // none better: the last
}

TEST(ResourceTable, OrdersIconCandidatesByDensity) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kDrawable, 2));
  t.add(TableBuilder::type(kDrawable, 2, {"", "", 0xFFFE}, {{1, 0x03, t.str("res/mipmap-anydpi-v26/ic.xml")}}));
  t.add(TableBuilder::type(kDrawable, 2, {"", "", 240}, {{1, 0x03, t.str("res/mipmap-hdpi/ic.png")}}));
  t.add(TableBuilder::type(kDrawable, 2, {"", "", 320}, {{1, 0x03, t.str("res/mipmap-xhdpi/ic.png")}}));
  t.add(TableBuilder::type(kDrawable, 2, {"", "", 0}, {{1, 0x03, t.str("res/mipmap/ic.png")}}));
  PackageInfo info = read(t.build());
  EXPECT_EQ(info.iconTypeTable.lastDefined(1), "res/mipmap/ic.png");
  EXPECT_EQ(info.iconTypeTable.byDensity(1),
            (std::vector<std::string>{"res/mipmap-xhdpi/ic.png", "res/mipmap-hdpi/ic.png", "res/mipmap/ic.png",
                                      "res/mipmap-anydpi-v26/ic.xml"}));
}

TEST(ResourceTable, FindsEntriesThroughTheirOffsets) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 4));
  // A complex (map) entry ahead of the label must not shift it.
  t.add(TableBuilder::type(kString, 4, {}, {{1, 0x03, 0, true}, {0, 0x03, t.str("Label")}, {2, 0x03, t.str("9.9")}}));
  PackageInfo info = read(t.build());
  EXPECT_EQ(info.labelTypeTable.text(0), "Label");
  EXPECT_EQ(info.versionTypeTable.text(2), "9.9");

  TableBuilder sparse;
  sparse.add(TableBuilder::typeSpec(kString, 400));
  sparse.add(TableBuilder::type(kString, 400, {}, {{0, 0x03, sparse.str("Sparse")}, {2, 0x03, sparse.str("2.0")}}, 0x01));
  EXPECT_EQ(read(sparse.build()).labelTypeTable.text(0), "Sparse");
  EXPECT_EQ(read(sparse.build()).versionTypeTable.text(2), "2.0");

  TableBuilder short16;
  short16.add(TableBuilder::typeSpec(kString, 3));
  short16.add(TableBuilder::type(kString, 3, {}, {{2, 0x03, short16.str("3.0")}, {0, 0x03, short16.str("Short")}}, 0x02));
  EXPECT_EQ(read(short16.build()).labelTypeTable.text(0), "Short");
}

TEST(ResourceTable, TakesOnlyStringValues) {
  TableBuilder t;
  t.str("not a path");
  t.add(TableBuilder::typeSpec(kDrawable, 2));
  t.add(TableBuilder::type(kDrawable, 2, {}, {{1, 0x1C, 0}}));  // a colour whose data is 0
  PackageInfo info = read(t.build());
  EXPECT_EQ(info.iconTypeTable.lastDefined(1), "");
}

TEST(ResourceTable, VersionNameResolvesThroughItsOwnType) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 1));
  t.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, t.str("Label")}}));
  t.add(TableBuilder::typeSpec(kColor, 3));
  t.add(TableBuilder::type(kColor, 3, {}, {{2, 0x03, t.str("7.0-beta")}}));
  PackageInfo info = referencing();
  info.versionType = kColor;
  info = read(t.build(), info);
  EXPECT_EQ(info.versionTypeTable.text(2), "7.0-beta");
  EXPECT_EQ(info.labelTypeTable.text(0), "Label");
}

TEST(ResourceTable, SameTypeForLabelAndIconFillsBoth) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 2));
  t.add(TableBuilder::type(kString, 2, {}, {{0, 0x03, t.str("Label")}, {1, 0x03, t.str("res/i.png")}}));
  PackageInfo info = referencing();
  info.iconType = kString;
  info = read(t.build(), info);
  EXPECT_EQ(info.labelTypeTable.text(0), "Label");
  EXPECT_EQ(info.iconTypeTable.lastDefined(1), "res/i.png");
}

TEST(ResourceTable, FindsTheApplicationPackageAmongOthers) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 1));
  t.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, t.str("App")}}));
  TableBuilder library = t;
  library.packageChunks.clear();
  library.add(TableBuilder::typeSpec(kString, 1));
  library.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, t.str("Library")}}));
  // Languages: the application's zh and fr, the library's fr and de, once each.
  const Bytes plain = t.packageChunks;
  t.add(TableBuilder::type(kString, 1, {"zh", "CN"}, {{0, 0x03, t.str("App-zh")}}));
  t.add(TableBuilder::type(kString, 1, {"fr", ""}, {{0, 0x03, t.str("App-fr")}}));
  library.add(TableBuilder::type(kString, 1, {"fr", ""}, {{0, 0x03, t.str("Library-fr")}}));
  library.add(TableBuilder::type(kString, 1, {"de", ""}, {{0, 0x03, t.str("Library-de")}}));
  t.before = library.package(0x02);
  PackageInfo both = read(t.build());
  EXPECT_EQ(both.labelTypeTable.text(0), "App-zh");
  EXPECT_EQ(both.compat.languages, 3);
  t.packageChunks = plain;

  t.packageHeaderSize = 284;  // older tools write the shorter header
  EXPECT_EQ(read(t.build()).labelTypeTable.text(0), "App");
  t.packageHeaderSize = 280;  // too short to be a package
  EXPECT_EQ(read(t.build()).labelTypeTable.text(0), std::nullopt);

  TableBuilder other = t;
  other.packageHeaderSize = 288;
  other.packageId = 0x7E;
  other.before.clear();
  EXPECT_EQ(read(other.build()).labelTypeTable.text(0), std::nullopt);
}

TEST(ResourceTable, EachReferenceLooksInThePackageItNames) {
  // A framework-like package 0x01 ahead of the application's 0x7f, each with
  // a label at the same type and entry.
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 1));
  t.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, t.str("App")}}));
  TableBuilder framework = t;
  framework.packageChunks.clear();
  framework.add(TableBuilder::typeSpec(kString, 1));
  framework.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, t.str("System")}}));
  t.before = framework.package(0x01);
  PackageInfo info = referencing();
  info.labelPackage = 0x01;
  info = read(t.build(), info);
  EXPECT_EQ(info.labelTypeTable.text(0), "System");
  EXPECT_EQ(info.versionTypeTable.text(2), std::nullopt);  // 0x7f has no entry 2
  // A shared library's reference (package 0x00) names the table's only
  // package, whatever its id; with two packages it names neither.
  PackageInfo library = referencing();
  library.labelPackage = 0x00;
  EXPECT_EQ(read(t.build(), library).labelTypeTable.text(0), std::nullopt);
  TableBuilder alone = framework;
  alone.strings = t.strings;  // the global pool holds "System"
  alone.packageId = 0x00;
  EXPECT_EQ(read(alone.build(), library).labelTypeTable.text(0), "System");
  alone.packageId = 0x7F;
  EXPECT_EQ(read(alone.build(), library).labelTypeTable.text(0), "System");
  // A package id present nowhere resolves nothing.
  PackageInfo overlay = referencing();
  overlay.labelPackage = 0x02;
  EXPECT_EQ(read(t.build(), overlay).labelTypeTable.text(0), std::nullopt);
}

TEST(ResourceTable, DamagedTablesKeepWhatWasRead) {
  TableBuilder t;
  t.add(TableBuilder::typeSpec(kString, 3));
  t.add(TableBuilder::type(kString, 3, {}, {{0, 0x03, t.str("Label")}, {2, 0x03, t.str("1.0")}}));
  t.add(TableBuilder::typeSpec(kDrawable, 2));
  t.add(TableBuilder::type(kDrawable, 2, {}, {{1, 0x03, t.str("res/i.png")}}));
  Bytes good = t.build();
  // Every truncation: no crash, and whatever resolves is right.
  for (size_t n = 0; n < good.size(); ++n) {
    PackageInfo info = referencing();
    readResourceTable(good.data(), n, info);
    auto label = info.labelTypeTable.text(0);
    if (label) {
      EXPECT_TRUE(*label == "Label" || label->empty()) << n;
    }
  }
  // A string index beyond the pool.
  TableBuilder bad;
  bad.add(TableBuilder::typeSpec(kString, 1));
  bad.add(TableBuilder::type(kString, 1, {}, {{0, 0x03, 4000}}));
  EXPECT_EQ(read(bad.build()).labelTypeTable.text(0), "");
  // Hostile counts in a type chunk.
  TableBuilder hostile;
  hostile.add(TableBuilder::typeSpec(kString, 1));
  Bytes type = TableBuilder::type(kString, 1, {}, {{0, 0x03, hostile.str("x")}});
  test::set32(type, 12, 0xFFFFFFFF);  // entry count
  test::set32(type, 16, 0xFFFFFFF0);  // entries start
  hostile.add(type);
  EXPECT_EQ(read(hostile.build()).labelTypeTable.text(0), "");
  EXPECT_EQ(read(Bytes{}).labelTypeTable.text(0), std::nullopt);
}

}  // namespace
}  // namespace vantaro
