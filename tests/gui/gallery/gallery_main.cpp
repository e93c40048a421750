// The widget gallery: every skinned widget in one window (tests and
// screenshots only; never shipped).
#include "gallery/gallery_window.h"
#include "ui/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  vantaro::ui::Application application;
  vantaro::gallery::GalleryWindow window;
  return window.runModal() == IDOK ? 0 : 1;
}
