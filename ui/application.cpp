#include "ui/application.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

namespace vantaro::ui {

Application::Application() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) gdiplusToken_ = token;
}

Application::~Application() {
  if (gdiplusToken_) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

HINSTANCE Application::instance() { return GetModuleHandleW(nullptr); }

}  // namespace vantaro::ui
