// What the widgets put on a device context, pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "gui_support.h"
#include "res/resource.h"
#include "skin/buttons.h"
#include "skin/frame_skin.h"
#include "skin/images.h"
#include "skin/labels.h"
#include "skin/menu_combo.h"
#include "skin/tree_view.h"

namespace vantaro {
namespace {

using guitest::brightness;
using guitest::HostWindow;
using guitest::ResourcePixels;
using guitest::Surface;

constexpr COLORREF kSentinel = RGB(123, 231, 77);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(PercentBar, FillFollowsTheSinglePrecisionRuleOnA350PixelBar) {
  skin::PercentBar bar;
  const int w = 350, h = 18;
  struct Case {
    int percent;
    int lastGreen;  // -1: no fill
  };
  for (Case c : {Case{0, -1}, Case{50, 174}, Case{100, 348}}) {
    SCOPED_TRACE(c.percent);
    Surface s(w, h, kSentinel);
    bar.SetPercent(c.percent);
    skin::PercentBar::EraseTo(s.dc(), w, h);
    bar.PaintTo(s.dc(), w, h);
    EXPECT_EQ(s.at(0, 1), skin::kPercentFrame);
    EXPECT_EQ(s.at(w - 1, 1), skin::kPercentFrame);
    EXPECT_EQ(s.at(5, h - 1), skin::kPercentFrame);
    if (c.lastGreen < 0) {
      EXPECT_EQ(s.at(1, 1), kWhite);
    } else {
      EXPECT_EQ(s.at(1, 1), skin::kPercentFill);
      EXPECT_EQ(s.at(c.lastGreen, 1), skin::kPercentFill);
      if (c.lastGreen + 1 < w - 1) {
        EXPECT_EQ(s.at(c.lastGreen + 1, 1), kWhite);
      }
    }
    RECT text = s.darkBox({1, 1, w - 1, h - 1});
    ASSERT_LT(text.left, text.right) << "the percentage is printed";
    EXPECT_NEAR((text.left + text.right) / 2.0, w / 2.0, 3.0);
  }
  EXPECT_EQ(skin::PercentBar::FillRight(100, 350), 349);
}

TEST(PercentBar, AboveHundredShowsOnlyTheFrame) {
  skin::PercentBar bar;
  Surface s(350, 18, kSentinel);
  bar.SetPercent(101);
  skin::PercentBar::EraseTo(s.dc(), 350, 18);
  bar.PaintTo(s.dc(), 350, 18);
  EXPECT_EQ(s.at(0, 5), skin::kPercentFrame);
  RECT inner{1, 1, 349, 17};
  for (int y = inner.top; y < inner.bottom; ++y)
    for (int x = inner.left; x < inner.right; ++x) ASSERT_EQ(s.at(x, y), kSentinel) << x << "," << y;
}

class SkinButtonPaint : public testing::Test {
 protected:
  SkinButtonPaint() : host_(300, 120) {
    window_ = host_.addChild(L"Button", L"\u5b89\u88c5", BS_PUSHBUTTON, {10, 10, 10 + kW, 10 + kH}, 1002);
    button_.attach(window_);
  }

  void paint(Surface& s, UINT state = 0) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = 1002;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = window_;
    item.hDC = s.dc();
    item.rcItem = {0, 0, kW, kH};
    ASSERT_TRUE(button_.drawItem(item));
  }

  static constexpr int kW = 150, kH = 50;
  HostWindow host_;
  HWND window_;
  skin::SkinButton button_;
};

TEST_F(SkinButtonPaint, WideButtonShowsTheFrameTopLeftOnlyAndCentresItsText) {
  EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_STYLE) & BS_OWNERDRAW);
  Surface s(kW, kH, kSentinel);
  paint(s);
  ResourcePixels strip(IDB_BUTTON_STRIP);
  EXPECT_EQ(s.at(40, 4), strip.at(40, 4));
  EXPECT_EQ(s.at(81, 15), strip.at(81, 15));
  EXPECT_EQ(s.at(82, 15), kSentinel);
  EXPECT_EQ(s.at(40, 30), kSentinel);
  EXPECT_EQ(s.at(0, 0), kSentinel) << "the rounded corner is keyed out";
  EXPECT_FALSE(s.contains(skin::kKeyColour));

  RECT text = s.darkBox({0, 0, kW, kH});
  ASSERT_LT(text.left, text.right);
  EXPECT_NEAR((text.left + text.right) / 2.0, kW / 2.0, 1.5);
  EXPECT_NEAR((text.top + text.bottom) / 2.0, kH / 2.0, 2.0);
}

