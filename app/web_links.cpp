#include "app/web_links.h"

#include <shellapi.h>

#include "app/web_hosts.h"
#include "base/text.h"
#include "res/resource.h"
#include "skin/menu_combo.h"
#include "ui/wide.h"

namespace vantaro::app {

std::string PercentEncode(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                 b == '_' || b == '.' || b == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string SearchAddress(UINT command, std::string_view packageName) {
  if (packageName.empty() || packageName.find('.') == std::string_view::npos) return std::string();
  if (command == kSiteSearchCommand) {
    // The query declares GB2312 for input and output: the name's own bytes.
    return std::string(kSearchSite) + "/search?q=" + PercentEncode(packageName) +
           "&ie=gb2312&oe=gb2312&hl=zh-cn&domains=" + kSiblingDomain + "&sitesearch=" + kSiblingDomain;
  }
  if (command == kStoreCommand)
    return std::string(kAppStoreSite) + "/store/apps/details?id=" + PercentEncode(gbkToUtf8(packageName));
  return std::string();
}

std::string HelpPageAddress() { return std::string(kMakerSite) + "/apk/"; }
std::string GamesPageAddress() { return std::string(kSiblingSite) + "/game/android/"; }
std::string ForumPageAddress() { return std::string(kForumSite) + "/"; }
std::string SubmitPageAddress() { return std::string(kUploadSite) + "/submit.php"; }

void OpenPage(HWND owner, const std::string& address) {
  // The shell's and the browser's failures are theirs to report.
  ShellExecuteW(owner, nullptr, ui::toWide(address).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void OpenHelpPage(HWND owner) { OpenPage(owner, HelpPageAddress()); }
void OpenGamesPage(HWND owner) { OpenPage(owner, GamesPageAddress()); }
void OpenForumPage(HWND owner) { OpenPage(owner, ForumPageAddress()); }
void OpenSubmitPage(HWND owner) { OpenPage(owner, SubmitPageAddress()); }

void OnlineSearch(HWND owner, const std::string& packageName) {
  UINT chosen = 0;
  {
    skin::SkinMenu menu;
    menu.attach(CreatePopupMenu());
    if (!menu.handle()) return;
    menu.SetImages(IDB_MENU_IMAGES);
    menu.AppendItem(MF_OWNERDRAW, kSiteSearchCommand, 0, "Korvel 站内搜索");
    menu.AppendItem(MF_OWNERDRAW, kStoreCommand, 1, "Market 电子商城");
    POINT at{};
    GetCursorPos(&at);
    chosen = static_cast<UINT>(
        TrackPopupMenu(menu.handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
  }  // the menu is destroyed here
  if (chosen == 0) return;
  std::string address = SearchAddress(chosen, packageName);
  if (!address.empty()) OpenPage(owner, address);
}

}  // namespace vantaro::app
