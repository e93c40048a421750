#pragma once
// A message box without an owner that stays above every window, the
// topmost main window included.

#include <windows.h>

#include <string>

namespace vantaro::ui {

// style: MB_* flags besides MB_TOPMOST and MB_USERICON, which are always
// given; iconId: the icon resource of this program shown in the box.
int ShowTopmostMessageBox(const std::wstring& text, const std::wstring& title, UINT style, int iconId);

}  // namespace vantaro::ui
