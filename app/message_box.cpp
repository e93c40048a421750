#include "app/message_box.h"

#include <windows.h>

#include "app/web_hosts.h"
#include "res/resource.h"
#include "ui/application.h"
#include "ui/wide.h"

namespace vantaro::app {
namespace {

thread_local HHOOK boxHook = nullptr;

// Puts the box at the top as it is activated. The box asks for that itself
// (MB_TOPMOST), but not every platform honours it, and the main window stays
// above other windows: the box would open behind it.
LRESULT CALLBACK raiseBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE)
    SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

}  // namespace

std::string ApplicationBoxTitle(const std::string& word) {
  return word + " - 【" + kMakerDomain + "】";
}

void ShowApplicationBox(const std::string& text, const std::string& titleWord) {
  std::wstring wideText = ui::toWide(text);
  std::wstring wideTitle = ui::toWide(ApplicationBoxTitle(titleWord));
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = nullptr;
  box.hInstance = ui::Application::instance();
  box.lpszText = wideText.c_str();
  box.lpszCaption = wideTitle.c_str();
  box.dwStyle = MB_OK | MB_USERICON | MB_TOPMOST | MB_SETFOREGROUND;
  box.lpszIcon = MAKEINTRESOURCEW(IDI_APP);
  HHOOK outer = boxHook;
  boxHook = SetWindowsHookExW(WH_CBT, &raiseBox, nullptr, GetCurrentThreadId());
  MessageBoxIndirectW(&box);
  if (boxHook) UnhookWindowsHookEx(boxHook);
  boxHook = outer;
}

}  // namespace vantaro::app
