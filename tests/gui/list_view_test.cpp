// The skinned list views: row and header heights, what a row puts on a
// device context with and without its record, and the essentials list's
// link, check box and cursor.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui_support.h"
#include "res/resource.h"
#include "skin/images.h"
#include "skin/list_view.h"

namespace vantaro {
namespace {

using guitest::HostWindow;
using guitest::ResourcePixels;
using guitest::Surface;

constexpr COLORREF kSentinel = RGB(123, 231, 77);
constexpr COLORREF kWhite = RGB(255, 255, 255);

void insertColumns(HWND list, std::initializer_list<int> widths) {
  int i = 0;
  for (int width : widths) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(L"\u54c1\u724c\u4fe1\u606f");
    SendMessageW(list, LVM_INSERTCOLUMNW, i++, reinterpret_cast<LPARAM>(&column));
  }
}

void addItem(HWND list, std::initializer_list<const wchar_t*> texts) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<wchar_t*>(L"");
  int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  int column = 0;
  for (const wchar_t* text : texts) {
    item.iSubItem = column++;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  }
}

RECT itemRect(HWND list, int item) {
  RECT r{LVIR_BOUNDS, 0, 0, 0};
  SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
  return r;
}

// Top of a cell's one centred text line (T) in the list's font.
int lineTop(HWND list, const RECT& cell) {
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  return cell.top + (cell.bottom - cell.top - metrics.tmHeight) / 2;
}

// Share of the picture's opaque (non-magenta) pixels found at (x, y).
double pictureShare(const Surface& s, int x, int y, int bitmapId) {
  ResourcePixels picture(bitmapId);
  int opaque = 0, same = 0;
  for (int j = 0; j < picture.size().cy; ++j)
    for (int i = 0; i < picture.size().cx; ++i) {
      COLORREF c = picture.at(i, j);
      if (c == skin::kKeyColour) continue;
      ++opaque;
      if (s.at(x + i, y + j) == c) ++same;
    }
  return opaque ? static_cast<double>(same) / opaque : 0.0;
}

bool anyPixel(const Surface& s, const RECT& area, COLORREF colour) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (s.at(x, y) == colour) return true;
  return false;
}

bool allPixels(const Surface& s, const RECT& area, COLORREF colour) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (s.at(x, y) != colour) return false;
  return true;
}

skin::DeviceRow deviceRow(const char* serial, const char* release, int logo) {
  skin::DeviceRow row{};
  std::strcpy(row.serial, serial);
  std::strcpy(row.releaseName, release);
  row.brandLogo = logo;
  return row;
}

class DeviceListTest : public testing::Test {
 protected:
  DeviceListTest() : host_(520, 260) {
    window_ = host_.addChild(WC_LISTVIEWW, L"", LVS_REPORT | LVS_NOSORTHEADER, {10, 10, 10 + kW, 10 + kH}, 1016);
    EXPECT_TRUE(list_.attach(window_));
    insertColumns(window_, {104, 210, 130});
    guitest::pumpMessages();
  }

  // Item as the list would draw it, onto a surface the size of its client.
  void paint(Surface& s, int item, UINT state) {
    DRAWITEMSTRUCT data{};
    data.CtlType = ODT_LISTVIEW;
    data.CtlID = 1016;
    data.itemID = item;
    data.itemAction = ODA_DRAWENTIRE;
    data.itemState = state;
    data.hwndItem = window_;
    data.hDC = s.dc();
    data.rcItem = itemRect(window_, item);
    ASSERT_TRUE(list_.drawItem(data));
  }

  RECT labelRect(int item, int column) {
    RECT r{LVIR_LABEL, column, 0, 0};
    SendMessageW(window_, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    return r;
  }

  static constexpr int kW = 465, kH = 204;
  HostWindow host_;
  HWND window_;
  skin::DeviceListView list_;
};

TEST_F(DeviceListTest, RowsAre60PixelsHighUnderA26PixelHeader) {
  EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_STYLE) & LVS_OWNERDRAWFIXED);
  addItem(window_, {L"", L"a", L"b"});
  addItem(window_, {L"", L"c", L"d"});
  RECT first = itemRect(window_, 0), second = itemRect(window_, 1);
  EXPECT_EQ(first.bottom - first.top, 60);
  EXPECT_EQ(first.top, skin::SkinHeader::kHeight);
  EXPECT_EQ(second.top, first.bottom);
  RECT header;
  GetWindowRect(list_.header().handle(), &header);
  EXPECT_EQ(header.bottom - header.top, skin::SkinHeader::kHeight);
}

