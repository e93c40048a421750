#include "ui/control.h"

#include <commctrl.h>

#include "ui/application.h"

namespace vantaro::ui {
namespace {
constexpr UINT_PTR kSubclassId = 0x56414E54;  // one subclass of ours per window
const wchar_t kOwnerProperty[] = L"Vantaro.Control";  // the Control behind a window
}

Control::~Control() { detach(); }

bool Control::attach(HWND window) {
  if (!window || window_ || fromHandle(window)) return false;
  window_ = window;
  onAttach();
  if (!SetPropW(window, kOwnerProperty, this) ||
      !SetWindowSubclass(window, &Control::subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    RemovePropW(window, kOwnerProperty);
    window_ = nullptr;
    return false;
  }
  return true;
}

bool Control::create(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, HWND parent,
                     int id, DWORD exStyle) {
  HWND window = CreateWindowExW(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                Application::instance(), nullptr);
  if (!window) return false;
  if (!attach(window)) {
    DestroyWindow(window);
    return false;
  }
  return true;
}

void Control::detach() {
  if (!window_) return;
  RemoveWindowSubclass(window_, &Control::subclassProc, kSubclassId);
  RemovePropW(window_, kOwnerProperty);
  window_ = nullptr;
}

Control* Control::fromHandle(HWND window) {
  return window ? static_cast<Control*>(GetPropW(window, kOwnerProperty)) : nullptr;
}

LRESULT Control::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return callDefault(message, wParam, lParam);
}

LRESULT Control::callDefault(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(window_, message, wParam, lParam);
}

void Control::addStyle(DWORD bits) {
  SetWindowLongPtrW(window_, GWL_STYLE, GetWindowLongPtrW(window_, GWL_STYLE) | static_cast<LONG_PTR>(bits));
}

LRESULT CALLBACK Control::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self) {
  auto* control = reinterpret_cast<Control*>(self);
  if (message == WM_NCDESTROY) {
    LRESULT result = control->windowProc(message, wParam, lParam);
    control->detach();
    return result;
  }
  return control->windowProc(message, wParam, lParam);
}

}  // namespace vantaro::ui
