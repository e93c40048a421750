#pragma once
// What the GUI tests share: a memory surface whose pixels can be read, a
// host window for controls, GDI object counting, message pumping.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantaro::guitest {

// A 32-bit top-down DIB section selected into a memory context.
class Surface {
 public:
  Surface(int width, int height, COLORREF fill);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF at(int x, int y) const;
  // Bounding box of the pixels for which dark() holds, within area; empty
  // (right <= left) when there are none.
  RECT darkBox(const RECT& area, int threshold = 200) const;
  bool contains(COLORREF colour) const;

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  uint32_t* bits_ = nullptr;
  int width_, height_;
};

// The pixels of a resource bitmap.
class ResourcePixels {
 public:
  explicit ResourcePixels(int bitmapId);
  ~ResourcePixels();
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
  SIZE size() const { return size_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  SIZE size_;
};

// A hidden top-level window that reflects owner-draw requests to our
// controls and records the WM_COMMAND notifications it receives.
class HostWindow {
 public:
  HostWindow(int width, int height);
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();

  HWND handle() const { return window_; }
  HWND addChild(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, int id);
  // Commands received so far: (id, code) pairs.
  std::vector<std::pair<int, int>> commands;

 private:
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_;
  HFONT font_;
};

// GDI objects of this process: GetGuiResources where it answers, else (under
// Wine, where it always says 0) a count of the live handles in the table.
size_t gdiObjectCount();
void pumpMessages();
inline int brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

}  // namespace vantaro::guitest