TEST_F(SkinButtonPaint, IconShiftsTheTextRectangle20PixelsRight) {
  Surface plain(kW, kH, kSentinel);
  paint(plain);
  RECT before = plain.darkBox({24, 0, kW, kH});

  ASSERT_NE(button_.SetIcon(IDI_INSTALL), nullptr);
  Surface withIcon(kW, kH, kSentinel);
  paint(withIcon);
  RECT after = withIcon.darkBox({24, 0, kW, kH});
  ASSERT_LT(after.left, after.right);
  // Centred in the width less 20 on the left: the centre moves by 10.
  EXPECT_NEAR((after.left + after.right) / 2.0, (kW + 20) / 2.0, 1.5);
  EXPECT_EQ(after.left - before.left, 10);
  // The icon sits at (6, 7).
  int iconPixels = 0;
  for (int y = 7; y < 23; ++y)
    for (int x = 6; x < 22; ++x) iconPixels += withIcon.at(x, y) != plain.at(x, y);
  EXPECT_GT(iconPixels, 40);
}

TEST_F(SkinButtonPaint, HoverAndPressedTakeTheirOwnFrames) {
  ResourcePixels strip(IDB_BUTTON_STRIP);
  ASSERT_NE(strip.at(40, 4), strip.at(40, 34));
  ASSERT_NE(strip.at(40, 4), strip.at(40, 64));

  SendMessageW(window_, WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(button_.hovering());
  Surface hover(kW, kH, kSentinel);
  paint(hover);
  EXPECT_EQ(hover.at(40, 4), strip.at(40, 34));

  Surface pressed(kW, kH, kSentinel);
  paint(pressed, ODS_SELECTED);
  EXPECT_EQ(pressed.at(40, 4), strip.at(40, 64));

  SendMessageW(window_, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button_.hovering());
  Surface normal(kW, kH, kSentinel);
  paint(normal);
  EXPECT_EQ(normal.at(40, 4), strip.at(40, 4));
}

TEST(FrameSkin, CornersOverlapOnANarrowWindowAndLaterPiecesWin) {
  skin::FrameSkin frame("");
  frame.SetStandardPieces();
  ResourcePixels topLeft(IDB_FRAME_TOP_LEFT), topRight(IDB_FRAME_TOP_RIGHT), bottomLeft(IDB_FRAME_BOTTOM_LEFT),
      bottomRight(IDB_FRAME_BOTTOM_RIGHT);
  // Points where the overlapping pieces differ (the emblem of the top-left piece).
  ASSERT_NE(topLeft.at(35, 20), topRight.at(5, 20));
  ASSERT_NE(topLeft.at(20, 32), bottomLeft.at(20, 2));

  Surface s(80, 80, kSentinel);
  frame.PaintTo(s.dc(), 80, 80);
  EXPECT_EQ(s.at(10, 3), topLeft.at(10, 3));
  EXPECT_EQ(s.at(35, 20), topRight.at(5, 20)) << "right over left";
  EXPECT_EQ(s.at(20, 32), bottomLeft.at(20, 2)) << "bottom over top";
  EXPECT_EQ(s.at(79, 79), bottomRight.at(49, 49));
  EXPECT_EQ(s.at(40, 40), bottomRight.at(10, 10));

  // Narrower than a single piece: the bottom-right piece, drawn last, covers all.
  Surface tiny(30, 30, kSentinel);
  frame.PaintTo(tiny.dc(), 30, 30);
  EXPECT_EQ(tiny.at(5, 5), bottomRight.at(25, 25));
  EXPECT_EQ(tiny.at(29, 29), bottomRight.at(49, 49));
}

TEST(FrameSkin, TitleIsClippedAtX460) {
  std::string title(120, 'W');
  skin::FrameSkin frame(title);
  frame.SetStandardPieces();
  Surface s(700, 200, kSentinel);
  frame.PaintTo(s.dc(), 700, 200);
  RECT ink = s.darkBox({45, 10, 700, 34}, 300);
  ASSERT_LT(ink.left, ink.right);
  EXPECT_GE(ink.left, 50);
  EXPECT_LE(ink.right, 460);
  EXPECT_GT(ink.right, 440) << "a long title reaches the clip edge";
}

TEST(FrameSkin, DragStartsAboveY47Only) {
  HostWindow host(200, 200);
  skin::FrameSkin frame("");
  MSG message;
  while (PeekMessageW(&message, host.handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
  }
  EXPECT_FALSE(frame.OnLeftButtonDown(host.handle(), POINT{10, 47}));
  EXPECT_FALSE(PeekMessageW(&message, host.handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_TRUE(frame.OnLeftButtonDown(host.handle(), POINT{10, 46}));
  ASSERT_TRUE(PeekMessageW(&message, host.handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(message.lParam, MAKELPARAM(10, 46));
}

class TreePaint : public testing::Test {
 protected:
  TreePaint() : host_(660, 340) {
    window_ = host_.addChild(WC_TREEVIEWW, L"", TVS_HASBUTTONS | TVS_HASLINES | TVS_NOTOOLTIPS | TVS_FULLROWSELECT,
                             {20, 20, 20 + kW, 20 + kH}, 1001);
    tree_.attach(window_);
    section_ = insert(TVI_ROOT, L"\u8bf7\u6c42\u6743\u9650", 2);
    leaf_ = insert(section_, L"\u5141\u8bb8\u8bbf\u95ee\u7f51\u7edc", -1);
    lone_ = insert(TVI_ROOT, L"\u5e7f\u544a\u68c0\u6d4b", 0);
    SendMessageW(window_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(section_));
  }

  HTREEITEM insert(HTREEITEM parent, const wchar_t* text, int image) {
    TVINSERTSTRUCTW in{};
    in.hParent = parent;
    in.hInsertAfter = TVI_LAST;
    in.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    in.item.pszText = const_cast<wchar_t*>(text);
    in.item.iImage = in.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
  }

  RECT labelRect(HTREEITEM item) {
    RECT r{};
    memcpy(&r, &item, sizeof item);
    SendMessageW(window_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return r;
  }

  static constexpr int kW = 600, kH = 300;
  HostWindow host_;
  HWND window_;
  skin::SkinTreeView tree_;
  HTREEITEM section_, leaf_, lone_;
};

TEST_F(TreePaint, SectionBandEndsAtX500AndLeavesHaveNone) {
  Surface s(kW, kH, kWhite);
  SetBkMode(s.dc(), TRANSPARENT);
  tree_.PaintItems(s.dc());
  RECT section = labelRect(section_), leaf = labelRect(leaf_), lone = labelRect(lone_);
  ASSERT_EQ(SendMessageW(window_, TVM_GETITEMHEIGHT, 0, 0), 25);

  int y = section.bottom - 2;
  EXPECT_EQ(s.at(0, y), RGB(238, 238, 238));
  // A linear band from 238 at x 0 to 255 at x 500.
  EXPECT_NEAR(GetRValue(s.at(250, y)), 238 + 17 * 250 / 500.0, 1.0);
  EXPECT_NEAR(GetRValue(s.at(400, y)), 238 + 17 * 400 / 500.0, 1.0);
  EXPECT_EQ(s.at(520, y), kWhite);
  EXPECT_EQ(s.at(0, section.top), kWhite) << "the band starts one row below the label's top";
  EXPECT_EQ(s.at(0, lone.bottom - 2), RGB(238, 238, 238)) << "a root without children is a section";

  // Leaf: no band, no picture; text 30 right and 7 down of the label.
  for (int x = 0; x < leaf.left + 30; ++x) ASSERT_EQ(s.at(x, leaf.bottom - 2), kWhite) << x;
  RECT text = s.darkBox({0, leaf.top, kW, leaf.bottom}, 300);
  ASSERT_LT(text.left, text.right);
  EXPECT_GE(text.left, leaf.left + 30);
  EXPECT_LE(text.left, leaf.left + 32);
  EXPECT_GE(text.top, leaf.top + 7);

  // Section picture: frame 2 (the tick) at (left + 4, top + 5).
  ResourcePixels images(IDB_TREE_IMAGES);
  int matching = 0;
  for (int dy = 0; dy < 16; ++dy)
    for (int dx = 0; dx < 16; ++dx) {
      COLORREF source = images.at(32 + dx, dy);
      if (source != skin::kKeyColour) matching += s.at(section.left + 4 + dx, section.top + 5 + dy) == source;
    }
  EXPECT_GT(matching, 100);
  EXPECT_FALSE(s.contains(skin::kKeyColour));
}

TEST(ScrollBarOverlay, ShortBarHalvesItsArrowsAndShowsNoThumb) {
  const COLORREF track = ResourcePixels(IDB_VSCROLL_TRACK).at(2, 1);
  skin::BarGeometry bar;
  bar.length = 20;
  bar.thickness = bar.systemThickness = bar.lineSize = 15;
  bar.arrow = 17;
  Surface s(15, 20, kSentinel);
  skin::ScrollBarOverlay::PaintBar(s.dc(), skin::BarKind::Vertical, bar);
  // (20 - 1) / 2 = 9: arrows on rows 0-8 and 11-19, the track on rows 9 and 10.
  EXPECT_EQ(s.at(2, 9), track);
  EXPECT_EQ(s.at(2, 10), track);
  for (int y : {2, 4, 6, 8, 13, 15, 17}) EXPECT_NE(s.at(2, y), track) << y;
  EXPECT_FALSE(s.contains(kSentinel));
}

TEST(ScrollBarOverlay, ThumbOnlyAbove45Pixels) {
  const COLORREF track = ResourcePixels(IDB_VSCROLL_TRACK).at(7, 1);
  for (int length : {45, 46}) {
    SCOPED_TRACE(length);
    skin::BarGeometry bar;
    bar.length = length;
    bar.thickness = bar.systemThickness = bar.lineSize = 15;
    bar.arrow = 15;
    bar.thumbStart = 15;
    bar.thumbEnd = 30;
    Surface s(15, length, kSentinel);
    skin::ScrollBarOverlay::PaintBar(s.dc(), skin::BarKind::Vertical, bar);
    bool thumb = false;
    for (int y = 15; y < 30; ++y) thumb |= s.at(7, y) != track;
    EXPECT_EQ(thumb, length > 45);
  }
}

TEST(SkinMenu, ItemImageOneIsTheSecondPicture) {
  ResourcePixels strip(IDB_MENU_IMAGES);
  int differing = 0;
  for (int dy = 0; dy < 24; ++dy)
    for (int dx = 0; dx < 24; ++dx) differing += strip.at(dx, dy) != strip.at(24 + dx, dy);
  ASSERT_GT(differing, 50) << "the two pictures differ";

  skin::SkinMenu menu;
  menu.SetImages(IDB_MENU_IMAGES);
  Surface s(120, 28, kSentinel);
  menu.DrawItem(s.dc(), {0, 0, 120, 28}, false, skin::MenuItemData{1, "Market"});
  for (int dy = 0; dy < 24; ++dy)
    for (int dx = 0; dx < 24; ++dx) {
      COLORREF source = strip.at(24 + dx, dy);
      COLORREF expected = source == RGB(255, 255, 255) ? RGB(231, 231, 231) : source;
      ASSERT_EQ(s.at(2 + dx, 2 + dy), expected) << dx << "," << dy;
    }
  EXPECT_EQ(s.at(60, 1), RGB(255, 255, 255));

  Surface selected(120, 28, kSentinel);
  menu.DrawItem(selected.dc(), {0, 0, 120, 28}, true, skin::MenuItemData{0, "x"});
  EXPECT_EQ(selected.at(60, 1), RGB(132, 166, 198));
  EXPECT_EQ(selected.at(1, 14), RGB(132, 166, 198)) << "the highlight covers the picture column";
  EXPECT_EQ(selected.at(60, 2), RGB(206, 231, 255));
}

TEST(Pictures, PngResourcesDrawAndMissingOnesDoNot) {
  Surface s(48, 48, kSentinel);
  EXPECT_TRUE(skin::DrawPngResource(s.dc(), 191, 0, 0, 48, 48));
  EXPECT_NE(s.at(24, 24), kSentinel);
  Surface none(48, 48, kSentinel);
  EXPECT_FALSE(skin::DrawPngResource(none.dc(), 999, 0, 0, 48, 48));
  EXPECT_FALSE(none.contains(RGB(0, 0, 0)));
  EXPECT_EQ(none.at(24, 24), kSentinel);
}

}  // namespace
}  // namespace vantaro
