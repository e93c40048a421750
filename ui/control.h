#pragma once
// A window of ours: either a control of a dialog template that we take over
// by subclassing, or a child window we create. Messages reach windowProc();
// whatever it does not handle goes on to the control's own class through
// callDefault(). Owner-draw and measure requests that the parent receives for
// this control are handed back to it (reflected) by ui::Dialog.

#include <windows.h>

namespace vantaro::ui {

class Control {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  // Takes over an existing window. Calls onAttach() first, while the window
  // still behaves as its own class, then installs the subclass.
  bool attach(HWND window);
  // Creates a child window of the given class and takes it over.
  bool create(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, HWND parent,
              int id, DWORD exStyle = 0);
  // Gives the window back to its own class.
  void detach();

  HWND handle() const { return window_; }
  int id() const { return window_ ? GetDlgCtrlID(window_) : 0; }

  // The control of ours that owns a window, or null.
  static Control* fromHandle(HWND window);

  // Reflected requests; return true when handled.
  virtual bool drawItem(const DRAWITEMSTRUCT& item) { return false; }
  virtual bool measureItem(MEASUREITEMSTRUCT& item) { return false; }

 protected:
  virtual void onAttach() {}
  virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);

  void addStyle(DWORD bits);

 private:
  static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  HWND window_ = nullptr;
};

}  // namespace vantaro::ui
