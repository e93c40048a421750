#include "skin/images.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <memory>

#include "ui/application.h"

namespace vantaro::skin {

ui::Bitmap loadBitmap(int id) {
  return ui::Bitmap(LoadBitmapW(ui::Application::instance(), MAKEINTRESOURCEW(id)));
}

HICON loadIcon(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(ui::Application::instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_SHARED));
}

void copyKeyed(HDC target, int x, int y, int w, int h, HBITMAP source, int sx, int sy, COLORREF key) {
  if (!source || w <= 0 || h <= 0) return;
  ui::MemoryDc memory(target);
  ui::Selection selected(memory, source);
  TransparentBlt(target, x, y, w, h, memory, sx, sy, w, h, key);
}

void copyPlain(HDC target, int x, int y, int w, int h, HBITMAP source, int sx, int sy) {
  if (!source || w <= 0 || h <= 0) return;
  ui::MemoryDc memory(target);
  ui::Selection selected(memory, source);
  BitBlt(target, x, y, w, h, memory, sx, sy, SRCCOPY);
}

void stretchWhole(HDC target, int x, int y, int w, int h, HBITMAP source) {
  SIZE size = ui::bitmapSize(source);
  if (!source || w <= 0 || h <= 0 || size.cx <= 0 || size.cy <= 0) return;
  ui::MemoryDc memory(target);
  ui::Selection selected(memory, source);
  int oldMode = SetStretchBltMode(target, COLORONCOLOR);
  StretchBlt(target, x, y, w, h, memory, 0, 0, size.cx, size.cy, SRCCOPY);
  SetStretchBltMode(target, oldMode);
}

IStream* streamOverCopy(const void* bytes, size_t size) {
  if (!bytes || size == 0) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  void* locked = GlobalLock(block);
  if (!locked) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(locked, bytes, size);
  GlobalUnlock(block);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
    GlobalFree(block);
    return nullptr;
  }
  return stream;
}

bool DrawPngResource(HDC target, int id, int x, int y, int width, int height) {
  Gdiplus::Graphics graphics(target);
  HINSTANCE module = ui::Application::instance();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"png");
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, found);
  if (!bytes || size == 0) return false;
  IStream* stream = streamOverCopy(bytes, size);
  if (!stream) return false;
  std::unique_ptr<Gdiplus::Image> image(Gdiplus::Image::FromStream(stream));
  bool drawn = image && image->GetLastStatus() == Gdiplus::Ok &&
               graphics.DrawImage(image.get(), x, y, width, height) == Gdiplus::Ok;
  image.reset();
  stream->Release();
  return drawn;
}

}  // namespace vantaro::skin
