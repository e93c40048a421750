#include "skin/package_icon_view.h"

#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "res/resource.h"
#include "skin/images.h"

namespace vantaro::skin {

PackageIconView::PackageIconView() : fallback_(loadBitmap(IDB_DEFAULT_PACKAGE)) {}

void PackageIconView::SetImage(const uint8_t* bytes, uint32_t size) {
  imageBytes_ = bytes;
  imageSize_ = bytes ? size : 0;
  if (handle()) InvalidateRect(handle(), nullptr, FALSE);
}

bool PackageIconView::PaintTo(HDC dc) const {
  RECT square{0, 0, 48, 48};
  ui::fillSolid(dc, square, RGB(255, 255, 255));
  Gdiplus::Graphics graphics(dc);
  IStream* stream = streamOverCopy(imageBytes_, imageSize_);
  std::unique_ptr<Gdiplus::Bitmap> image;
  if (stream) image.reset(Gdiplus::Bitmap::FromStream(stream));
  bool decoded = image && image->GetLastStatus() == Gdiplus::Ok && image->GetWidth() != 0;
  if (!decoded) image.reset(Gdiplus::Bitmap::FromHBITMAP(fallback_.get(), nullptr));
  if (image && image->GetLastStatus() == Gdiplus::Ok) graphics.DrawImage(image.get(), 0, 0, 48, 48);
  image.reset();
  if (stream) stream->Release();
  return decoded;
}

LRESULT PackageIconView::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return callDefault(message, wParam, lParam);
  ui::PaintDc dc(handle());
  PaintTo(dc);
  return 0;
}

}  // namespace vantaro::skin
