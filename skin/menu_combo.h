#pragma once
// The owner-drawn popup menu with 24 x 24 item pictures, and the drop-down
// list with a 16 x 16 icon per item.

#include <windows.h>
#include <commctrl.h>

#include <list>
#include <string>

#include "ui/control.h"
#include "ui/gdi.h"
#include "ui/owner_draw.h"

namespace vantaro::skin {

struct MenuItemData {
  int imageIndex;    // frame of the picture strip
  std::string text;  // GBK
};

// Lives for one popup: created by the command handler, given the popup, the
// picture strip and the items, then tracked. Its owner window reflects the
// measure and draw requests to it (ui::Dialog does).
class SkinMenu : public ui::OwnerDrawMenu {
 public:
  SkinMenu() = default;
  ~SkinMenu() override;

  void attach(HMENU menu) { menu_ = menu; }
  HMENU detach();
  HMENU handle() const { return menu_; }

  void SetImages(int bitmapId);
  // flags should include MF_OWNERDRAW.
  bool AppendItem(UINT flags, UINT commandId, int imageIndex, std::string text);

  bool measureMenuItem(MEASUREITEMSTRUCT& item) override;
  bool drawMenuItem(const DRAWITEMSTRUCT& item) override;
  // One item onto dc.
  void DrawItem(HDC dc, const RECT& rect, bool selected, const MenuItemData& data) const;

 private:
  bool owns(ULONG_PTR itemData) const;

  HMENU menu_ = nullptr;
  ui::Bitmap images_;
  std::list<MenuItemData> items_;
};

// An owner-drawn drop-down list (template style CBS_DROPDOWNLIST with fixed
// owner-draw items and stored strings).
class SkinComboBox : public ui::Control {
 public:
  SkinComboBox();
  ~SkinComboBox() override;

  // Keeps a private copy of list (16 x 16 icons, index = item index).
  void SetIconList(HIMAGELIST list);
  // Creates the box by code: a drop-down list of variable-height owner-drawn
  // items with stored strings (each measured at 20 pixels).
  bool Create(HWND parent, int id, const RECT& rect);

  int currentIndex() const { return currentIndex_; }

  bool drawItem(const DRAWITEMSTRUCT& item) override;
  bool measureItem(MEASUREITEMSTRUCT& item) override;
  // The closed face onto dc, within client.
  void PaintFace(HDC dc, RECT client);

 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void drawIcon(HDC dc, int index, int x, int y) const;

  HIMAGELIST icons_ = nullptr;
  ui::Brush normalBrush_;
  ui::Brush focusBrush_;
  int currentIndex_ = 0;
  ui::Font font_;
};

}  // namespace vantaro::skin
