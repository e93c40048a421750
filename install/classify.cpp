#include "install/classify.h"

#include <algorithm>

namespace vantaro {

const char* const kInstallSuccessText = "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用";
const char* const kEssentialsInstallSuccessText = "【安装成功】“Korvel”已经安装到您的手机中";
const char* const kSupportAddress = "support@vantaro.cn";
const char* const kUnknownInstallText = "【安装失败】未知错误";

namespace {

struct Row {
  const char* found;
  const char* message;
  const char* alsoOnLine = nullptr;  // when set, the row counts only where this (any letter case) is on found's line
};

constexpr const char* kNotConnected = "【安装失败】请确认手机已经连接到电脑上";
constexpr const char* kSignatureMismatch =
    "【安装失败】将安装的APK文件和手机中已装版本签名不同，请先卸载手机中的版本后再试";

// Every row is a failure and wins over "Success". Current Android reports
// a signature mismatch as an incompatible update; that one asks for the
// old version to be removed, before the general incompatible-update row.
const Row kRows[] = {
    {"is not a valid zip file", "【安装失败】请选择一个有效的APK文件"},
    {"not contain", "【安装失败】APK文件已经损坏"},
    {"to install", "【安装失败】APK文件意外丢失"},
    {"device not found", kNotConnected},
    {"Error: Unknown option: -s", "【安装失败】设备不支持安装到SD卡上"},
    {"failed to copy", "【安装失败】SD卡尚未成功挂载，您可以取消勾选【优先装到SD卡上】选项，将应用安装到手机上"},
    {"INSTALL_FAILED_CONTAINER_ERROR", kNotConnected},
    {"INSTALL_FAILED_ALREADY_EXISTS", "【安装失败】文件已经存在, 请先删除手机上老的版本后再试"},
    {"INSTALL_FAILED_CONFLICTING_PROVIDER", "【安装失败】Provider验证错误"},
    {"INSTALL_FAILED_DEXOPT", "【安装失败】APK文件损坏"},
    {"INSTALL_FAILED_DUPLICATE_PACKAGE", "【安装失败】Package冲突, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_INSUFFICIENT_STORAGE", "【安装失败】手机内存已满"},
    // What the phone says of a split set that does not fit together.
    {"INSTALL_FAILED_INVALID_APK", "【安装失败】安装包中有重复的拆分包, 请重新下载完整的安装包", "was defined multiple times"},
    {"INSTALL_FAILED_INVALID_APK", "【安装失败】安装包缺少基础包, 请重新下载完整的安装包",
     "Full install must include a base package"},
    {"INSTALL_FAILED_INVALID_APK", "【安装失败】安装包中的拆分包不属于同一应用或同一版本, 请重新下载完整的安装包",
     "inconsistent"},
    {"INSTALL_FAILED_INVALID_APK", "【安装失败】无效的APK文件"},
    {"INSTALL_FAILED_INVALID_URI", nullptr},  // the internal-error text with the support address
    {"INSTALL_FAILED_MISSING_SHARED_LIBRARY", "【安装失败】共享库丢失, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_NO_SHARED_USER", "【安装失败】没有该共享用户, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_OLDER_SDK", "【安装失败】该软件版本过老, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_REPLACE_COULDNT_DELETE", "【安装失败】替换时无法删除老版本文件"},
    {"INSTALL_FAILED_SHARED_USER_INCOMPATIBLE", "【安装失败】APK签名不兼容, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_UPDATE_INCOMPATIBLE", kSignatureMismatch, "signatures do not match"},
    {"INSTALL_FAILED_UPDATE_INCOMPATIBLE", "【安装失败】更新内容不兼容, 请联系APK文件的开发商"},
    {"INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES", kSignatureMismatch},
    {"INSTALL_PARSE_FAILED_NO_CERTIFICATES", kSignatureMismatch},
    // Codes of current phones.
    {"INSTALL_FAILED_VERSION_DOWNGRADE", "【安装失败】手机上已装的版本更新, 请先卸载手机中的版本后再试"},
    {"INSTALL_FAILED_TEST_ONLY", "【安装失败】这是仅供测试的APK文件, 手机拒绝安装"},
    {"INSTALL_FAILED_NO_MATCHING_ABIS", "【安装失败】APK文件不支持该手机的处理器, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_USER_RESTRICTED", "【安装失败】手机禁止通过USB安装应用, 请在手机上允许后再试"},
    {"INSTALL_FAILED_ABORTED", "【安装失败】安装已在手机上被取消"},
    {"INSTALL_FAILED_VERIFICATION_FAILURE", "【安装失败】APK文件未通过手机的安全验证"},
    {"INSTALL_PARSE_FAILED_NOT_APK", "【安装失败】请选择一个有效的APK文件"},
    {"INSTALL_FAILED_DEPRECATED_SDK_VERSION", "【安装失败】该软件面向的系统版本过老, 手机拒绝安装, 请联系APK文件的开发商"},
    {"INSTALL_FAILED_MISSING_SPLIT", "【安装失败】APK文件不完整, 缺少拆分安装包"},
    {"device unauthorized", "【安装失败】手机尚未允许USB调试, 请在手机上确认调试授权提示后再试"},
    {"device offline", "【安装失败】手机处于离线状态, 请重新连接手机后再试"},
    {"' not found", kNotConnected},  // "adb: device 'SERIAL' not found"
    // The steps of install-multiple, when the phone gave no code of its own.
    {"failed to create session", "【安装失败】手机没能开始安装, 请确认手机是 Android 5.0 或更高版本并允许通过USB安装"},
    {"failed to write", "【安装失败】拆分包没能完整传到手机上, 请检查USB连接和手机的存储空间后再试"},
    {"failed to finalize session", "【安装失败】手机没能完成安装, 请重新连接手机后再试"},
};

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [&lower](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

// Whether the row's text occurs. Current adb reports every refused install
// as "adb: failed to install FILE: Failure [CODE]"; that "to install" is
// not the missing-file row (old adb's "can't find 'FILE' to install"), or
// every code would read as a lost file.
bool Occurs(std::string_view output, const Row& row) {
  std::string_view text(row.found);
  if (row.alsoOnLine) {
    for (size_t at = output.find(text); at != std::string_view::npos; at = output.find(text, at + 1)) {
      size_t start = output.rfind('\n', at);
      start = start == std::string_view::npos ? 0 : start + 1;
      std::string_view line = output.substr(start, output.find('\n', at) - start);
      if (ContainsIgnoringCase(line, row.alsoOnLine)) return true;
    }
    return false;
  }
  if (text != "to install") return output.find(text) != std::string_view::npos;
  constexpr std::string_view kFailed = "failed ";
  for (size_t at = output.find(text); at != std::string_view::npos; at = output.find(text, at + 1)) {
    if (at < kFailed.size() || output.substr(at - kFailed.size(), kFailed.size()) != kFailed) return true;
  }
  return false;
}

// Success: one line of the output, trimmed, is exactly "Success", and no
// line reads as a failure of its own (one the rows do not know: "Failure
// [CODE]", "Error: ...", "adb: failed to ...").
bool IsSuccess(std::string_view output) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  bool success = false;
  size_t start = 0;
  while (start <= output.size()) {
    size_t end = output.find('\n', start);
    std::string_view line = output.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    while (!line.empty() && space(line.front())) line.remove_prefix(1);
    while (!line.empty() && space(line.back())) line.remove_suffix(1);
    if (line.rfind("Failure", 0) == 0 || line.rfind("Error", 0) == 0 || line.find("failed to") != std::string_view::npos)
      return false;
    success = success || line == "Success";
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return success;
}

}  // namespace

bool PushSucceeded(std::string_view output) {
  auto startsWith = [](std::string_view line, std::string_view word) {
    return line.size() >= word.size() && ContainsIgnoringCase(line.substr(0, word.size()), word);
  };
  bool pushed = false;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    std::string_view line = output.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? output.size() : end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    // adb's own complaints start the line; the rest of a line may hold our
    // folder's name, whatever words are in it.
    if (startsWith(line, "adb:") || startsWith(line, "error") || startsWith(line, "failed")) return false;
    pushed = pushed || line.find(" file pushed") != std::string_view::npos ||
             line.find(" files pushed") != std::string_view::npos || line.find(" bytes in ") != std::string_view::npos;
  }
  return pushed;
}

InstallOutcome ClassifyInstallOutput(std::string_view output, std::string_view successText) {
  for (const Row& row : kRows) {
    if (!Occurs(output, row)) continue;
    if (!row.message) return {std::string("【安装失败】内部错误，请联系") + kSupportAddress, StatusKind::Error};
    return {row.message, StatusKind::Error};
  }
  if (IsSuccess(output)) return {std::string(successText), StatusKind::Success};
  return {kUnknownInstallText, StatusKind::Error};
}

}  // namespace vantaro
