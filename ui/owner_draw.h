#pragma once
// Owner-draw and measure requests arrive at the parent window; these hand
// them to whatever draws itself: the control of ours behind the item's window,
// or an owner-drawn popup menu that is alive on this thread.

#include <windows.h>

namespace vantaro::ui {

class OwnerDrawMenu {
 public:
  OwnerDrawMenu(const OwnerDrawMenu&) = delete;
  OwnerDrawMenu& operator=(const OwnerDrawMenu&) = delete;

  // Return false for items that are not this menu's.
  virtual bool measureMenuItem(MEASUREITEMSTRUCT& item) = 0;
  virtual bool drawMenuItem(const DRAWITEMSTRUCT& item) = 0;

 protected:
  OwnerDrawMenu();  // registered with this thread while alive
  virtual ~OwnerDrawMenu();
};

// For WM_DRAWITEM / WM_MEASUREITEM received by parent; true when handled.
bool reflectDrawItem(const DRAWITEMSTRUCT& item);
bool reflectMeasureItem(HWND parent, MEASUREITEMSTRUCT& item);

}  // namespace vantaro::ui
