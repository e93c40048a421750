#pragma once
// Each dialog's frame: nine 50 x 50 pieces composed off-screen, the title in
// the caption font, the caption buttons kept at their places, and moving the
// window by its top band.

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "ui/gdi.h"

namespace vantaro::skin {

class CaptionButton;

enum class FrameSlot { TopLeft, TopEdge, TopRight, LeftEdge, Inner, RightEdge, BottomLeft, BottomEdge, BottomRight };

// Presses above this line (client y) move the window.
constexpr int kDragBandHeight = 47;

class FrameSkin {
 public:
  explicit FrameSkin(std::string title);

  // Loads one piece and records its size; a missing bitmap leaves the slot
  // empty (drawing nothing).
  void SetPiece(FrameSlot slot, int bitmapId);
  // The nine pieces every dialog uses, in the usual order.
  void SetStandardPieces();

  // Creates a caption button (command commandId, images normal / hover /
  // pressed) fromRight pixels left of the client's right edge; every paint
  // moves it to (width - fromRight, 10).
  bool AddCaptionButton(CaptionButton& button, HWND dialog, int commandId, int fromRight, int normalId, int hoverId,
                        int pressedId);

  // The dialog's paint handler.
  void Paint(HWND window);
  // Composes frame and title onto dc, a width x height client area.
  void PaintTo(HDC dc, int width, int height) const;

  // The dialog's left-button-down handler: a press in the top band starts
  // moving the window. True when it did.
  bool OnLeftButtonDown(HWND window, POINT point);

  // Paint and left-button-down as the two handlers above; true when message
  // was one of them (result 0).
  bool HandleMessage(HWND window, UINT message, LPARAM lParam, LRESULT& result);

  const std::string& title() const { return title_; }

 private:
  struct Piece {
    ui::Bitmap bitmap;
    int width = 0;
    int height = 0;
  };
  struct PlacedButton {
    HWND window;
    int fromRight;
  };

  const Piece& piece(FrameSlot slot) const { return pieces_[static_cast<size_t>(slot)]; }
  static void drawOnce(HDC dc, const Piece& piece, int x, int y);
  static void drawTiled(HDC dc, const Piece& piece, int x0, int x1, int y0, int y1);

  std::array<Piece, 9> pieces_;
  ui::Font captionFont_;
  std::string title_;
  std::vector<PlacedButton> buttons_;
};

}  // namespace vantaro::skin