TEST_F(DeviceListTest, RecordPartsAppearOnlyOnceTheCountsMatch) {
  addItem(window_, {L"", L"HTC [ Desire ]", L"API Level 8"});
  RECT logoCell = labelRect(0, 0), serialCell = labelRect(0, 1), releaseCell = labelRect(0, 2);
  int t = lineTop(window_, logoCell);
  int logoX = logoCell.left + 4 - 2, logoY = t - 18;
  RECT releaseBand{releaseCell.left, t - 10, releaseCell.right, t};

  Surface before(kW, kH, kSentinel);
  paint(before, 0, 0);
  EXPECT_TRUE(allPixels(before, {logoX, logoY, logoX + 96, logoY + 48}, kWhite)) << "no logo without a record";
  EXPECT_FALSE(anyPixel(before, serialCell, skin::kSecondaryTextColour)) << "no serial without a record";
  EXPECT_TRUE(allPixels(before, releaseBand, kWhite)) << "no release without a record";
  EXPECT_LT(before.darkBox(serialCell).left, before.darkBox(serialCell).right) << "the cell text is drawn";

  list_.AddRow(deviceRow("HT0123", "Android 2.2", 212));
  Surface after(kW, kH, kSentinel);
  paint(after, 0, 0);
  EXPECT_GT(pictureShare(after, logoX, logoY, 212), 0.99);
  EXPECT_TRUE(anyPixel(after, serialCell, skin::kSecondaryTextColour));
  EXPECT_FALSE(allPixels(after, releaseBand, kWhite));
  EXPECT_TRUE(anyPixel(after, releaseCell, skin::kEmphasisColour)) << "the API level is red";
  EXPECT_FALSE(after.contains(skin::kKeyColour));
}

TEST_F(DeviceListTest, AMissingLogoIsReplacedByTheAndroidPicture) {
  addItem(window_, {L"", L"x", L"y"});
  list_.AddRow(deviceRow("S1", "Android 2.2", 0));
  Surface s(kW, kH, kSentinel);
  paint(s, 0, 0);
  RECT cell = labelRect(0, 0);
  EXPECT_GT(pictureShare(s, cell.left + 2, lineTop(window_, cell) - 18, IDB_LOGO_ANDROID), 0.99);
}

TEST_F(DeviceListTest, SelectedRowIsARoundedGradientBandOthersWhiteWithASeparator) {
  addItem(window_, {L"", L"x", L"y"});
  list_.AddRow(deviceRow("S1", "Android 2.2", 212));
  RECT r = itemRect(window_, 0);
  int x = r.right - 6;  // right of every text

  Surface selected(kW, kH, kSentinel);
  paint(selected, 0, ODS_SELECTED);
  EXPECT_EQ(selected.at(x, r.top), skin::kBandOuterColour);
  EXPECT_EQ(selected.at(x, r.top + 1), skin::kBandInnerColour);
  EXPECT_EQ(selected.at(r.left + 2, r.top + 20), skin::kBandOuterColour) << "the band starts 2 pixels in";
  EXPECT_EQ(selected.at(r.left + 3, r.top + 20), skin::kBandInnerColour);
  EXPECT_EQ(selected.at(r.left + 1, r.top + 20), kSentinel);
  EXPECT_EQ(selected.at(r.left + 2, r.top), kSentinel) << "rounded corner";
  COLORREF top = selected.at(x, r.top + 2), bottom = selected.at(x, r.bottom - 4);
  EXPECT_NEAR(GetGValue(top), GetGValue(skin::kBandTopColour), 3);
  EXPECT_NEAR(GetGValue(bottom), GetGValue(skin::kBandBottomColour), 3);
  EXPECT_GT(GetGValue(top), GetGValue(bottom)) << "lighter at the top";

  Surface plain(kW, kH, kSentinel);
  paint(plain, 0, 0);
  EXPECT_EQ(plain.at(x, r.top + 5), kWhite);
  EXPECT_EQ(plain.at(x, r.bottom - 1), skin::kSeparatorColour);
  EXPECT_FALSE(plain.contains(skin::kBandOuterColour));
}

