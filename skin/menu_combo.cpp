#include "skin/menu_combo.h"

#include <vector>

#include "res/resource.h"
#include "skin/images.h"
#include "ui/wide.h"

namespace vantaro::skin {
namespace {
constexpr COLORREF kMenuPictureColumn = RGB(231, 231, 231);
constexpr COLORREF kMenuOutline = RGB(132, 166, 198);
constexpr COLORREF kMenuFill = RGB(206, 231, 255);
constexpr COLORREF kComboFocus = RGB(89, 176, 219);
constexpr COLORREF kComboText = RGB(255, 0, 0);
constexpr int kComboItemHeight = 20;
}  // namespace

// ------------------------------------------------------------------ SkinMenu

SkinMenu::~SkinMenu() {
  if (menu_) DestroyMenu(menu_);
}

HMENU SkinMenu::detach() {
  HMENU menu = menu_;
  menu_ = nullptr;
  return menu;
}

void SkinMenu::SetImages(int bitmapId) { images_ = loadBitmap(bitmapId); }

bool SkinMenu::AppendItem(UINT flags, UINT commandId, int imageIndex, std::string text) {
  if (!menu_) return false;
  items_.push_back(MenuItemData{imageIndex, std::move(text)});
  return AppendMenuW(menu_, flags, commandId, reinterpret_cast<LPCWSTR>(&items_.back())) != FALSE;
}

bool SkinMenu::owns(ULONG_PTR itemData) const {
  for (const auto& item : items_)
    if (reinterpret_cast<ULONG_PTR>(&item) == itemData) return true;
  return false;
}

bool SkinMenu::measureMenuItem(MEASUREITEMSTRUCT& item) {
  if (!owns(item.itemData)) return false;
  item.itemWidth = 120;
  item.itemHeight = 28;
  return true;
}

bool SkinMenu::drawMenuItem(const DRAWITEMSTRUCT& item) {
  if (!owns(item.itemData)) return false;
  DrawItem(item.hDC, item.rcItem, (item.itemState & ODS_SELECTED) != 0,
           *reinterpret_cast<const MenuItemData*>(item.itemData));
  return true;
}

void SkinMenu::DrawItem(HDC dc, const RECT& rect, bool selected, const MenuItemData& data) const {
  ui::SavedDc saved(dc);
  RECT picture{rect.left, rect.top, rect.left + 28, rect.top + 28};
  RECT text{rect.left + 28, rect.top, rect.right, rect.bottom};
  SetBkMode(dc, TRANSPARENT);
  ui::fillSolid(dc, rect, RGB(255, 255, 255));
  ui::fillSolid(dc, picture, kMenuPictureColumn);
  if (selected) {
    RECT band = rect;
    InflateRect(&band, -1, -1);
    ui::fillSolid(dc, band, kMenuOutline);
    InflateRect(&band, -1, -1);
    ui::fillSolid(dc, band, kMenuFill);
  }
  // Black in both states: the system's highlight text colour (white) would
  // vanish on the pale selection fill.
  SetTextColor(dc, RGB(0, 0, 0));
  copyKeyed(dc, rect.left + 2, rect.top + 2, 24, 24, images_.get(), 24 * data.imageIndex, 0, RGB(255, 255, 255));
  std::wstring wide = ui::toWide(data.text);
  DrawTextW(dc, wide.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// ------------------------------------------------------------------ SkinComboBox

SkinComboBox::SkinComboBox()
    : normalBrush_(CreateSolidBrush(RGB(255, 255, 255))),
      focusBrush_(CreateSolidBrush(kComboFocus)),
      font_(ui::pointFont(9, L"\u5b8b\u4f53")) {}

SkinComboBox::~SkinComboBox() {
  if (icons_) ImageList_Destroy(icons_);
}

void SkinComboBox::SetIconList(HIMAGELIST list) {
  if (icons_) ImageList_Destroy(icons_);
  icons_ = list ? ImageList_Duplicate(list) : nullptr;
}

bool SkinComboBox::Create(HWND parent, int id, const RECT& rect) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE |
                CBS_HASSTRINGS;
  return create(L"ComboBox", L"", style, rect, parent, id);
}

void SkinComboBox::onAttach() { SendMessageW(handle(), CB_SETITEMHEIGHT, 0, kComboItemHeight); }

bool SkinComboBox::measureItem(MEASUREITEMSTRUCT& item) {
  item.itemHeight = kComboItemHeight;
  return true;
}

void SkinComboBox::drawIcon(HDC dc, int index, int x, int y) const {
  if (!icons_ || index < 0 || index >= ImageList_GetImageCount(icons_)) return;
  HICON icon = ImageList_GetIcon(icons_, index, ILD_NORMAL);
  if (!icon) return;
  DrawIconEx(dc, x, y, icon, 16, 16, 0, nullptr, DI_NORMAL);
  DestroyIcon(icon);
}

bool SkinComboBox::drawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return true;
  HDC dc = item.hDC;
  ui::SavedDc saved(dc);
  RECT r = item.rcItem;
  int index = static_cast<int>(item.itemID);
  if (item.itemState & ODS_FOCUS) {
    FillRect(dc, &r, focusBrush_.get());
    SetTextColor(dc, RGB(255, 255, 255));
  } else {
    FillRect(dc, &r, normalBrush_.get());
    SetTextColor(dc, kComboText);
  }
  if (item.itemState != 0) currentIndex_ = index;
  SetBkMode(dc, TRANSPARENT);
  std::wstring text;
  LRESULT length = SendMessageW(handle(), CB_GETLBTEXTLEN, index, 0);
  if (length > 0 && length < 4096) {
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    LRESULT got = SendMessageW(handle(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    if (got > 0) text.assign(buffer.data(), static_cast<size_t>(got));
  }
  drawIcon(dc, index, r.left + 2, r.top + 1);
  r.left = 26;
  DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  return true;
}

void SkinComboBox::PaintFace(HDC dc, RECT client) {
  ui::SavedDc saved(dc);
  {
    ui::Bitmap left = loadBitmap(IDB_COMBO_LEFT);
    ui::Bitmap right = loadBitmap(IDB_COMBO_RIGHT);
    ui::Bitmap middle = loadBitmap(IDB_COMBO_MIDDLE);
    SIZE leftSize = ui::bitmapSize(left.get()), rightSize = ui::bitmapSize(right.get());
    SIZE middleSize = ui::bitmapSize(middle.get());
    copyPlain(dc, client.left, client.top + 1, leftSize.cx, leftSize.cy, left.get(), 0, 0);
    copyPlain(dc, client.right - rightSize.cx, client.top + 1, rightSize.cx, rightSize.cy, right.get(), 0, 0);
    stretchWhole(dc, client.left + leftSize.cx, client.top + 1, client.right - rightSize.cx - client.left - leftSize.cx,
                 middleSize.cy, middle.get());
  }
  drawIcon(dc, currentIndex_, client.left + 4, client.top + 4);
  client.left += 24;
  ui::Selection font(dc, font_.get());
  SetTextColor(dc, kComboText);
  SetBkMode(dc, TRANSPARENT);
  std::wstring text = ui::toWide(ui::windowText(handle(), 260));
  DrawTextW(dc, text.c_str(), -1, &client, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

LRESULT SkinComboBox::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return callDefault(message, wParam, lParam);
  ui::PaintDc dc(handle());
  RECT client;
  GetClientRect(handle(), &client);
  PaintFace(dc, client);
  return 0;
}

}  // namespace vantaro::skin
