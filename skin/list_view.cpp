#include "skin/list_view.h"

#include <cstring>
#include <string_view>

#include "device/wireless.h"
#include "res/resource.h"
#include "skin/border.h"
#include "skin/images.h"
#include "ui/wide.h"

namespace vantaro::skin {
namespace {

constexpr int kHeaderSkinHeight = 20;
constexpr int kHeaderPartWidth = 3;
constexpr int kLogoWidth = 96, kLogoHeight = 48;
constexpr int kIconSize = 48;
constexpr int kCheckSize = 13;
// The right end of the device list's last column, where its tick sits.
constexpr int kTickSpace = 22;

// The message a list posts to itself on attaching: by then it is ours, so
// the height request it triggers reaches measureItem().
UINT itemHeightMessage() {
  static const UINT id = RegisterWindowMessageW(L"Vantaro.ListItemHeight");
  return id;
}

// A record's text field up to its terminating zero (or its end), at most
// maxBytes bytes, never splitting a double-byte character.
std::wstring fieldText(const char* field, size_t fieldSize, size_t maxBytes) {
  std::string_view text(field, strnlen(field, fieldSize));
  return ui::toWide(ui::gbkPrefix(text, maxBytes));
}

template <size_t N>
std::wstring fieldText(const char (&field)[N], size_t maxBytes = N) {
  return fieldText(field, N, maxBytes);
}

}  // namespace

void DrawWirelessMark(HDC dc, int left, int top) {
  // A dot and three arcs above it, in the link blue.
  HPEN pen = CreatePen(PS_SOLID, 2, kLinkColour);
  HBRUSH brush = CreateSolidBrush(kLinkColour);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  const int cx = left + 7, cy = top + 12;
  Ellipse(dc, cx - 2, cy - 2, cx + 2, cy + 2);
  for (int radius = 5; radius <= 13; radius += 4)
    Arc(dc, cx - radius, cy - radius, cx + radius, cy + radius, cx + radius, cy - radius, cx - radius, cy - radius);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

namespace {

void verticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  TRIVERTEX v[2] = {
      {r.left, r.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
       static_cast<COLOR16>(GetBValue(top) << 8), 0},
      {r.right, r.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8), static_cast<COLOR16>(GetGValue(bottom) << 8),
       static_cast<COLOR16>(GetBValue(bottom) << 8), 0},
  };
  GRADIENT_RECT span{0, 1};
  GradientFill(dc, v, 2, &span, 1, GRADIENT_FILL_RECT_V);
}

}  // namespace

// ------------------------------------------------------------------ SkinHeader

SkinHeader::SkinHeader() : skin_(loadBitmap(IDB_HEADER)), font_(ui::pointFont(9, L"\u5b8b\u4f53")) {}

void SkinHeader::PaintTo(HDC dc) {
  RECT client;
  GetClientRect(handle(), &client);
  ui::MemoryDc memory(dc);
  ui::Selection skin(memory, skin_.get());
  SetBkMode(dc, TRANSPARENT);
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, client.left, client.top, client.right - client.left, kHeight, memory, 0, 0, kHeaderPartWidth,
             kHeaderSkinHeight, SRCCOPY);
  int count = static_cast<int>(SendMessageW(handle(), HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    RECT r{};
    if (!SendMessageW(handle(), HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r))) continue;
    StretchBlt(dc, r.right - kHeaderPartWidth, r.top, kHeaderPartWidth, kHeight, memory, kHeaderPartWidth, 0,
               kHeaderPartWidth, kHeaderSkinHeight, SRCCOPY);
    r.left += 2;
    r.right -= 2;
    wchar_t text[256] = {};
    HDITEMW data{};
    data.mask = HDI_TEXT;
    data.pszText = text;
    data.cchTextMax = 256;
    SendMessageW(handle(), HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&data));
    ui::Selection font(dc, font_.get());
    DrawTextW(dc, text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  SetStretchBltMode(dc, oldMode);
}

