#include "app/dialogs.h"

#include "app/web_hosts.h"
#include "app/web_links.h"
#include "device/device_dialog.h"
#include "essentials/essentials_dialog.h"
#include "settings/settings_dialog.h"

namespace vantaro::app {

void RunDeviceDialog(HWND owner) { vantaro::RunDeviceDialog(owner); }

void RunEssentialsDialog(HWND owner) {
  vantaro::RunEssentialsDialog(owner, kSiblingSite, OpenPage, ChooseTargetDevice);
}
void RunSettingsDialog(HWND owner, bool offerTool) { vantaro::RunSettingsDialog(owner, OpenSubmitPage, offerTool); }

std::string ChooseTargetDevice(const std::vector<std::string>& serials) { return DialogDeviceChooser()(serials); }

}  // namespace vantaro::app
