#pragma once
// The report tree (permissions, advertising, analytics) and the SD-card line.

#include "package/display.h"
#include "package/package_info.h"
#include "package/permissions.h"
#include "package/signature.h"

namespace vantaro {

// Section texts.
extern const char* const kPermissionSection;        // "请求权限 " after a load
extern const char* const kPermissionSectionInitial;  // "请求权限" before the first load
extern const char* const kAdvertisingSection;
extern const char* const kAnalyticsSection;
extern const char* const kNothingFound;
extern const char* const kCompositionSection;  // "安装包组成"
extern const char* const kCodeUnreadable;      // under the finding sections when a dex could not be read
extern const char* const kAnalysing;           // "正在分析…": the finding sections while the code is scanned
extern const char* const kCompatibilitySection;  // "兼容性"
extern const char* const kSignatureSection;   // "签名与校验"
extern const char* const kVerifying;          // "正在校验…": the check's lines while it runs

// The two finding sections of a report.
struct FindingSections {
  ReportItem ads = kReportRoot;
  ReportItem analytics = kReportRoot;
};

// The three empty sections a window shows before any package is loaded.
void buildInitialSections(PackageDisplay& display);
void buildPermissionSection(const PackageInfo& info, const PermissionCatalog& catalog, PackageDisplay& display);
void buildFindingSections(const PackageInfo& info, PackageDisplay& display);
// The finding sections with kAnalysing as their only line, expanded.
FindingSections buildPendingFindingSections(PackageDisplay& display);
// The lines of the finding sections, as buildFindingSections gives them,
// under sections that have none (the caller removed kAnalysing).
void fillFindingSections(const PackageInfo& info, PackageDisplay& display, FindingSections sections);
void showSdCardSupport(const PackageInfo& info, PackageDisplay& display);
// Target level, architectures, 16 KB pages, hardware, flags and languages,
// one line each.
void buildCompatibilitySection(const PackageInfo& info, PackageDisplay& display);
// "Android 5.0（API 21）"
std::string levelText(int32_t level);
// For a split bundle: the base and every split with its kind and size, and
// each expansion file with its size and where it goes on the phone.
void buildCompositionSection(const Bundle& bundle, PackageDisplay& display);
// The signature section: schemes, each signer's certificate and warnings;
// then the check's line and the file's sums from check, or, while the check
// runs (pending), those lines saying kVerifying; neither without both.
ReportItem buildSignatureSection(const SignatureFacts& facts, const SignatureCheck* check, bool pending,
                                 PackageDisplay& display);
// The same lines under an existing (emptied) section.
void fillSignatureSection(const SignatureFacts& facts, const SignatureCheck* check, bool pending, PackageDisplay& display,
                          ReportItem section);

}  // namespace vantaro