class Clicks : public skin::RowLinkListener {
 public:
  void OnLinkClicked(int itemIndex) override { items.push_back(itemIndex); }
  std::vector<int> items;
};

class EssentialsListTest : public testing::Test {
 protected:
  EssentialsListTest() : host_(700, 300) {
    window_ = host_.addChild(WC_LISTVIEWW, L"", LVS_REPORT, {10, 10, 680, 280}, 1018);
    EXPECT_TRUE(list_.attach(window_));
    insertColumns(window_, {70, 200, 70, 120, 70, 44});
    guitest::pumpMessages();
    list_.SetListener(&clicks_);
    addItem(window_, {L"", L"Korvel", L"\u7cfb\u7edf", L"\u672a\u5b89\u88c5", L"1.2 MB", L"com.korvel"});
    skin::EssentialsRow row{};
    std::strcpy(row.description, "desc");
    std::strcpy(row.linkText, "review");
    std::strcpy(row.version, "1.0");
    row.iconId = IDP_ESSENTIAL_FIRST;
    list_.AddRow(row);
  }

  RECT bounds(int column) {
    RECT r{LVIR_BOUNDS, column, 0, 0};
    SendMessageW(window_, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    return r;
  }

  void press(int x, int y) {
    // The list follows a press until the button comes up: queue that first.
    PostMessageW(window_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    guitest::pumpMessages();
  }

  HostWindow host_;
  HWND window_;
  skin::EssentialsListView list_;
  Clicks clicks_;
};

TEST_F(EssentialsListTest, LinkAnswersFrom30PixelsBelowTheCellTopAndShowsTheHand) {
  RECT link = bounds(2);
  int x = (link.left + link.right) / 2;
  press(x, link.top + 29);
  EXPECT_TRUE(clicks_.items.empty());
  press(x, link.top + 30);
  EXPECT_EQ(clicks_.items, std::vector<int>{0});
  press(x, link.bottom - 10);
  EXPECT_EQ(clicks_.items.size(), 1u) << "the last 10 pixels are outside";

  SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(x, link.top + 35));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(x, link.top + 5));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(EssentialsListTest, CheckFlagStartsSetAndFlipsOnlyInsideTheCheckRectangle) {
  EXPECT_TRUE(list_.IsChecked(0)) << "a flag never set reads as set";
  RECT check = bounds(5);
  int x = (check.left + check.right) / 2;
  press(x, check.top + 5);
  EXPECT_TRUE(list_.IsChecked(0)) << "outside the shrunk rectangle the click only selects";
  press(x, check.top + 25);
  EXPECT_FALSE(list_.IsChecked(0));
  press(x, check.top + 25);
  EXPECT_TRUE(list_.IsChecked(0));
  EXPECT_TRUE(clicks_.items.empty());
}

TEST_F(EssentialsListTest, StatusColourAndCheckBoxFollowTheRecord) {
  auto paint = [&](Surface& s) {
    DRAWITEMSTRUCT data{};
    data.CtlType = ODT_LISTVIEW;
    data.itemID = 0;
    data.hwndItem = window_;
    data.hDC = s.dc();
    data.rcItem = itemRect(window_, 0);
    ASSERT_TRUE(list_.drawItem(data));
  };
  RECT status = bounds(3), box = bounds(5);
  Surface notInstalled(670, 270, kSentinel);
  paint(notInstalled);
  EXPECT_TRUE(anyPixel(notInstalled, status, skin::kNotInstalledColour));
  EXPECT_FALSE(anyPixel(notInstalled, status, skin::kInstalledColour));
  ResourcePixels strip(IDB_LIST_CHECK);
  int t = lineTop(window_, RECT{box.left, box.top, box.right, box.bottom});
  EXPECT_EQ(notInstalled.at(box.left + 4 + 10 + 6, t + 6), strip.at(13 + 6, 6)) << "checked frame";

  skin::EssentialsRow row = list_.rows()[0];
  row.installed = 1;
  list_.ClearRows();
  list_.AddRow(row);
  list_.SetChecked(0, false);
  Surface installed(670, 270, kSentinel);
  paint(installed);
  EXPECT_TRUE(anyPixel(installed, status, skin::kInstalledColour));
  EXPECT_EQ(installed.at(box.left + 4 + 10 + 6, t + 6), strip.at(6, 6)) << "unchecked frame";
}

}  // namespace
}  // namespace vantaro
