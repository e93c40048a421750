#pragma once
// Where the main window meets the dialogs of the device chooser, the
// essentials bundle and the settings. Each is one function, so that a
// dialog plugs in with a one-line change here.

#include <windows.h>

#include <string>
#include <vector>

namespace vantaro::app {

// "设备管理": the device chooser, run modally; it sets CurrentDevice itself.
void RunDeviceDialog(HWND owner);
// "手机优化": the essentials bundle, run modally.
void RunEssentialsDialog(HWND owner);
// "更多设置": the settings, run modally; nothing is read back. With
// offerTool it first offers to fetch the missing adb.
void RunSettingsDialog(HWND owner, bool offerTool = false);

// Asked by the device resolution of Install and Run now when two or more
// phones are ready (on the thread that resolves, without an owner window):
// the serial the user chose, or empty text for none.
std::string ChooseTargetDevice(const std::vector<std::string>& serials);

}  // namespace vantaro::app
