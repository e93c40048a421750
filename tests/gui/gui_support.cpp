#include "gui_support.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/owner_draw.h"

namespace vantaro::guitest {

Surface::Surface(int width, int height, COLORREF fill) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  previous_ = SelectObject(dc_, bitmap_);
  HBRUSH brush = CreateSolidBrush(fill);
  RECT all{0, 0, width, height};
  FillRect(dc_, &all, brush);
  DeleteObject(brush);
}

Surface::~Surface() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

COLORREF Surface::at(int x, int y) const {
  GdiFlush();
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  uint32_t v = bits_[static_cast<size_t>(y) * width_ + x];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

RECT Surface::darkBox(const RECT& area, int threshold) const {
  RECT box{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (brightness(at(x, y)) < threshold) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

bool Surface::contains(COLORREF colour) const {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      if (at(x, y) == colour) return true;
  return false;
}

ResourcePixels::ResourcePixels(int bitmapId) {
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = LoadBitmapW(ui::Application::instance(), MAKEINTRESOURCEW(bitmapId));
  previous_ = SelectObject(dc_, bitmap_);
  BITMAP info{};
  GetObjectW(bitmap_, sizeof info, &info);
  size_ = SIZE{info.bmWidth, info.bmHeight};
}

ResourcePixels::~ResourcePixels() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

HostWindow::HostWindow(int width, int height) {
  static ATOM registered = [] {
    WNDCLASSW cls{};
    cls.lpfnWndProc = &HostWindow::proc;
    cls.hInstance = ui::Application::instance();
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    cls.lpszClassName = L"VantaroTestHost";
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    return RegisterClassW(&cls);
  }();
  (void)registered;
  window_ = CreateWindowExW(0, L"VantaroTestHost", L"host", WS_POPUP | WS_CLIPCHILDREN, 20, 20, width,
                            height, nullptr, nullptr, ui::Application::instance(), this);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"\u5b8b\u4f53");
}

HostWindow::~HostWindow() {
  DestroyWindow(window_);
  DeleteObject(font_);
}

HWND HostWindow::addChild(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, int id) {
  HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui::Application::instance(), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return child;
}

LRESULT CALLBACK HostWindow::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_DRAWITEM:
      if (lParam && ui::reflectDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_MEASUREITEM:
      if (lParam && ui::reflectMeasureItem(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_COMMAND:
      if (self) self->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

size_t gdiObjectCount() {
  DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported) return reported;
  size_t live = 0;
  for (uintptr_t index = 0; index < 0x10000; ++index)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++live;
  return live;
}

void pumpMessages() {
  MSG message;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(1);
  }
}

}  // namespace vantaro::guitest
