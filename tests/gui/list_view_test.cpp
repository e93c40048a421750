// The skinned list views: row and header heights, what a row puts on a
// device context with and without its record, and the essentials list's
// link and check rectangles.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
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

HWND makeList(HostWindow& host, ui::Control& list, DWORD style, const RECT& rect, std::initializer_list<int> widths) {
  HWND window = host.addChild(WC_LISTVIEWW, L"", LVS_REPORT | style, rect, 1016);
  EXPECT_TRUE(list.attach(window));
  int i = 0;
  for (int width : widths) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(L"\u54c1\u724c\u4fe1\u606f");
    SendMessageW(window, LVM_INSERTCOLUMNW, i++, reinterpret_cast<LPARAM>(&column));
  }
  guitest::pumpMessages();  // the list asks for its item height again
  return window;
}

void addItem(HWND list, std::initializer_list<const wchar_t*> texts) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<wchar_t*>(L"");
  int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (const wchar_t* text : texts) {
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    ++item.iSubItem;
  }
}

RECT subItemRect(HWND list, int item, int column, int part) {
  RECT r{part, column, 0, 0};
  SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&r));
  return r;
}

bool anyPixel(const Surface& s, const RECT& area, COLORREF colour) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (s.at(x, y) == colour) return true;
  return false;
}

class DeviceListTest : public testing::Test {
 protected:
  DeviceListTest() : host_(520, 260) {
    window_ = makeList(host_, list_, LVS_NOSORTHEADER, {10, 10, 10 + kW, 10 + kH}, {104, 210, 130});
  }

  void paint(Surface& s, int item, UINT state) {
    DRAWITEMSTRUCT data{};
    data.CtlType = ODT_LISTVIEW;
    data.itemID = item;
    data.itemState = state;
    data.hwndItem = window_;
    data.hDC = s.dc();
    data.rcItem = subItemRect(window_, item, 0, LVIR_BOUNDS);
    ASSERT_TRUE(list_.drawItem(data));
  }
  // Where the logo of item goes: (C.left - 2, T - 18) of column 0.
  POINT logoAt(int item) {
    RECT cell = subItemRect(window_, item, 0, LVIR_LABEL);
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    return POINT{cell.left + 4 - 2, cell.top + (cell.bottom - cell.top - metrics.tmHeight) / 2 - 18};
  }
  // Share of the logo's opaque pixels found where the logo of item goes.
  double logoShare(const Surface& s, int item, int bitmapId) {
    POINT at = logoAt(item);
    ResourcePixels logo(bitmapId);
    int opaque = 0, same = 0;
    for (int y = 0; y < logo.size().cy; ++y)
      for (int x = 0; x < logo.size().cx; ++x) {
        if (logo.at(x, y) == skin::kKeyColour) continue;
        ++opaque;
        same += s.at(at.x + x, at.y + y) == logo.at(x, y);
      }
    return static_cast<double>(same) / opaque;
  }

  static constexpr int kW = 465, kH = 204;
  HostWindow host_;
  HWND window_;
  skin::DeviceListView list_;
};

skin::DeviceRow deviceRow(const char* serial, int logo) {
  skin::DeviceRow row{};
  std::strcpy(row.serial, serial);
  std::strcpy(row.releaseName, "Android 2.2");
  row.brandLogo = logo;
  return row;
}

TEST_F(DeviceListTest, RowsAre60PixelsHighUnderA26PixelHeader) {
  addItem(window_, {L"", L"a", L"b"});
  addItem(window_, {L"", L"c", L"d"});
  RECT first = subItemRect(window_, 0, 0, LVIR_BOUNDS), second = subItemRect(window_, 1, 0, LVIR_BOUNDS);
  EXPECT_EQ(first.top, skin::SkinHeader::kHeight);
  EXPECT_EQ(first.bottom - first.top, 60);
  EXPECT_EQ(second.top, first.bottom);
  RECT header;
  GetWindowRect(list_.header().handle(), &header);
  EXPECT_EQ(header.bottom - header.top, skin::SkinHeader::kHeight);
}

