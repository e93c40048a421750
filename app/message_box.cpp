#include "app/message_box.h"

#include <windows.h>

#include "app/web_hosts.h"
#include "res/resource.h"
#include "ui/message_box.h"
#include "ui/wide.h"

namespace vantaro::app {

std::string ApplicationBoxTitle(const std::string& word) {
  return word + " - 【" + kMakerDomain + "】";
}

void ShowApplicationBox(const std::string& text, const std::string& titleWord) {
  std::wstring wideText = ui::toWide(text);
  std::wstring wideTitle = ui::toWide(ApplicationBoxTitle(titleWord));
  ui::ShowTopmostMessageBox(wideText, wideTitle, MB_OK | MB_SETFOREGROUND, IDI_APP);
}

}  // namespace vantaro::app
