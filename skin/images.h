#pragma once
// Pictures from the program's own resources, and the copies that put them on
// a device context. A missing picture gives a null handle, and copying a null
// handle draws nothing.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "ui/gdi.h"

struct IStream;

namespace vantaro::skin {

constexpr COLORREF kKeyColour = RGB(255, 0, 255);  // magenta: never painted

ui::Bitmap loadBitmap(int id);
// A shared icon (never destroyed by its user) of size x size pixels.
HICON loadIcon(int id, int size = 16);

// Copies w x h pixels of source at (sx, sy) to (x, y), leaving the key
// colour unpainted.
void copyKeyed(HDC target, int x, int y, int w, int h, HBITMAP source, int sx, int sy, COLORREF key = kKeyColour);
void copyPlain(HDC target, int x, int y, int w, int h, HBITMAP source, int sx, int sy);
// Stretches the whole source bitmap over the rectangle.
void stretchWhole(HDC target, int x, int y, int w, int h, HBITMAP source);

// Draws the PNG resource id (resource type "png", any case) scaled into the
// rectangle; false, with nothing drawn, when it cannot.
bool DrawPngResource(HDC target, int id, int x, int y, int width, int height);

// A COM stream over a private copy of the bytes (freed with the stream), or
// null. The caller releases it.
IStream* streamOverCopy(const void* bytes, size_t size);

}  // namespace vantaro::skin
