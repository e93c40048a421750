#pragma once
// The parts of the update that need no network and no window: reading the
// update description, the version numbers, the name the downloaded setup is
// saved under, and the progress texts.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantaro {

// Status texts of the update (GBK).
extern const char* const kNewVersionText;        // "发现新版本,正在下载"
extern const char* const kNoNewVersionText;      // "没有发现新版本"
extern const char* const kCheckFailedText;       // "网络连接超时，请稍后再试"
extern const char* const kDownloadDoneText;      // "新版本已经下载完成"
extern const char* const kCancelledText;         // the user's cancel
extern const char* const kDownloadIncompleteText;
extern const char* const kDownloadTooLargeText;  // beyond the largest download
extern const char* const kInsecureDownloadText;  // a setup offered over plain http
extern const char* const kUncountedAnswerText;   // a body whose end cannot be told
extern const char* const kUncheckableOfferText;  // a description without size or SHA-256
extern const char* const kMismatchText;          // a download unlike its description

// The setup programs the update starts (once checked): "apk-setup.exe", or
// ours as scripts/package names it, "vantaro-setup-VERSION.exe". Any other
// downloaded name is only saved.
constexpr std::string_view kSetupName = "apk-setup.exe";
constexpr std::string_view kOwnSetupPrefix = "vantaro-setup-";

// What the update description says. Only the attributes of its top element
// "root" are read, in document order; names compare exactly.
struct UpdateOffer {
  bool readable = false;       // XML with a top element named "root"
  bool versionSeen = false;    // a "version" attribute was read
  bool newer = false;          // the last "version" is above our own
  bool urlSeen = false;        // a "url" attribute was read
  std::string url;             // GBK
  // What the download must be: its size in bytes ("size", decimal digits)
  // and its SHA-256 ("sha256", 64 hexadecimal digits, kept in lower case).
  // -1 and empty when missing or malformed: such an offer is not taken.
  int64_t size = -1;
  std::string sha256;
};

UpdateOffer ReadUpdateDescription(std::string_view xml, int32_t ownVersion);

// A version text such as "3.0" as a number: the dots removed, then the
// leading decimal digits (0 when there are none). "3.0" gives 30.
int32_t VersionNumber(std::string_view versionText);

// The file name a download from address is saved under inside the temporary
// folder: the address's last path segment (query and fragment dropped) with
// everything that could name another folder or a device removed. Never empty,
// never "." or "..", never holds a separator, a colon or "..".
std::string DownloadFileName(std::string_view address);

// True when the saved name is a setup program's (letter case aside, as the
// file system compares it).
bool IsSetupName(std::string_view fileName);

// Percentage of total received (0 to 100); total must be positive.
int DownloadPercent(int64_t received, int64_t total);
// KB/s over the elapsed whole seconds; the first second counts as one.
int DownloadSpeed(int64_t received, int64_t elapsedSeconds);
// The status line after a read: with the percentage when the total length is
// known (total > 0), with the amount received when it is not.
// subject names what is downloaded ("新版本" unless given).
std::string DownloadProgressText(int64_t received, int64_t total, int64_t elapsedSeconds,
                                 std::string_view subject = "新版本");
// "网络错误，错误信息 %s" with the reason in place of %s.
std::string NetworkErrorText(std::string_view reason);

}  // namespace vantaro
