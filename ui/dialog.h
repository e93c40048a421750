#pragma once
// A dialog made from a template resource. Before the derived class sees
// onInitDialog(), every control registered with bind() is taken over by its
// widget (subclassing). Owner-draw and measure requests are reflected to the
// controls that draw themselves. Messages go through the derived class's
// message table (see MappedDialog). The modal loop is our own, so that
// preTranslateMessage() sees every message first (tool-tip relay, Enter and
// Escape swallowed).

#include <windows.h>

#include <functional>
#include <vector>

#include "ui/control.h"
#include "ui/message_table.h"
#include "ui/posted_work.h"
#include "ui/tool_tip.h"

namespace vantaro::ui {

class Dialog {
 public:
  explicit Dialog(int templateId, HWND parent = nullptr);
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();

  // Shows the dialog and returns when endDialog() was called (or the window
  // was destroyed); the parent is disabled meanwhile. -1 when the template
  // cannot be made into a window.
  intptr_t runModal();
  // Creates the window without a loop of its own; the caller's loop should
  // pass each message to filterMessage() first.
  bool createModeless();
  bool filterMessage(MSG& message);
  void endDialog(intptr_t result);

  HWND handle() const { return window_; }
  HWND item(int id) const { return GetDlgItem(window_, id); }

  // Runs work on the dialog's thread; safe from any thread. False once the
  // window is gone.
  bool post(std::function<void()> work) { return work_.post(std::move(work)); }

  void centreOnScreen();
  void makeTopmost();

 protected:
  void bind(int controlId, Control& control);
  virtual bool onInitDialog() { return true; }
  // The derived class's message table; true when handled.
  virtual bool dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
  // True when the message is consumed and must not be dispatched.
  virtual bool preTranslateMessage(MSG& message);

  ToolTip& toolTip() { return toolTip_; }

 private:
  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND parent_;
  HWND window_ = nullptr;
  bool modal_ = false;
  bool ended_ = false;
  intptr_t result_ = 0;
  std::vector<std::pair<int, Control*>> bindings_;
  PostedWork work_;
  ToolTip toolTip_;
};

// Routes dispatch() to T::messageTable().
template <class T>
class MappedDialog : public Dialog {
 public:
  using Dialog::Dialog;

 protected:
  bool dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    return T::messageTable().dispatch(static_cast<T&>(*this), message, wParam, lParam, result);
  }
};

}  // namespace vantaro::ui
