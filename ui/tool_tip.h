#pragma once
// One tool-tip control per window. The window relays its mouse messages to
// it (relay() from the message loop, before dialog processing).

#include <windows.h>

#include <string_view>

namespace vantaro::ui {

class ToolTip {
 public:
  ToolTip() = default;
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;
  ~ToolTip();

  bool create(HWND owner);
  void destroy();
  // A tip (GBK text) for a child window.
  bool addTool(HWND tool, std::string_view text);
  void activate(bool active);
  // Forwards mouse messages to the tool tip; other messages are ignored.
  void relay(const MSG& message);

  HWND handle() const { return window_; }

 private:
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
};

}  // namespace vantaro::ui
