#include "app/dialogs.h"

#include "app/web_links.h"
#include "device/resolve.h"
#include "settings/settings_dialog.h"

namespace vantaro::app {

// The device chooser and the essentials dialog are still being built; until
// they are, their buttons open nothing.
void RunDeviceDialog(HWND) {}
void RunEssentialsDialog(HWND) {}
void RunSettingsDialog(HWND owner) { vantaro::RunSettingsDialog(owner, OpenSubmitPage); }

// Until the device chooser exists, several phones mean none is chosen.
std::string ChooseTargetDevice(const std::vector<std::string>& serials) { return ChooseNoDevice(serials); }

}  // namespace vantaro::app