LRESULT SkinHeader::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case HDM_LAYOUT: {
      LRESULT result = callDefault(message, wParam, lParam);
      auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
      if (result && layout && layout->prc && layout->pwpos) {
        layout->pwpos->cy = kHeight;
        layout->prc->top = layout->pwpos->y + kHeight;
      }
      return result;
    }
    case WM_PAINT: {
      ui::PaintDc dc(handle());
      PaintTo(dc);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole header
    default:
      return callDefault(message, wParam, lParam);
  }
}

// ------------------------------------------------------------------ SkinListView

SkinListView::SkinListView(Border border)
    : border_(border),
      borderPen_(CreatePen(PS_SOLID, 1, kListBorderColour)),
      outerPen_(CreatePen(PS_SOLID, 1, kBandOuterColour)),
      innerPen_(CreatePen(PS_SOLID, 1, kBandInnerColour)) {}

void SkinListView::onAttach() {
  addStyle(LVS_OWNERDRAWFIXED);
  PostMessageW(handle(), itemHeightMessage(), 0, 0);

  auto font = reinterpret_cast<HFONT>(SendMessageW(handle(), WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW description{};
  if (GetObjectW(font, sizeof description, &description) == sizeof description) {
    description.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectW(&description));
  }

  horizontalBar_.Attach(handle(), BarKind::Horizontal);
  verticalBar_.Attach(handle(), BarKind::Vertical);
  if (HWND header = reinterpret_cast<HWND>(SendMessageW(handle(), LVM_GETHEADER, 0, 0))) header_.attach(header);
}

void SkinListView::askItemHeightAgain() {
  RECT r;
  GetWindowRect(handle(), &r);
  WINDOWPOS position{};
  position.hwnd = handle();
  position.cx = r.right - r.left;
  position.cy = r.bottom - r.top;
  position.flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  SendMessageW(handle(), WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
}

bool SkinListView::measureItem(MEASUREITEMSTRUCT& item) {
  if (item.CtlType != ODT_LISTVIEW) return false;
  item.itemHeight = kRowHeight;
  return true;
}

int SkinListView::itemCount() const {
  return handle() ? static_cast<int>(SendMessageW(handle(), LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring SkinListView::cellText(int item, int column) const {
  wchar_t text[256] = {};
  LVITEMW data{};
  data.iSubItem = column;
  data.pszText = text;
  data.cchTextMax = 256;
  SendMessageW(handle(), LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&data));
  return ui::toWide(ui::gbkPrefix(ui::fromWide(text), 255));
}

int SkinListView::stateImage(int item) const {
  auto state = static_cast<UINT>(SendMessageW(handle(), LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
  return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

void SkinListView::setStateImage(int item, int index) {
  LVITEMW data{};
  data.stateMask = LVIS_STATEIMAGEMASK;
  data.state = INDEXTOSTATEIMAGEMASK(index);
  SendMessageW(handle(), LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&data));
  SendMessageW(handle(), LVM_REDRAWITEMS, item, item);
}

RECT SkinListView::subItemBounds(int item, int column) const {
  RECT r{LVIR_BOUNDS, column, 0, 0};
  if (!SendMessageW(handle(), LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&r))) return RECT{};
  return r;
}

void SkinListView::drawLine(HDC dc, const std::wstring& text, RECT rect, int top, COLORREF colour, bool centred) {
  rect.top = top;
  SetTextColor(dc, colour);
  // Cell texts are data (models, descriptions): an '&' is shown as it is.
  DrawTextW(dc, text.c_str(), -1, &rect, (centred ? DT_CENTER : 0) | DT_NOPREFIX);
}

void SkinListView::drawBand(HDC dc, RECT r) const {
  r.left += 2;
  ui::Selection noFill(dc, GetStockObject(NULL_BRUSH));
  {
    ui::Selection pen(dc, outerPen_.get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
  }
  InflateRect(&r, -1, -1);
  {
    ui::Selection pen(dc, innerPen_.get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 2, 2);
  }
  InflateRect(&r, -1, -1);
  verticalGradient(dc, r, kBandTopColour, kBandBottomColour);
}

bool SkinListView::drawItem(const DRAWITEMSTRUCT& data) {
  if (data.CtlType != ODT_LISTVIEW || !handle()) return false;
  HDC dc = data.hDC;
  int item = static_cast<int>(data.itemID);
  ui::SavedDc saved(dc);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(handle(), WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);

  bool selected = (data.itemState & ODS_SELECTED) != 0;
  if (selected) drawBand(dc, data.rcItem);
  bool inStep = rowsInStep();
  HWND header = reinterpret_cast<HWND>(SendMessageW(handle(), LVM_GETHEADER, 0, 0));
  int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int column = 0; column < columns; ++column) {
    RECT cell{LVIR_LABEL, column, 0, 0};
    if (!SendMessageW(handle(), LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell))) continue;
    std::wstring text = cellText(item, column);
    if (!selected) {
      ui::fillSolid(dc, cell, kCellColour);
      ui::fillSolid(dc, RECT{0, cell.bottom - 1, cell.right + 2, cell.bottom}, kSeparatorColour);
    }
    OffsetRect(&cell, 0, (cell.bottom - cell.top - metrics.tmHeight) / 2);
    cell.left += 4;
    drawCell(dc, item, column, cell, text, inStep);
  }
  return true;
}

void SkinListView::paint() {
  callDefault(WM_PAINT, 0, 0);
  horizontalBar_.Update();
  verticalBar_.Update();
  drawBorder();
}

void SkinListView::drawBorder() { DrawBorderOnParent(handle(), borderPen_.get(), border_ != Border::Closed); }

LRESULT SkinListView::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT && wParam == 0) {
    paint();
    return 0;
  }
  if (message == itemHeightMessage()) {
    askItemHeightAgain();
    return 0;
  }
  return callDefault(message, wParam, lParam);
}

// ------------------------------------------------------------------ DeviceListView

void DeviceListView::drawCell(HDC dc, int item, int column, const RECT& cell, const std::wstring& text,
                              bool inStep) {
  const int top = cell.top;
  const DeviceRow* row = inStep ? &rows()[static_cast<size_t>(item)] : nullptr;
  RECT r = cell;
  switch (column) {
    case 0:
      drawLine(dc, text, r, top, RGB(0, 0, 0));
      if (row) {
        ui::Bitmap logo = loadBitmap(row->brandLogo);
        if (!logo) logo = loadBitmap(IDB_LOGO_ANDROID);
        copyKeyed(dc, r.left - 2, top - 18, kLogoWidth, kLogoHeight, logo.get(), 0, 0);
        if (IsWirelessSerial(std::string_view(row->serial, strnlen(row->serial, sizeof row->serial))))
          DrawWirelessMark(dc, r.left + kLogoWidth - 16, top - 16);
      }
      break;
    case 1:
      r.left += 8;
      drawLine(dc, text, r, top - 10, RGB(0, 0, 0));
      if (row) drawLine(dc, fieldText(row->serial), r, top + 10, kSecondaryTextColour);
      break;
    case 2:
      r.left += 22;
      r.right -= kTickSpace;
      drawLine(dc, text, r, top + 10, kEmphasisColour);
      r.left += 2;
      if (row) drawLine(dc, fieldText(row->releaseName, 128), r, top - 10, RGB(0, 0, 0));
      if (row) copyPlain(dc, cell.right - kCheckSize - 4, top, kCheckSize, kCheckSize, checkStrip_.get(),
                         IsTicked(item) ? kCheckSize : 0, 0);
      break;
    default:
      break;
  }
}

DeviceListView::DeviceListView() : RowListView(Border::Closed), checkStrip_(loadBitmap(IDB_LIST_CHECK)) {}

bool DeviceListView::IsTicked(int item) const { return stateImage(item) == 2; }

void DeviceListView::SetTicked(int item, bool ticked) { setStateImage(item, ticked ? 2 : 1); }

RECT DeviceListView::TickRect(int item) const {
  RECT r = subItemBounds(item, 2);
  if (IsRectEmpty(&r)) return r;
  r.left = r.right - kTickSpace;
  InflateRect(&r, 0, -14);
  return r;
}

LRESULT DeviceListView::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    LVHITTESTINFO hit{};
    hit.pt = point;
    SendMessageW(handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem >= 0) {
      RECT tick = TickRect(hit.iItem);
      if (PtInRect(&tick, point)) SetTicked(hit.iItem, !IsTicked(hit.iItem));
    }
  } else if (message == WM_KEYDOWN && wParam == VK_SPACE) {
    int focused = static_cast<int>(SendMessageW(handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0) SetTicked(focused, !IsTicked(focused));
    return 0;
  }
  return RowListView::windowProc(message, wParam, lParam);
}

// ------------------------------------------------------------------ EssentialsListView

EssentialsListView::EssentialsListView() : RowListView(Border::NoRightEdge), checkStrip_(loadBitmap(IDB_LIST_CHECK)) {}

bool EssentialsListView::IsChecked(int item) const { return stateImage(item) - 1 != 0; }

void EssentialsListView::SetChecked(int item, bool checked) { setStateImage(item, checked ? 2 : 1); }

RECT EssentialsListView::LinkRect(int item) const {
  RECT r = subItemBounds(item, 2);
  r.top += 30;
  r.bottom -= 10;
  return r;
}

RECT EssentialsListView::CheckRect(int item) const {
  RECT r = subItemBounds(item, 5);
  InflateRect(&r, -14, -20);
  return r;
}

EssentialsListView::Spot EssentialsListView::spotAt(POINT point, int* item) const {
  LVHITTESTINFO hit{};
  hit.pt = point;
  SendMessageW(handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  *item = hit.iItem;
  if (hit.iItem < 0) return Spot::None;
  if (hit.iSubItem == 2) {
    RECT link = LinkRect(hit.iItem);
    if (PtInRect(&link, point)) return Spot::Link;
  } else if (hit.iSubItem == 5) {
    RECT check = CheckRect(hit.iItem);
    if (PtInRect(&check, point)) return Spot::Check;
  }
  return Spot::None;
}

LRESULT EssentialsListView::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    int item = -1;
    Spot spot = spotAt(point, &item);
    if (message == WM_MOUSEMOVE) {
      SetCursor(LoadCursorW(nullptr, spot == Spot::Link ? IDC_HAND : IDC_ARROW));
    } else if (spot == Spot::Link) {
      if (listener_) listener_->OnLinkClicked(item);
    } else if (spot == Spot::Check) {
      SetChecked(item, !IsChecked(item));
    }
  }
  return SkinListView::windowProc(message, wParam, lParam);
}

