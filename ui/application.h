#pragma once
// The application object: lives for the whole run of the program. It starts
// the image library (GDI+) and registers the common control classes before
// the first window is made, and shuts the image library down at the end.

#include <windows.h>

#include <cstdint>

namespace vantaro::ui {

class Application {
 public:
  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  ~Application();

  // True while the image library runs.
  bool imagesReady() const { return gdiplusToken_ != 0; }

  // The module whose resources the program uses.
  static HINSTANCE instance();

 private:
  uintptr_t gdiplusToken_ = 0;
};

}  // namespace vantaro::ui
