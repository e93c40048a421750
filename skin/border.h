#pragma once
// The one-pixel frame that the report tree and the list views draw around
// themselves on their parent: one pixel out on the left, right and bottom,
// two above (over the header's top line).

#include <windows.h>

namespace vantaro::skin {

// openRight leaves the right edge undrawn (the essentials list, whose
// scroll bar closes it).
void DrawBorderOnParent(HWND control, HPEN pen, bool openRight = false);

}  // namespace vantaro::skin
