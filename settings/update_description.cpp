#include "settings/update_description.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>

#include "base/numbers.h"
#include "base/text.h"

namespace vantaro {

const char* const kNewVersionText = "发现新版本,正在下载";
const char* const kNoNewVersionText = "没有发现新版本";
const char* const kCheckFailedText = "网络连接超时，请稍后再试";
const char* const kDownloadDoneText = "新版本已经下载完成";
const char* const kCancelledText = "您已经取消了下载新版本，单击“检查更新” 可以重新下载新版本";
const char* const kDownloadIncompleteText = "下载的文件不完整";
const char* const kDownloadTooLargeText = "新版本的文件过大，已停止下载";
const char* const kUncountedAnswerText = "服务器的应答无法确认文件是否完整";
const char* const kUncheckableOfferText = "更新说明没有给出新版本的大小和 SHA-256 校验值，已拒绝下载";
const char* const kMismatchText = "下载的新版本与更新说明不符（大小或 SHA-256 校验值不同），已删除，不会运行";
const char* const kInsecureDownloadText = "新版本的下载地址不安全（不是 https 地址），已拒绝下载";

namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 name devices in every folder, with
// any extension.
bool isDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  for (const char* device : {"con", "prn", "aux", "nul"})
    if (equalsAsciiNoCase(stem, device)) return true;
  if (stem.size() == 4 && stem[3] >= '0' && stem[3] <= '9')
    return equalsAsciiNoCase(stem.substr(0, 3), "com") || equalsAsciiNoCase(stem.substr(0, 3), "lpt");
  return false;
}

// A size as decimal digits only; -1 for anything else or beyond 2^62.
int64_t parseSize(const char* text) {
  if (!*text) return -1;
  int64_t size = 0;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9' || size > (int64_t{1} << 62) / 10) return -1;
    size = size * 10 + (*text - '0');
  }
  return size;
}

// 64 hexadecimal digits in lower case; empty for anything else.
std::string parseDigest(const char* text) {
  std::string digest;
  for (; *text; ++text) {
    char c = lower(*text);
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) || digest.size() == 64) return std::string();
    digest.push_back(c);
  }
  return digest.size() == 64 ? digest : std::string();
}

}  // namespace

UpdateOffer ReadUpdateDescription(std::string_view xml, int32_t ownVersion) {
  UpdateOffer offer;
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size())) return offer;
  pugi::xml_node root = document.child("root");
  if (!root) return offer;
  offer.readable = true;
  for (pugi::xml_attribute attribute : root.attributes()) {
    if (std::strcmp(attribute.name(), "version") == 0) {
      offer.versionSeen = true;
      offer.newer = ownVersion < ParseLeadingInt(attribute.value());
    } else if (std::strcmp(attribute.name(), "url") == 0) {
      offer.urlSeen = true;
      offer.url = utf8ToGbk(attribute.value());
    } else if (std::strcmp(attribute.name(), "size") == 0) {
      offer.size = parseSize(attribute.value());
    } else if (std::strcmp(attribute.name(), "sha256") == 0) {
      offer.sha256 = parseDigest(attribute.value());
    }
  }
  return offer;
}

int32_t VersionNumber(std::string_view versionText) {
  std::string digits;
  for (char c : versionText)
    if (c != '.') digits.push_back(c);
  return ParseLeadingInt(digits);
}

std::string DownloadFileName(std::string_view address) {
  address = address.substr(0, address.find_first_of("?#"));
  size_t slash = address.find_last_of("/\\");
  if (slash != std::string_view::npos) address.remove_prefix(slash + 1);

  std::string name;
  for (char c : address)
    if (isNameCharacter(c)) name.push_back(c);
  for (size_t dots; (dots = name.find("..")) != std::string::npos;) name.erase(dots, 2);
  // The file system drops trailing dots; a name of dots alone is no name.
  while (!name.empty() && name.back() == '.') name.pop_back();
  constexpr size_t kLongest = 100;
  if (name.size() > kLongest) name.erase(0, name.size() - kLongest);  // keep the extension
  if (name.empty()) name = "download";
  if (isDeviceName(name)) name = "_" + name;
  return name;
}

bool IsSetupName(std::string_view fileName) {
  if (equalsAsciiNoCase(fileName, kSetupName)) return true;
  constexpr std::string_view kExe = ".exe";
  return fileName.size() > kOwnSetupPrefix.size() + kExe.size() &&
         equalsAsciiNoCase(fileName.substr(0, kOwnSetupPrefix.size()), kOwnSetupPrefix) &&
         equalsAsciiNoCase(fileName.substr(fileName.size() - kExe.size()), kExe);
}

int DownloadPercent(int64_t received, int64_t total) {
  if (total <= 0 || received <= 0) return 0;
  if (received >= total) return 100;
  return static_cast<int>(received * 100 / total);
}

int DownloadSpeed(int64_t received, int64_t elapsedSeconds) {
  if (elapsedSeconds < 1) elapsedSeconds = 1;
  int64_t speed = (received / 1024) / elapsedSeconds;
  return speed > INT32_MAX ? INT32_MAX : static_cast<int>(speed);
}

std::string DownloadProgressText(int64_t received, int64_t total, int64_t elapsedSeconds, std::string_view subject) {
  char text[200];
  const int width = static_cast<int>(subject.size() > 40 ? 40 : subject.size());
  int speed = DownloadSpeed(received, elapsedSeconds);
  if (total > 0)
    std::snprintf(text, sizeof text, "正在下载%.*s，已经完成了 %d %%, 当前速度为 %d KB/s", width,
                  subject.data(), DownloadPercent(received, total), speed);
  else
    std::snprintf(text, sizeof text, "正在下载%.*s，已经接收了 %lld KB, 当前速度为 %d KB/s", width,
                  subject.data(), static_cast<long long>(received / 1024), speed);
  return text;
}

std::string NetworkErrorText(std::string_view reason) {
  return std::string("网络错误，错误信息 ").append(reason);
}

}  // namespace vantaro