void EssentialsListView::drawCell(HDC dc, int item, int column, const RECT& cell, const std::wstring& text,
                                  bool inStep) {
  const int top = cell.top;
  const EssentialsRow* row = inStep ? &rows()[static_cast<size_t>(item)] : nullptr;
  switch (column) {
    case 0:
      if (row) DrawPngResource(dc, row->iconId, cell.left + 4, top - 18, kIconSize, kIconSize);
      break;
    case 1:
      drawLine(dc, text, cell, top - 10, RGB(0, 0, 0));
      if (row) drawLine(dc, fieldText(row->description), cell, top + 10, kSecondaryTextColour);
      break;
    case 2:
      drawLine(dc, text, cell, top - 10, RGB(0, 0, 0), true);
      if (row) {
        ui::Selection font(dc, linkFont());
        drawLine(dc, fieldText(row->linkText, 8), cell, top + 10, kLinkColour, true);
      }
      break;
    case 3: {
      COLORREF colour = !row ? RGB(0, 0, 0) : row->installed ? kInstalledColour : kNotInstalledColour;
      drawLine(dc, text, cell, top, colour, true);
      break;
    }
    case 4:
      drawLine(dc, text, cell, top + 10, kEmphasisColour, true);
      if (row) drawLine(dc, fieldText(row->version, 3), cell, top - 10, RGB(0, 0, 0), true);
      break;
    case 5:
      if (row) copyPlain(dc, cell.left + 10, top, kCheckSize, kCheckSize, checkStrip_.get(),
                         IsChecked(item) ? kCheckSize : 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace vantaro::skin
