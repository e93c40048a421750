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

bool AskApplicationBox(const std::string& text, const std::string& titleWord) {
  std::wstring wideText = ui::toWide(text);
  std::wstring wideTitle = ui::toWide(ApplicationBoxTitle(titleWord));
  return ui::ShowTopmostMessageBox(wideText, wideTitle, MB_YESNO | MB_SETFOREGROUND, IDI_APP) == IDYES;
}

}  // namespace vantaro::app
