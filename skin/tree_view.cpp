#include "skin/tree_view.h"

#include <commctrl.h>

#include <cstring>

#include "res/resource.h"
#include "skin/border.h"
#include "skin/images.h"
#include "ui/application.h"

namespace vantaro::skin {
namespace {
constexpr COLORREF kBorderColour = RGB(172, 168, 153);

// Parent-client rectangle of a screen rectangle.
RECT toParent(HWND parent, RECT rect) {
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void horizontalGradient(HDC dc, int x0, int y0, int x1, int y1, COLORREF left, COLORREF right) {
  if (x1 <= x0 || y1 <= y0) return;
  TRIVERTEX v[2] = {
      {x0, y0, static_cast<COLOR16>(GetRValue(left) << 8), static_cast<COLOR16>(GetGValue(left) << 8),
       static_cast<COLOR16>(GetBValue(left) << 8), 0},
      {x1, y1, static_cast<COLOR16>(GetRValue(right) << 8), static_cast<COLOR16>(GetGValue(right) << 8),
       static_cast<COLOR16>(GetBValue(right) << 8), 0},
  };
  GRADIENT_RECT span{0, 1};
  GradientFill(dc, v, 2, &span, 1, GRADIENT_FILL_RECT_H);
}

}  // namespace

// ------------------------------------------------------------------ ScrollBarOverlay

bool ScrollBarOverlay::Attach(HWND owner, BarKind kind) {
  if (!owner || (kind != BarKind::Horizontal && kind != BarKind::Vertical) || handle()) return false;
  owner_ = owner;
  kind_ = kind;
  int size = kind == BarKind::Vertical ? GetSystemMetrics(SM_CXVSCROLL) : GetSystemMetrics(SM_CYHSCROLL);
  HWND parent = GetParent(owner);
  RECT rect;
  GetWindowRect(owner, &rect);
  SetWindowLongPtrW(owner, GWL_STYLE, GetWindowLongPtrW(owner, GWL_STYLE) | WS_CLIPSIBLINGS);
  rect = toParent(parent, rect);
  if (kind == BarKind::Vertical)
    rect.left = rect.right - size;
  else
    rect.top = rect.bottom - size;
  if (!create(L"Static", L"", WS_CHILD | WS_VISIBLE, rect, parent, 0xFFFF)) return false;
  Update();
  return true;
}

bool ScrollBarOverlay::barInfo(SCROLLBARINFO& info) const {
  info = SCROLLBARINFO{};
  info.cbSize = sizeof info;
  return owner_ && GetScrollBarInfo(owner_, kind_ == BarKind::Vertical ? OBJID_VSCROLL : OBJID_HSCROLL, &info);
}

void ScrollBarOverlay::Update() {
  if (!handle() || !owner_) return;
  SetWindowPos(owner_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SCROLLBARINFO info;
  if (!barInfo(info)) return;
  RECT bar = toParent(GetParent(handle()), info.rcScrollBar);
  // An absent bar is reported as invisible: then the overlay is hidden too.
  bool absent = (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) != 0 ||
                bar.right <= bar.left || bar.bottom <= bar.top;
  if (absent) {
    ShowWindow(handle(), SW_HIDE);
    return;
  }
  SetWindowPos(handle(), nullptr, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(handle(), nullptr, TRUE);
}

void ScrollBarOverlay::PaintBar(HDC dc, BarKind kind, const BarGeometry& bar) {
  bool vertical = kind == BarKind::Vertical;
  ui::Bitmap firstArrow = loadBitmap(vertical ? IDB_VSCROLL_UP : IDB_HSCROLL_LEFT);
  ui::Bitmap secondArrow = loadBitmap(vertical ? IDB_VSCROLL_DOWN : IDB_HSCROLL_RIGHT);
  ui::Bitmap track = loadBitmap(vertical ? IDB_VSCROLL_TRACK : IDB_HSCROLL_TRACK);
  int arrow = bar.arrow;
  if (bar.length < 2 * arrow + 1) arrow = (bar.length - 1) / 2;

  // Draws a rectangle given along (position, extent) and across (0, width).
  auto stretch = [&](HBITMAP source, int along, int extent, int across) {
    if (vertical)
      stretchWhole(dc, 0, along, across, extent, source);
    else
      stretchWhole(dc, along, 0, extent, across, source);
  };
  stretch(firstArrow.get(), 0, arrow, bar.systemThickness);
  stretch(secondArrow.get(), bar.length - arrow, arrow, bar.systemThickness);
  stretch(track.get(), arrow, bar.length - 2 * arrow, bar.thickness);
  if (bar.length <= kThumbMinimum) return;

  ui::Bitmap startCap = loadBitmap(vertical ? IDB_VSCROLL_THUMB_TOP : IDB_HSCROLL_THUMB_LEFT);
  ui::Bitmap middle = loadBitmap(vertical ? IDB_VSCROLL_THUMB_MIDDLE : IDB_HSCROLL_THUMB_MIDDLE);
  ui::Bitmap endCap = loadBitmap(vertical ? IDB_VSCROLL_THUMB_BOTTOM : IDB_HSCROLL_THUMB_RIGHT);
  auto along = [&](HBITMAP b) {
    SIZE s = ui::bitmapSize(b);
    return vertical ? static_cast<int>(s.cy) : static_cast<int>(s.cx);
  };
  int start = along(startCap.get()), m = along(middle.get()), e = along(endCap.get());
  stretch(startCap.get(), bar.thumbStart, start, bar.lineSize);
  stretch(middle.get(), bar.thumbStart + m, bar.thumbEnd - 2 * m - bar.thumbStart, bar.lineSize);
  stretch(endCap.get(), bar.thumbEnd - e, e, bar.lineSize);
}

LRESULT ScrollBarOverlay::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;  // the paint covers the whole bar
  if (message != WM_PAINT) return callDefault(message, wParam, lParam);
  ui::PaintDc dc(handle());
  SCROLLBARINFO info;
  if (!owner_ || !barInfo(info)) return 0;
  bool vertical = kind_ == BarKind::Vertical;
  BarGeometry bar;
  int height = info.rcScrollBar.bottom - info.rcScrollBar.top;
  int width = info.rcScrollBar.right - info.rcScrollBar.left;
  bar.length = vertical ? height : width;
  bar.thickness = vertical ? width : height;
  bar.arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
  bar.systemThickness = GetSystemMetrics(vertical ? SM_CXVSCROLL : SM_CYHSCROLL);
  // The line-button size is the bar's thickness on Windows; Wine reports the
  // thumb's length there instead, which would stretch the thumb far across.
  bar.lineSize = info.dxyLineButton > 0 && info.dxyLineButton <= bar.thickness ? info.dxyLineButton : bar.thickness;
  bar.thumbStart = info.xyThumbTop;
  bar.thumbEnd = info.xyThumbBottom;
  PaintBar(dc, kind_, bar);
  return 0;
}

// ------------------------------------------------------------------ SkinTreeView

SkinTreeView::SkinTreeView()
    : font_(ui::pointFont(9, L"\u5b8b\u4f53")),
      borderPen_(CreatePen(PS_SOLID, 1, kBorderColour)),
      images_(loadBitmap(IDB_TREE_IMAGES)) {}

void SkinTreeView::onAttach() {
  horizontalBar_.Attach(handle(), BarKind::Horizontal);
  verticalBar_.Attach(handle(), BarKind::Vertical);
  // The tree rounds odd heights down to even ones unless told otherwise.
  addStyle(TVS_NONEVENHEIGHT);
  SendMessageW(handle(), TVM_SETITEMHEIGHT, 25, 0);
}

void SkinTreeView::PaintItems(HDC dc) {
  HWND tree = handle();
  RECT client;
  GetClientRect(tree, &client);
  ui::SavedDc saved(dc);
  SetTextColor(dc, RGB(0, 0, 0));
  for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)); item;
       item = reinterpret_cast<HTREEITEM>(
           SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
    RECT r{};
    std::memcpy(&r, &item, sizeof item);  // the request names its item in the rectangle
    if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r))) continue;
    if (r.top >= client.bottom) break;

    wchar_t text[260] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 260;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    bool hasChildren = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)) != 0;
    bool hasParent = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)) != 0;
    if (hasChildren || !hasParent) {
      horizontalGradient(dc, 0, r.top + 1, kBandRight, r.bottom, RGB(238, 238, 238), RGB(255, 255, 255));
      copyKeyed(dc, r.left + 4, r.top + 5, 16, 16, images_.get(), 16 * data.iSelectedImage, 0);
    }
    OffsetRect(&r, 30, 7);
    // Top-left in the label's rectangle as measured by the tree. Not clipped
    // to it: where the drawn glyphs run wider than the tree measured them
    // (fonts whose bitmaps and outlines disagree) the row still reads whole.
    DrawTextW(dc, text, -1, &r, DT_NOCLIP);
  }
}

void SkinTreeView::paint() {
  {
    ui::PaintDc paint(handle());
    RECT client;
    GetClientRect(handle(), &client);
    if (client.right > 0 && client.bottom > 0) {
      ui::MemoryDc offscreen(paint);
      ui::Bitmap image(CreateCompatibleBitmap(paint, client.right, client.bottom));
      ui::Selection selected(offscreen, image.get());
      ui::fillSolid(offscreen, client, RGB(255, 255, 255));
      SetBkMode(offscreen, TRANSPARENT);
      ui::Selection font(offscreen, font_.get());
      PaintItems(offscreen);
      BitBlt(paint, 0, 0, client.right, client.bottom, offscreen, 0, 0, SRCCOPY);
    }
  }
  horizontalBar_.Update();
  verticalBar_.Update();
  drawBorder();
}

void SkinTreeView::drawBorder() { DrawBorderOnParent(handle(), borderPen_.get()); }

LRESULT SkinTreeView::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    default:
      return callDefault(message, wParam, lParam);
  }
}

}  // namespace vantaro::skin
