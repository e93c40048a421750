#include "ui/owner_draw.h"

#include <algorithm>
#include <vector>

#include "ui/control.h"

namespace vantaro::ui {
namespace {
thread_local std::vector<OwnerDrawMenu*> liveMenus;
}

OwnerDrawMenu::OwnerDrawMenu() { liveMenus.push_back(this); }

OwnerDrawMenu::~OwnerDrawMenu() { liveMenus.erase(std::remove(liveMenus.begin(), liveMenus.end(), this), liveMenus.end()); }

bool reflectDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_MENU) {
    for (auto it = liveMenus.rbegin(); it != liveMenus.rend(); ++it)
      if ((*it)->drawMenuItem(item)) return true;
    return false;
  }
  Control* control = Control::fromHandle(item.hwndItem);
  return control && control->drawItem(item);
}

bool reflectMeasureItem(HWND parent, MEASUREITEMSTRUCT& item) {
  if (item.CtlType == ODT_MENU) {
    for (auto it = liveMenus.rbegin(); it != liveMenus.rend(); ++it)
      if ((*it)->measureMenuItem(item)) return true;
    return false;
  }
  Control* control = Control::fromHandle(GetDlgItem(parent, static_cast<int>(item.CtlID)));
  return control && control->measureItem(item);
}

}  // namespace vantaro::ui
