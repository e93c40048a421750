#include "app/dialogs.h"

#include "device/resolve.h"

namespace vantaro::app {

// The three dialogs are still being built; until they are, their buttons
// open nothing.
void RunDeviceDialog(HWND) {}
void RunEssentialsDialog(HWND) {}
void RunSettingsDialog(HWND) {}

// Until the device chooser exists, several phones mean none is chosen.
std::string ChooseTargetDevice(const std::vector<std::string>& serials) { return ChooseNoDevice(serials); }

}  // namespace vantaro::app