TEST_F(DeviceListTest, RecordPartsWaitForTheCountsToMatchAndAMissingLogoFallsBack) {
  addItem(window_, {L"", L"HTC [ Desire ]", L"API Level 8"});
  RECT serialCell = subItemRect(window_, 0, 1, LVIR_LABEL);
  Surface before(kW, kH, kSentinel);
  paint(before, 0, 0);
  EXPECT_LT(logoShare(before, 0, 212), 0.1) << "no logo without a record";
  EXPECT_FALSE(anyPixel(before, serialCell, skin::kSecondaryTextColour)) << "no serial without a record";
  EXPECT_TRUE(anyPixel(before, subItemRect(window_, 0, 2, LVIR_LABEL), skin::kEmphasisColour)) << "the API level";

  list_.AddRow(deviceRow("HT0123", 212));
  addItem(window_, {L"", L"x", L"y"});
  list_.AddRow(deviceRow("S2", 0));
  Surface after(kW, kH, kSentinel);
  paint(after, 0, 0);
  paint(after, 1, 0);
  EXPECT_GT(logoShare(after, 0, 212), 0.99);
  EXPECT_TRUE(anyPixel(after, serialCell, skin::kSecondaryTextColour));
  EXPECT_GT(logoShare(after, 1, IDB_LOGO_ANDROID), 0.99) << "logo 0 cannot be loaded";
  EXPECT_FALSE(after.contains(skin::kKeyColour));
}

TEST_F(DeviceListTest, SelectedRowIsARoundedGradientBandOthersWhiteWithASeparator) {
  addItem(window_, {L"", L"x", L"y"});
  list_.AddRow(deviceRow("S1", 212));
  RECT r = subItemRect(window_, 0, 0, LVIR_BOUNDS);
  int x = r.right - 6;  // right of every text
  Surface band(kW, kH, kSentinel), plain(kW, kH, kSentinel);
  paint(band, 0, ODS_SELECTED);
  paint(plain, 0, 0);
  EXPECT_EQ(band.at(x, r.top), skin::kBandOuterColour);
  EXPECT_EQ(band.at(x, r.top + 1), skin::kBandInnerColour);
  EXPECT_EQ(band.at(r.left + 2, r.top + 20), skin::kBandOuterColour) << "the band starts 2 pixels in";
  EXPECT_EQ(band.at(r.left + 2, r.top), kSentinel) << "rounded corner";
  EXPECT_NEAR(GetGValue(band.at(x, r.top + 2)), GetGValue(skin::kBandTopColour), 3);
  EXPECT_NEAR(GetGValue(band.at(x, r.bottom - 4)), GetGValue(skin::kBandBottomColour), 3);
  EXPECT_EQ(plain.at(x, r.top + 5), kWhite);
  EXPECT_EQ(plain.at(x, r.bottom - 1), skin::kSeparatorColour);
}

class Clicks : public skin::RowLinkListener {
 public:
  void OnLinkClicked(int itemIndex) override { items.push_back(itemIndex); }
  std::vector<int> items;
};

TEST(EssentialsList, LinkAndCheckAnswerOnlyInsideTheirRectangles) {
  HostWindow host(700, 300);
  skin::EssentialsListView list;
  HWND window = makeList(host, list, 0, {10, 10, 680, 280}, {70, 200, 70, 120, 70, 44});
  Clicks clicks;
  list.SetListener(&clicks);
  addItem(window, {L"", L"Korvel", L"\u7cfb\u7edf", L"\u672a\u5b89\u88c5", L"1.2 MB", L"com.korvel"});
  list.AddRow(skin::EssentialsRow{});
  auto press = [&](int x, int y) {
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));  // the list follows a press until then
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    guitest::pumpMessages();
  };

  RECT link = subItemRect(window, 0, 2, LVIR_BOUNDS);
  int x = (link.left + link.right) / 2;
  press(x, link.top + 29);
  press(x, link.bottom - 10);
  EXPECT_TRUE(clicks.items.empty());
  press(x, link.top + 30);
  EXPECT_EQ(clicks.items, std::vector<int>{0});
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, link.top + 35));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

  RECT check = subItemRect(window, 0, 5, LVIR_BOUNDS);
  x = (check.left + check.right) / 2;
  EXPECT_TRUE(list.IsChecked(0)) << "a flag never set reads as set";
  press(x, check.top + 19);
  EXPECT_TRUE(list.IsChecked(0)) << "outside the shrunk rectangle the click only selects";
  press(x, check.top + 20);
  EXPECT_FALSE(list.IsChecked(0));
  press(x, check.top + 25);
  EXPECT_TRUE(list.IsChecked(0));
}

}  // namespace
}  // namespace vantaro
