#pragma once
// The report tree, painted entirely by us, and the bitmap scroll bars laid
// over a list's or tree's own scroll bars.

#include <windows.h>

#include "ui/control.h"
#include "ui/gdi.h"

namespace vantaro::skin {

enum class BarKind { Horizontal = 0, Vertical = 1 };

// Where the parts of a scroll bar lie, along the bar (length) and across it.
struct BarGeometry {
  int length = 0;           // H of a vertical bar, width of a horizontal one
  int thickness = 0;        // across the bar
  int arrow = 0;            // the system's arrow size along the bar
  int systemThickness = 0;  // the system's bar thickness
  int lineSize = 0;         // the line-button size reported for the bar
  int thumbStart = 0;
  int thumbEnd = 0;
};

// A static window laid exactly over the owner's scroll bar. Being a static
// without notification style it lets the pointer through to the real bar.
class ScrollBarOverlay : public ui::Control {
 public:
  bool Attach(HWND owner, BarKind kind);
  // Re-places and repaints the overlay; the owner calls it after each paint.
  void Update();

  // Paints a bar of the given kind onto dc at (0, 0).
  static void PaintBar(HDC dc, BarKind kind, const BarGeometry& bar);
  // Only bars longer than this show a thumb.
  static constexpr int kThumbMinimum = 45;

 protected:
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool barInfo(SCROLLBARINFO& info) const;

  HWND owner_ = nullptr;
  BarKind kind_ = BarKind::Vertical;
};

class SkinTreeView : public ui::Control {
 public:
  SkinTreeView();

  // Draws the visible items onto dc (a white, client-sized surface).
  void PaintItems(HDC dc);

  static constexpr int kBandRight = 500;

 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void paint();
  void drawBorder();

  ScrollBarOverlay horizontalBar_;
  ScrollBarOverlay verticalBar_;
  ui::Font font_;
  ui::Pen borderPen_;
  ui::Bitmap images_;
};

}  // namespace vantaro::skin
