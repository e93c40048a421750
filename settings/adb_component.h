#pragma once
// The phone tool as a component the program fetches itself: Google's
// Android SDK Platform-Tools for Windows, of which adb.exe, AdbWinApi.dll and
// AdbWinUsbApi.dll are put where AdbPath() looks. The zip is taken only when
// it holds the three files under "platform-tools/", names nothing outside
// its folder, and its adb.exe carries a valid Authenticode signature whose
// signer is Google.

#include <string>

namespace vantaro {

// Google's address of the latest Platform-Tools for Windows, and its terms.
// VANTARO_PLATFORM_TOOLS_URL, when set, replaces the address (tests serve a
// zip from a local server).
extern const char* const kPlatformToolsAddress;
extern const char* const kPlatformToolsAddressVariable;
extern const char* const kPlatformToolsTermsAddress;
// The address to fetch: the variable's, else Google's.
std::string PlatformToolsAddress();

// The signer adb.exe must carry: its certificate's organisation or common
// name is one of Google's. For tests only, VANTARO_TEST_ADB_SIGNER names
// another (the tests sign a stand-in with a certificate of their own); the
// signature must verify all the same.
extern const char* const kExpectedSignerVariable;

struct ComponentResult {
  bool installed = false;
  std::string message;  // GBK: what the user is told, success or failure
};

// Takes the three files out of the downloaded zip at zipPath into folder
// (ending with a separator). Files are written under temporary names in the
// folder and renamed into place only when all three are whole and adb.exe's
// signature holds; on any failure nothing of them is left, and an adb.exe
// already in the folder is never replaced.
ComponentResult InstallAdbComponent(const std::wstring& zipPath, const std::wstring& folder);

// Where a fetched adb goes: the program's own folder when this user may
// write there, else UserToolFolder() (made when missing), where AdbPath()
// looks too. Empty when neither can be written.
std::wstring ComponentFolder();

// The question that offers the download, with the terms' address (GBK).
std::string ComponentOfferText();

// The signer's name ("Google LLC") when the file's Authenticode signature
// verifies; empty otherwise.
std::wstring VerifiedSigner(const std::wstring& path);

}  // namespace vantaro
