#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "essentials/catalog.h"
#include "install/launch.h"
#include "support.h"

namespace vantaro {
namespace {

// The list as the catalogue fills it; a tick never set is std::nullopt.
class RecordingList : public EssentialsList {
 public:
  void ClearItems() override {
    items.clear();
    ticks.clear();
  }
  void AppendItem(const EssentialsItem& item) override {
    items.push_back(item);
    ticks.push_back(std::nullopt);
  }
  int ItemCount() const override { return static_cast<int>(items.size()); }
  void SetTicked(int item, bool ticked) override { ticks.at(static_cast<size_t>(item)) = ticked; }
  void Repaint() override { repaintedWith = items.size(); }

  // As the list reads it: a row never ticked counts as ticked.
  std::vector<int> TickedRows() const {
    std::vector<int> rows;
    for (size_t i = 0; i < ticks.size(); ++i)
      if (ticks[i].value_or(true)) rows.push_back(static_cast<int>(i));
    return rows;
  }

  std::vector<EssentialsItem> items;
  std::vector<std::optional<bool>> ticks;
  size_t repaintedWith = 0;
};

class Catalog : public ::testing::Test {
 protected:
  std::vector<int> InstalledRows() const {
    std::vector<int> rows;
    for (size_t i = 0; i < list.items.size(); ++i)
      if (list.items[i].installed) rows.push_back(static_cast<int>(i));
    return rows;
  }

  RecordingList list;
  std::vector<std::string> opened;
  EssentialsCatalog catalog{list, "https://www.korvel.example", [this](const std::string& a) { opened.push_back(a); }};
};

TEST_F(Catalog, EmptyListingGivesTwelveRowsNotInstalled) {
  catalog.RebuildCatalog({});
  ASSERT_EQ(list.items.size(), 12u);
  EXPECT_EQ(list.repaintedWith, 12u);
  for (size_t i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    const EssentialsItem& item = list.items[i];
    EXPECT_EQ(item.spec, &kEssentialsRows[i]);
    EXPECT_FALSE(item.installed);
    EXPECT_EQ(item.cells[0], "");
    EXPECT_EQ(item.cells[1], kEssentialsRows[i].title);
    EXPECT_EQ(item.cells[2], "系统工具");
    EXPECT_EQ(item.cells[3], "未安装");
    EXPECT_EQ(item.cells[4], kEssentialsRows[i].sizeText);
    EXPECT_EQ(item.cells[5], kEssentialsRows[i].packageId);
  }
  EXPECT_EQ(list.items[0].cells[5], "com.korvel.Korvel");
  EXPECT_EQ(list.items[9].cells[5], "com.korvel.Torch");
}

TEST_F(Catalog, OnlyExactLinesMarkARowInstalled) {
  // A longer name that begins with row 0's identifier, and row 9's own line
  // with the white space a listing's lines lose when they are read.
  std::vector<std::string> lines = InstalledPackageLines(
      "package:com.android.phone\r\npackage:com.korvel.KorvelPro\r\n  package:com.korvel.Torch \r\n"
      "package:com.korvel.DevInfo.old\r\n");
  catalog.RebuildCatalog(lines);
  EXPECT_EQ(InstalledRows(), std::vector<int>{9});
  EXPECT_EQ(list.items[9].cells[3], "已安装");
  EXPECT_EQ(list.items[0].cells[3], "未安装");

  EXPECT_TRUE(IsInstalled("com.korvel.Korvel", {"package:com.korvel.KorvelPro", "package:com.korvel.Korvel"}));
  EXPECT_FALSE(IsInstalled("com.korvel.Korvel", {"package:com.korvel.korvel", "com.korvel.Korvel"}));
}

TEST_F(Catalog, PresetsTickTheirRowsAndARebuildTicksEveryRowAgain) {
  catalog.RebuildCatalog({});
  EXPECT_EQ(list.TickedRows().size(), 12u) << "new rows count as ticked";

  catalog.ApplyPreset(1);  // "必备组件"
  EXPECT_EQ(list.TickedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
  catalog.ApplyPreset(3);  // "自定义"
  EXPECT_EQ(list.TickedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
  list.SetTicked(7, true);  // the user ticks one more by hand
  catalog.ApplyPreset(3);
  EXPECT_EQ(list.TickedRows(), (std::vector<int>{0, 1, 2, 3, 4, 7}));
  catalog.ApplyPreset(2);  // "仅安装器"
  EXPECT_EQ(list.TickedRows(), (std::vector<int>{0, 1}));
  catalog.ApplyPreset(-1);
  catalog.ApplyPreset(4);
  EXPECT_EQ(list.TickedRows(), (std::vector<int>{0, 1}));
  catalog.ApplyPreset(0);  // "全部功能"
  EXPECT_EQ(list.TickedRows().size(), 12u);

  catalog.ApplyPreset(2);
  catalog.RebuildCatalog({"package:com.korvel.Torch"});
  EXPECT_EQ(list.TickedRows().size(), 12u);
  for (const auto& tick : list.ticks) EXPECT_FALSE(tick.has_value());
}

TEST_F(Catalog, LinksOpenTheRowsPagesAndTheRootOutsideTheCatalogue) {
  catalog.OnLinkClicked(0);
  catalog.OnLinkClicked(5);
  catalog.OnLinkClicked(11);
  catalog.OnLinkClicked(12);
  catalog.OnLinkClicked(-1);
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
// files: the table must fit both.
TEST(CatalogTable, TextsFitTheRowRecordAndIdentifiersAreDistinctPackageNames) {
  std::set<std::string> ids;
  std::set<int> icons;
  for (const EssentialsRowSpec& row : kEssentialsRows) {
    SCOPED_TRACE(row.packageId);
    EXPECT_LE(std::string(row.description).size(), 254u);
    EXPECT_EQ(std::string(row.linkText).size(), 8u) << "four characters are drawn";
    EXPECT_EQ(std::string(row.version).size(), 3u) << "three bytes are drawn";
    EXPECT_GE(row.iconId, 191);
    EXPECT_LE(row.iconId, 203);
    EXPECT_TRUE(IsValidJavaName(row.packageId, false));
    EXPECT_EQ(std::string(row.pagePath).front(), '/');
    ids.insert(row.packageId);
    icons.insert(row.iconId);
  }
  EXPECT_EQ(ids.size(), 12u);
  EXPECT_EQ(icons.size(), 12u);
}

// The build makes a stand-in package file for every row, named after its
// identifier: a zip archive whose one member names the package.
TEST(CatalogTable, TheBuildMakesAStandInPackageForEveryRow) {
  for (const EssentialsRowSpec& row : kEssentialsRows) {
    SCOPED_TRACE(row.packageId);
    std::string bytes = test::ReadFile(test::NativePath(VANTARO_STANDINS_DIR "/") + row.packageId + ".apk");
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    EXPECT_NE(bytes.find(std::string("assets/") + row.packageId + ".txt"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantaro
