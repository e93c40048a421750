#include "app/dialogs.h"

#include "app/web_links.h"
#include "device/device_dialog.h"
#include "settings/settings_dialog.h"

namespace vantaro::app {

void RunDeviceDialog(HWND owner) { vantaro::RunDeviceDialog(owner); }

// The essentials dialog is still being built; until it is, its button opens
// nothing.
void RunEssentialsDialog(HWND) {}
void RunSettingsDialog(HWND owner) { vantaro::RunSettingsDialog(owner, OpenSubmitPage); }

std::string ChooseTargetDevice(const std::vector<std::string>& serials) { return DialogDeviceChooser()(serials); }

}  // namespace vantaro::app
