#include "skin/buttons.h"

#include <string>

#include "res/resource.h"
#include "skin/images.h"
#include "ui/wide.h"

namespace vantaro::skin {
namespace {

// Draws the control's own text (at most 260 bytes) in its font.
void drawControlText(HDC dc, HWND control, RECT rect, UINT format) {
  std::wstring text = ui::toWide(ui::windowText(control, 260));
  ui::Selection font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &rect, format);
}

void trackMouse(HWND window, DWORD flags, DWORD hoverTime, bool* tracking) {
  TRACKMOUSEEVENT request{sizeof request, flags, window, hoverTime};
  BOOL ok = TrackMouseEvent(&request);
  if (tracking) *tracking = ok != FALSE;
}

bool pointInside(int x, int y, const RECT& rect) {
  return x >= 0 && y >= 0 && x <= rect.right - rect.left && y <= rect.bottom - rect.top;
}

}  // namespace

// ------------------------------------------------------------------ HoverButton

void HoverButton::onAttach() { addStyle(BS_OWNERDRAW); }

LRESULT HoverButton::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (!tracking_) trackMouse(handle(), TME_HOVER | TME_LEAVE, 1, &tracking_);
      break;
    case WM_MOUSEHOVER:
      hover_ = true;
      InvalidateRect(handle(), nullptr, TRUE);
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      hover_ = false;
      InvalidateRect(handle(), nullptr, TRUE);
      return 0;
    default:
      break;
  }
  return callDefault(message, wParam, lParam);
}

// ------------------------------------------------------------------ SkinButton

SkinButton::SkinButton() : strip_(loadBitmap(IDB_BUTTON_STRIP)) {}

HICON SkinButton::SetIcon(int iconId) {
  HICON icon = loadIcon(iconId, 16);
  icon_ = icon;
  hasIcon_ = true;
  return icon;
}

bool SkinButton::drawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  ui::SavedDc saved(dc);
  int row = (item.itemState & ODS_SELECTED) ? 60 : hovering() ? 30 : 0;
  copyKeyed(dc, 0, 0, 82, 30, strip_.get(), 0, row);
  SetBkMode(dc, TRANSPARENT);
  RECT text = item.rcItem;
  if (hasIcon_) {
    DrawIconEx(dc, item.rcItem.left + 6, item.rcItem.top + 7, icon_.load(), 16, 16, 0, nullptr, DI_NORMAL);
    text.left += 20;
  }
  drawControlText(dc, item.hwndItem, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return true;
}

// ------------------------------------------------------------------ CaptionButton

void CaptionButton::SetImages(int normalId, int hoverId, int pressedId) {
  normalImage_.reset();
  hoverImage_.reset();
  pressedImage_.reset();
  normalImage_ = loadBitmap(normalId);
  hoverImage_ = loadBitmap(hoverId);
  pressedImage_ = loadBitmap(pressedId);
}

bool CaptionButton::Create(HWND parent, int commandId, const RECT& rect) {
  return create(L"Button", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, rect, parent, commandId);
}

bool CaptionButton::drawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  ui::SavedDc saved(dc);
  HBITMAP image = (item.itemState & ODS_SELECTED) ? pressedImage_.get()
                  : hovering()                    ? hoverImage_.get()
                                                  : normalImage_.get();
  const RECT& r = item.rcItem;
  copyKeyed(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, image, r.left, r.top);
  SetBkMode(dc, TRANSPARENT);
  drawControlText(dc, item.hwndItem, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return true;
}

// ------------------------------------------------------------------ SkinCheckBox

SkinCheckBox::SkinCheckBox() : strip_(loadBitmap(IDB_CHECK_STRIP)) {}

void SkinCheckBox::onAttach() { addStyle(BS_OWNERDRAW); }

bool SkinCheckBox::drawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  ui::SavedDc saved(dc);
  copyPlain(dc, 0, 0, 13, 13, strip_.get(), phases_.frameOffset(), 0);
  RECT text = item.rcItem;
  text.left += 15;
  drawControlText(dc, item.hwndItem, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return true;
}

void SkinCheckBox::repaint(Repaint how) {
  if (how != Repaint::None) InvalidateRect(handle(), nullptr, how == Repaint::WithErase);
}

void SkinCheckBox::notifyClick() {
  SendMessageW(GetParent(handle()), WM_COMMAND, MAKEWPARAM(id(), BN_CLICKED), reinterpret_cast<LPARAM>(handle()));
}

LRESULT SkinCheckBox::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case BM_SETCHECK:
      phases_.checked = wParam == BST_CHECKED;
      return 0;
    case BM_GETCHECK:
      return phases_.checked ? BST_CHECKED : BST_UNCHECKED;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second press of a double click is a press too
      phases_.press();
      SetCapture(handle());
      break;
    case WM_MOUSEMOVE: {
      RECT window;
      GetWindowRect(handle(), &window);
      repaint(phases_.move(pointInside(x, y, window)));
      trackMouse(handle(), TME_LEAVE, 0, nullptr);
      break;
    }
    case WM_MOUSELEAVE:
      phases_.leave();
      repaint(Repaint::WithErase);
      return 0;
    case WM_LBUTTONUP: {
      RECT client;
      GetClientRect(handle(), &client);
      bool clicked = phases_.release(pointInside(x, y, client));
      // Ends our capture and with it the standard button's pushed state, so
      // that it reports no click of its own.
      ReleaseCapture();
      repaint(Repaint::WithErase);
      if (clicked) notifyClick();
      break;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
      // The space bar toggles the box like a click; the standard button would
      // report a click without it.
      if (wParam == VK_SPACE) {
        if (message == WM_KEYUP) {
          phases_.checked = !phases_.checked;
          repaint(Repaint::WithErase);
          notifyClick();
        }
        return 0;
      }
      break;
    default:
      break;
  }
  return callDefault(message, wParam, lParam);
}

}  // namespace vantaro::skin
