#include "skin/frame_skin.h"

#include "res/resource.h"
#include "skin/buttons.h"
#include "skin/images.h"
#include "ui/wide.h"

namespace vantaro::skin {

FrameSkin::FrameSkin(std::string title)
    : captionFont_(CreateFontW(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial")),
      title_(std::move(title)) {}

void FrameSkin::SetPiece(FrameSlot slot, int bitmapId) {
  Piece& p = pieces_[static_cast<size_t>(slot)];
  p.bitmap = loadBitmap(bitmapId);
  SIZE size = ui::bitmapSize(p.bitmap.get());
  p.width = size.cx;
  p.height = size.cy;
}

void FrameSkin::SetStandardPieces() {
  SetPiece(FrameSlot::TopLeft, IDB_FRAME_TOP_LEFT);
  SetPiece(FrameSlot::TopEdge, IDB_FRAME_TOP);
  SetPiece(FrameSlot::TopRight, IDB_FRAME_TOP_RIGHT);
  SetPiece(FrameSlot::LeftEdge, IDB_FRAME_LEFT);
  SetPiece(FrameSlot::Inner, IDB_FRAME_INNER);
  SetPiece(FrameSlot::RightEdge, IDB_FRAME_RIGHT);
  SetPiece(FrameSlot::BottomLeft, IDB_FRAME_BOTTOM_LEFT);
  SetPiece(FrameSlot::BottomEdge, IDB_FRAME_BOTTOM);
  SetPiece(FrameSlot::BottomRight, IDB_FRAME_BOTTOM_RIGHT);
}

bool FrameSkin::AddCaptionButton(CaptionButton& button, HWND dialog, int commandId, int fromRight, int normalId,
                                 int hoverId, int pressedId) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT at{client.right - fromRight, 0, client.right - fromRight + 18, 18};
  if (!button.Create(dialog, commandId, at)) return false;
  button.SetImages(normalId, hoverId, pressedId);
  buttons_.push_back({button.handle(), fromRight});
  return true;
}

void FrameSkin::Paint(HWND window) {
  ui::PaintDc paint(window);
  RECT client;
  GetClientRect(window, &client);
  int width = client.right, height = client.bottom;
  for (const auto& button : buttons_) {
    if (IsWindow(button.window))
      SetWindowPos(button.window, nullptr, width - button.fromRight, 10, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (width <= 0 || height <= 0) return;
  ui::MemoryDc offscreen(paint);
  ui::Bitmap image(CreateCompatibleBitmap(paint, width, height));
  if (!offscreen.get() || !image) return;
  ui::Selection selected(offscreen, image.get());
  PaintTo(offscreen, width, height);
  BitBlt(paint, 0, 0, width, height, offscreen, 0, 0, SRCCOPY);
}

void FrameSkin::drawOnce(HDC dc, const Piece& piece, int x, int y) {
  copyPlain(dc, x, y, piece.width, piece.height, piece.bitmap.get(), 0, 0);
}

void FrameSkin::drawTiled(HDC dc, const Piece& piece, int x0, int x1, int y0, int y1) {
  if (!piece.bitmap || piece.width <= 0 || piece.height <= 0) return;
  ui::MemoryDc memory(dc);
  ui::Selection selected(memory, piece.bitmap.get());
  for (int y = y0; y < y1; y += piece.height)
    for (int x = x0; x < x1; x += piece.width) BitBlt(dc, x, y, piece.width, piece.height, memory, 0, 0, SRCCOPY);
}

void FrameSkin::PaintTo(HDC dc, int width, int height) const {
  const int W = width, H = height;
  {
    ui::Selection pen(dc, GetStockObject(BLACK_PEN));
    ui::Selection brush(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 0, 0, W, H);
  }
  const Piece& tl = piece(FrameSlot::TopLeft);
  const Piece& t = piece(FrameSlot::TopEdge);
  const Piece& tr = piece(FrameSlot::TopRight);
  const Piece& l = piece(FrameSlot::LeftEdge);
  const Piece& in = piece(FrameSlot::Inner);
  const Piece& r = piece(FrameSlot::RightEdge);
  const Piece& bl = piece(FrameSlot::BottomLeft);
  const Piece& b = piece(FrameSlot::BottomEdge);
  const Piece& br = piece(FrameSlot::BottomRight);

  drawOnce(dc, in, W - in.width - r.width, H - in.height - b.height);
  drawOnce(dc, tl, 0, 0);
  drawTiled(dc, t, tl.width, W - tr.width, 0, t.height);
  drawOnce(dc, tr, W - tr.width, 0);
  drawTiled(dc, l, 0, l.width, tl.height, H - bl.height);
  drawTiled(dc, r, W - r.width, W, tr.height, H - br.height);
  drawOnce(dc, bl, 0, H - bl.height);
  drawTiled(dc, b, bl.width, W - br.width, H - b.height, H);
  drawOnce(dc, br, W - br.width, H - br.height);

  ui::Selection font(dc, captionFont_.get());
  COLORREF oldColour = SetTextColor(dc, RGB(83, 74, 55));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  RECT caption{50, 14, 460, 30};
  std::wstring title = ui::toWide(title_);
  DrawTextW(dc, title.c_str(), -1, &caption, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColour);
}

bool FrameSkin::OnLeftButtonDown(HWND window, POINT point) {
  if (point.y >= kDragBandHeight) return false;
  PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION,
               MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
  return true;
}

bool FrameSkin::HandleMessage(HWND window, UINT message, LPARAM lParam, LRESULT& result) {
  if (message == WM_PAINT) {
    Paint(window);
  } else if (message == WM_LBUTTONDOWN) {
    OnLeftButtonDown(window, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
  } else {
    return false;
  }
  result = 0;
  return true;
}

}  // namespace vantaro::skin
