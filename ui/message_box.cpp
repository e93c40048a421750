#include "ui/message_box.h"

#include "ui/application.h"

namespace vantaro::ui {
namespace {

thread_local HHOOK boxHook = nullptr;

// Puts the box at the top as it is activated. The box asks for that itself
// (MB_TOPMOST), but not every platform honours it (Wine does not), and the
// main window stays above other windows: the box would open behind it.
LRESULT CALLBACK raiseBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE)
    SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

}  // namespace

int ShowTopmostMessageBox(const std::wstring& text, const std::wstring& title, UINT style, int iconId) {
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = nullptr;
  box.hInstance = Application::instance();
  box.lpszText = text.c_str();
  box.lpszCaption = title.c_str();
  box.dwStyle = style | MB_USERICON | MB_TOPMOST;
  box.lpszIcon = MAKEINTRESOURCEW(iconId);
  HHOOK outer = boxHook;
  boxHook = SetWindowsHookExW(WH_CBT, &raiseBox, nullptr, GetCurrentThreadId());
  int result = MessageBoxIndirectW(&box);
  if (boxHook) UnhookWindowsHookEx(boxHook);
  boxHook = outer;
  return result;
}

}  // namespace vantaro::ui
