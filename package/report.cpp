#include "package/report.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "package/file_size.h"

namespace vantaro {

const char* const kPermissionSection = "请求权限 ";
const char* const kPermissionSectionInitial = "请求权限";
const char* const kAdvertisingSection = "广告检测";
const char* const kAnalyticsSection = "统计信息";
const char* const kNothingFound = "没有找到";
const char* const kCompositionSection = "安装包组成";
const char* const kCodeUnreadable = "部分代码无法读取，结果可能不完整";
const char* const kAnalysing = "正在分析…";
const char* const kCompatibilitySection = "兼容性";
const char* const kSignatureSection = "签名与校验";
const char* const kVerifying = "正在校验…";

void buildInitialSections(PackageDisplay& display) {
  display.insertReportItem(kReportRoot, kPermissionSectionInitial, kImageTick);
  display.insertReportItem(kReportRoot, kAnalyticsSection, kImageInformation);
  display.insertReportItem(kReportRoot, kAdvertisingSection, kImageWarning);
}

void buildPermissionSection(const PackageInfo& info, const PermissionCatalog& catalog, PackageDisplay& display) {
  ReportItem root = display.insertReportItem(kReportRoot, kPermissionSection, kImageTick);
  if (info.permissions.empty()) {
    display.insertReportItem(root, kNothingFound, kImageNone);
  } else {
    for (const std::string& name : info.permissions)
      if (auto description = catalog.describe(name)) display.insertReportItem(root, *description, kImageNone);
  }
  display.expandReportItem(root);
}

void fillFindingSections(const PackageInfo& info, PackageDisplay& display, FindingSections sections) {
  ReportItem ads = sections.ads, analytics = sections.analytics;
  if (info.usesInternet) {
    for (const std::string& name : info.analytics) display.insertReportItem(analytics, name, kImageNone);
    for (const std::string& name : info.adNetworks) display.insertReportItem(ads, name, kImageNone);
    if (info.analytics.empty()) display.insertReportItem(analytics, kNothingFound, kImageNone);
    if (info.adNetworks.empty()) display.insertReportItem(ads, kNothingFound, kImageNone);
    if (info.codeScan == PackageInfo::CodeScan::Incomplete) {
      display.insertReportItem(ads, kCodeUnreadable, kImageNone);
      display.insertReportItem(analytics, kCodeUnreadable, kImageNone);
    }
  } else {
    display.insertReportItem(ads, kNothingFound, kImageNone);
    display.insertReportItem(analytics, kNothingFound, kImageNone);
  }
  display.expandReportItem(ads);
  display.expandReportItem(analytics);
}

void buildFindingSections(const PackageInfo& info, PackageDisplay& display) {
  FindingSections sections;
  sections.ads = display.insertReportItem(kReportRoot, kAdvertisingSection, kImageWarning);
  sections.analytics = display.insertReportItem(kReportRoot, kAnalyticsSection, kImageInformation);
  fillFindingSections(info, display, sections);
}

FindingSections buildPendingFindingSections(PackageDisplay& display) {
  FindingSections sections;
  sections.ads = display.insertReportItem(kReportRoot, kAdvertisingSection, kImageWarning);
  sections.analytics = display.insertReportItem(kReportRoot, kAnalyticsSection, kImageInformation);
  display.insertReportItem(sections.ads, kAnalysing, kImageNone);
  display.insertReportItem(sections.analytics, kAnalysing, kImageNone);
  display.expandReportItem(sections.ads);
  display.expandReportItem(sections.analytics);
  return sections;
}

void showSdCardSupport(const PackageInfo& info, PackageDisplay& display) {
  display.setText(kSdCardField, info.sdCardAllowed && info.analysisOk ? "该应用支持" : "不支持");
}

std::string levelText(int32_t level) {
  std::string text = releaseNameForApiLevel(level);
  text += "（API ";
  text += std::to_string(level);
  text += "）";
  return text;
}

void buildCompatibilitySection(const PackageInfo& info, PackageDisplay& display) {
  const Compatibility& c = info.compat;
  ReportItem root = display.insertReportItem(kReportRoot, kCompatibilitySection, kImageCompatibility);
  auto line = [&](const std::string& text) { display.insertReportItem(root, text, kImageNone); };
  auto joined = [](const std::vector<std::string>& items, bool utf8) {
    std::string out;
    for (const std::string& item : items) {
      if (!out.empty()) out += "、";
      out += utf8 ? utf8ToGbk(item) : item;
    }
    return out;
  };

  std::string target = "目标版本：";
  target += levelText(c.effectiveTarget(info.minSdk));
  if (c.targetSdk <= 0) target += "，未声明，与最低版本相同";
  line(target);

  std::string abis = "处理器架构：";
  abis += c.abis.empty() ? std::string("无原生库") : joined(c.abis, true);
  line(abis);

  if (!c.abis.empty()) {
    std::string pages = "16 KB内存页：";
    switch (c.pages) {
      case PageReadiness::NoLibraries: pages += "没有64位原生库，无需适配"; break;
      case PageReadiness::Ready: pages += "已适配"; break;
      case PageReadiness::NotReady:
        pages += "未适配，";
        pages += utf8ToGbk(c.firstUnready);
        pages += c.unreadyByOffset ? " 在安装包中的存放位置未按16 KB对齐" : " 的加载段未按16 KB对齐";
        break;
    }
    line(pages);
  }

  std::vector<std::string> hardware = c.features;
  if (c.glEsVersion > 0) {
    hardware.push_back("OpenGL ES " + std::to_string(c.glEsVersion >> 16) + "." + std::to_string(c.glEsVersion & 0xFFFF));
  }
  std::string features = "硬件要求：";
  features += hardware.empty() ? std::string("无特别要求") : joined(hardware, false);
  line(features);

  if (c.debuggable) line("可调试版本（debuggable）");
  if (c.testOnly) line("仅供测试（testOnly），安装时会加上 -t 选项");
  if (c.splitRequired) {
    std::string split = "必须与拆分包一起安装";
    if (!c.requiredSplitTypes.empty()) {
      split += "（";
      split += c.requiredSplitTypes;
      split += "）";
    }
    line(split);
  }
  if (c.languages >= 0) line("语言：" + std::to_string(c.languages) + " 种");
  display.expandReportItem(root);
}

void buildCompositionSection(const Bundle& bundle, PackageDisplay& display) {
  // Lines are built by appending: chains of + make GCC 12 warn falsely.
  ReportItem root = display.insertReportItem(kReportRoot, kCompositionSection, kImageBundle);
  for (const BundleSplit& split : bundle.splits) {
    std::string line;
    if (split.standalone) {
      line = "完整安装包（Android 5.0以下的手机）";
    } else {
      line = splitKindText(split.kind);
      if (split.kind != SplitKind::Base) {
        line += ' ';
        line += utf8ToGbk(split.value);
      }
      if (!split.configFor.empty()) {
        line += "（功能模块 ";
        line += utf8ToGbk(split.configFor);
        line += "）";
      }
    }
    line += "，";
    line += formatFileSize(static_cast<int64_t>(split.size));
    display.insertReportItem(root, line, kImageNone);
  }
  // Each expansion file under its name on the phone, then the folders they
  // go to: one line holding both would not fit the window's tree.
  std::vector<std::string> folders;
  for (const BundleExpansion& expansion : bundle.expansions) {
    size_t slash = expansion.installPath.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : expansion.installPath.substr(0, slash + 1);
    std::string line = "数据文件 ";
    line += utf8ToGbk(expansion.installPath.substr(folder.size()));
    line += "，";
    line += formatFileSize(static_cast<int64_t>(expansion.size));
    display.insertReportItem(root, line, kImageNone);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  for (const std::string& folder : folders) {
    std::string line = "数据文件复制到 /sdcard/";
    line += utf8ToGbk(folder);
    display.insertReportItem(root, line, kImageNone);
  }
  display.expandReportItem(root);
}

namespace {
std::string day(const std::string& isoTime) { return isoTime.substr(0, 10); }
}  // namespace

void fillSignatureSection(const SignatureFacts& facts, const SignatureCheck* check, bool pending, PackageDisplay& display,
                          ReportItem section) {
  std::string schemes;
  for (const std::string& name : facts.schemeNames()) schemes += (schemes.empty() ? "" : "、") + name;
  display.insertReportItem(section, "签名方案：" + (schemes.empty() ? std::string("无（未签名）") : schemes), kImageNone);
  if (!facts.problem.empty()) display.insertReportItem(section, "注意：" + facts.problem, kImageWarning);
  for (const CertificateFacts& c : facts.signers) {
    if (!c.parsed) {
      display.insertReportItem(section, "签名者：证书无法读取（不支持的证书或密钥）", kImageWarning);
    } else {
      display.insertReportItem(section, "签名者：" + c.subject, kImageNone);
      display.insertReportItem(section, "颁发者：" + c.issuer, kImageNone);
      display.insertReportItem(section, "有效期：" + day(c.notBefore) + " 至 " + day(c.notAfter), kImageNone);
      display.insertReportItem(section, "密钥：" + c.key + " 位", kImageNone);
    }
    display.insertReportItem(section, "证书 SHA-256：" + c.sha256, kImageNone);
    if (c.debug) display.insertReportItem(section, "警告：这是调试证书（Android Debug）", kImageWarning);
    if (c.expired) display.insertReportItem(section, "警告：证书已于 " + day(c.notAfter) + " 过期", kImageWarning);
  }
  if (facts.rotated) display.insertReportItem(section, "签名密钥曾经轮换，以上是当前的签名者", kImageNone);
  if (check) {
    bool passed = check->verify.status == VerifyResult::Status::Passed;
    bool failed = check->verify.status == VerifyResult::Status::Failed;
    display.insertReportItem(section, verifyLine(check->verify), passed ? kImageTick : failed ? kImageWarning : kImageNone);
    if (check->verify.v4.checked)
      display.insertReportItem(section, v4Line(check->verify), check->verify.v4.passed ? kImageTick : kImageWarning);
    if (check->checksumsOk) {
      display.insertReportItem(section, "MD5：" + check->sums.md5, kImageNone);
      display.insertReportItem(section, "SHA-1：" + check->sums.sha1, kImageNone);
      display.insertReportItem(section, "SHA-256：" + check->sums.sha256, kImageNone);
    }
  } else if (pending) {
    display.insertReportItem(section, std::string("签名校验：") + kVerifying, kImageNone);
    for (const char* sum : {"MD5：", "SHA-1：", "SHA-256："}) display.insertReportItem(section, sum + std::string(kVerifying), kImageNone);
  }
  display.expandReportItem(section);
}

ReportItem buildSignatureSection(const SignatureFacts& facts, const SignatureCheck* check, bool pending,
                                 PackageDisplay& display) {
  ReportItem section = display.insertReportItem(kReportRoot, kSignatureSection, kImageSignature);
  fillSignatureSection(facts, check, pending, display, section);
  return section;
}

}  // namespace vantaro
