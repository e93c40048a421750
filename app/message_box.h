#pragma once
// The application's own message boxes (missing adb.exe, the crash notice):
// no owner window, the application icon, topmost, one OK button, titled
// "<word> - 【<maker's domain>】".

#include <string>

namespace vantaro::app {

// The title for a short word (GBK).
std::string ApplicationBoxTitle(const std::string& word);
// Shows text (GBK) and returns when the user has closed the box.
void ShowApplicationBox(const std::string& text, const std::string& titleWord);
// The same box with the buttons "是" and "否": true for "是".
bool AskApplicationBox(const std::string& text, const std::string& titleWord);

}  // namespace vantaro::app
