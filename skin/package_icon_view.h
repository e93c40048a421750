#pragma once
// The 48 x 48 picture of the opened package's own icon, decoded from its
// bytes; the default package picture (bitmap 225) when there are none or
// they do not decode.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "ui/control.h"
#include "ui/gdi.h"

namespace vantaro::skin {

class PackageIconView : public ui::Control {
 public:
  PackageIconView();

  // The caller keeps the bytes alive and unchanged while the view may paint
  // them.
  void SetImage(const uint8_t* bytes, uint32_t size);
  // Paints onto dc at (0, 0); true when the bytes decoded, false when the
  // default picture was shown.
  bool PaintTo(HDC dc) const;

 protected:
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Bitmap fallback_;
  const uint8_t* imageBytes_ = nullptr;
  uint32_t imageSize_ = 0;
};

}  // namespace vantaro::skin
