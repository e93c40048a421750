// The catalogue without a window. What the dialog shows of it (the rows'
// texts, presets, ticks) is tested on the dialog itself.
#include <gtest/gtest.h>

#include <set>

#include "essentials/catalog.h"
#include "install/launch.h"
#include "support.h"

namespace vantaro {
namespace {

class RecordingList : public EssentialsList {
 public:
  void ClearItems() override { items.clear(); }
  void AppendItem(const EssentialsItem& item) override { items.push_back(item); }
  int ItemCount() const override { return static_cast<int>(items.size()); }
  void SetTicked(int, bool) override {}
  void Repaint() override {}
  std::vector<EssentialsItem> items;
};

TEST(Catalog, OnlyExactLinesMarkARowInstalled) {
  RecordingList list;
  EssentialsCatalog catalog(list, "", nullptr);
  // A longer name that begins with row 0's identifier, one that continues
  // row 11's, and row 9's own line with the white space a listing's lines
  // lose when they are read.
  catalog.RebuildCatalog(InstalledPackageLines(
      "package:com.android.phone\r\npackage:com.korvel.KorvelPro\r\n  package:com.korvel.Torch \r\n"
      "package:com.korvel.DevInfo.old\r\n"));
  ASSERT_EQ(list.items.size(), 12u);
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(list.items[i].installed, i == 9) << i;
    EXPECT_EQ(list.items[i].cells[3], i == 9 ? "已安装" : "未安装") << i;
  }
  EXPECT_TRUE(IsInstalled("com.korvel.Korvel", {"package:com.korvel.KorvelPro", "package:com.korvel.Korvel"}));
  EXPECT_FALSE(IsInstalled("com.korvel.Korvel", {"package:com.korvel.korvel", "com.korvel.Korvel"}));
}

TEST(Catalog, LinksOpenTheRowsPagesAndTheRootOutsideTheCatalogue) {
  RecordingList list;
  std::vector<std::string> opened;
  EssentialsCatalog catalog(list, "https://www.korvel.example", [&](const std::string& a) { opened.push_back(a); });
  for (int row : {0, 5, 11, 12, -1}) catalog.OnLinkClicked(row);
  EXPECT_EQ(opened, (std::vector<std::string>{
                        "https://www.korvel.example/korvel/download/23.html",
                        "https://www.korvel.example/korvel/plugins/startdesk/",
                        "https://www.korvel.example/korvel/plugins/devinfo/",
                        "https://www.korvel.example/",
                        "https://www.korvel.example/",
                    }));
  EXPECT_EQ(catalog.OverviewAddress(), "https://www.korvel.example/korvel/");
}

// The row records hold the texts in fixed fields, and the identifiers name
// files: the table must fit both. The build makes a stand-in package file
// for every row, a zip archive whose one member names the package.
TEST(Catalog, TheTableFitsTheRowRecordAndEveryRowHasItsStandIn) {
  std::set<std::string> ids;
  std::set<int> icons;
  for (const EssentialsRowSpec& row : kEssentialsRows) {
    SCOPED_TRACE(row.packageId);
    EXPECT_LE(std::string(row.description).size(), 254u);
    EXPECT_EQ(std::string(row.linkText).size(), 8u) << "four characters are drawn";
    EXPECT_EQ(std::string(row.version).size(), 3u) << "three bytes are drawn";
    EXPECT_TRUE(row.iconId >= 191 && row.iconId <= 203);
    EXPECT_TRUE(IsValidJavaName(row.packageId, false));
    ids.insert(row.packageId);
    icons.insert(row.iconId);

    std::string bytes = test::ReadFile(test::NativePath(VANTARO_STANDINS_DIR "/") + row.packageId + ".apk");
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    EXPECT_NE(bytes.find(std::string("assets/") + row.packageId + ".txt"), std::string::npos);
  }
  EXPECT_EQ(ids.size(), 12u);
  EXPECT_EQ(icons.size(), 12u);
}

}  // namespace
}  // namespace vantaro
