#include "skin/border.h"

#include "ui/gdi.h"

namespace vantaro::skin {

void DrawBorderOnParent(HWND control, HPEN pen, bool openRight) {
  HWND parent = GetParent(control);
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  r.left -= 1;
  r.top -= 2;
  r.right += 1;
  r.bottom += 1;
  ui::WindowDc dc(parent);
  ui::Selection selected(dc, pen);
  MoveToEx(dc, r.left, r.top, nullptr);
  LineTo(dc, r.right, r.top);
  if (openRight)
    MoveToEx(dc, r.right, r.bottom, nullptr);
  else
    LineTo(dc, r.right, r.bottom);
  LineTo(dc, r.left, r.bottom);
  LineTo(dc, r.left, r.top);
}

}  // namespace vantaro::skin
