#pragma once
// The maker's web pages and the online search for the opened package. The
// program only hands addresses to the shell; it never reads the pages.

#include <windows.h>

#include <string>
#include <string_view>

namespace vantaro::app {

// Commands of the online-search menu.
constexpr UINT kSiteSearchCommand = 32772;  // "Korvel 站内搜索"
constexpr UINT kStoreCommand = 32773;       // "Market 电子商城"

// Every byte outside A-Z a-z 0-9 - _ . ~ as %XX (upper-case hex).
std::string PercentEncode(std::string_view bytes);

// The address a menu command opens for a package name (GBK); empty when
// nothing is to be opened: an unknown command, or a name that is empty or
// has no ".".
std::string SearchAddress(UINT command, std::string_view packageName);

// The four pages of the window's buttons (the upload page also serves the
// settings dialog's "重新安装").
std::string HelpPageAddress();
std::string GamesPageAddress();
std::string ForumPageAddress();
std::string SubmitPageAddress();

// Open an address in the user's browser, maximised, owned by owner.
void OpenPage(HWND owner, const std::string& address);
void OpenHelpPage(HWND owner);
void OpenGamesPage(HWND owner);
void OpenForumPage(HWND owner);
void OpenSubmitPage(HWND owner);

// Shows the online-search menu at the mouse pointer and opens what the user
// chooses for packageName (GBK).
void OnlineSearch(HWND owner, const std::string& packageName);

}  // namespace vantaro::app
