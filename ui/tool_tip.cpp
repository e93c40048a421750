#include "ui/tool_tip.h"

#include <commctrl.h>

#include <string>

#include "ui/application.h"
#include "ui/wide.h"

namespace vantaro::ui {

ToolTip::~ToolTip() { destroy(); }

void ToolTip::destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

bool ToolTip::create(HWND owner) {
  if (window_) return true;
  owner_ = owner;
  window_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, Application::instance(),
                            nullptr);
  return window_ != nullptr;
}

bool ToolTip::addTool(HWND tool, std::string_view text) {
  if (!window_ || !tool) return false;
  std::wstring wide = toWide(text);
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = wide.data();
  return SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

void ToolTip::activate(bool active) {
  if (window_) SendMessageW(window_, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

void ToolTip::relay(const MSG& message) {
  if (!window_) return;
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: {
      MSG copy = message;
      SendMessageW(window_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
      break;
    }
    default:
      break;
  }
}

}  // namespace vantaro::ui
