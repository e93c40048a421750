// vantaro-cli info: the package as the main window shows it.

#include <nlohmann/json.hpp>

#include <cstdio>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/package_json.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "package/recording_display.h"

namespace vantaro::cli {
namespace {

std::string utf8(const std::string& gbk) { return gbkToUtf8(gbk); }

void printTree(const RecordingDisplay& display, ReportItem parent, int depth, std::string& out) {
  for (ReportItem item : display.children(parent)) {
    out += std::string(static_cast<size_t>(depth) * 2, ' ');
    out += display.item(item).text;
    out += '\n';
    printTree(display, item, depth + 1, out);
  }
}

std::string textReport(const PackageInfo& info, const RecordingDisplay& display) {
  struct Field {
    const char* caption;
    int control;
  };
  // The summary column of the main window, top to bottom.
  const Field fields[] = {
      {"名称", kLabelField},          {"版本", kVersionField},   {"开发标识", kPackageNameField},
      {"最低固件", kMinReleaseField}, {"安装卡上", kSdCardField}, {"文件大小", kFileSizeField},
  };
  std::string out;
  for (const Field& f : fields) {
    out += f.caption;
    out += "：";
    out += display.text(f.control);
    out += '\n';
  }
  if (!info.iconMember.empty()) {
    out += "图标：" + info.iconMember + "（" + formatFileSize(static_cast<int64_t>(info.iconImage.size())) + "）\n";
  }
  if (!info.launcherActivity.empty()) out += "启动入口：" + info.launcherActivity + '\n';
  out += '\n';
  printTree(display, kReportRoot, 0, out);
  return out;
}

}  // namespace

nlohmann::ordered_json packageJson(const PackageInfo& info, const RecordingDisplay& display, const PermissionCatalog& catalog) {
  nlohmann::ordered_json permissions = nlohmann::ordered_json::array();
  for (const std::string& name : info.permissions) {
    auto description = catalog.describe(name);
    nlohmann::ordered_json entry = {{"name", utf8(name)}, {"description", nullptr}};
    if (description) entry["description"] = utf8(*description);
    permissions.push_back(std::move(entry));
  }
  auto list = [](const std::vector<std::string>& items) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const std::string& s : items) out.push_back(utf8(s));
    return out;
  };
  nlohmann::ordered_json unresolved = nlohmann::ordered_json::array();
  for (const PackageInfo::UnresolvedReference& r : info.unresolved) {
    char reference[16];
    std::snprintf(reference, sizeof reference, "@0x%08x", r.id);
    unresolved.push_back({{"field", r.field}, {"reference", reference}});
  }
  nlohmann::ordered_json bundle = nullptr;
  if (info.bundle) {
    static const char* const kKinds[] = {"base", "abi", "density", "language", "feature", "other"};
    nlohmann::ordered_json splits = nlohmann::ordered_json::array(), expansions = nlohmann::ordered_json::array();
    for (const BundleSplit& s : info.bundle->splits) {
      splits.push_back({{"name", s.member},
                        {"kind", kKinds[static_cast<int>(s.kind)]},
                        {"value", s.value},
                        {"configFor", s.configFor},
                        {"standalone", s.standalone},
                        {"size", s.size}});
    }
    for (const BundleExpansion& e : info.bundle->expansions)
      expansions.push_back({{"file", e.member}, {"installPath", e.installPath}, {"size", e.size}});
    bundle = {{"format", bundleFormatName(info.bundle->format)}, {"splits", splits}, {"expansions", expansions}};
  }
  nlohmann::ordered_json sdks = nlohmann::ordered_json::array();
  for (const SdkFinding& f : info.sdks)
    sdks.push_back({{"name", utf8(f.name)}, {"kind", utf8(f.kind)}, {"evidence", f.evidence}});
  static const char* const kCodeScan[] = {"notRun", "ok", "noCode", "incomplete"};
  const Compatibility& compat = info.compat;
  nlohmann::ordered_json abis = nlohmann::ordered_json::array();
  for (const std::string& abi : compat.abis) abis.push_back(abi);
  // Null when no library is for a 64-bit processor: nothing to be ready.
  nlohmann::ordered_json pageSize16k = nullptr;
  if (compat.pages != PageReadiness::NoLibraries) pageSize16k = compat.pages == PageReadiness::Ready;
  nlohmann::ordered_json features = list(compat.features);
  if (compat.glEsVersion > 0) {
    char gl[32];
    std::snprintf(gl, sizeof gl, "glEsVersion=%u.%u", compat.glEsVersion >> 16, compat.glEsVersion & 0xFFFF);
    features.push_back(gl);
  }
  nlohmann::ordered_json languages = nullptr;
  if (compat.languages >= 0) languages = compat.languages;
  nlohmann::ordered_json signers = nlohmann::ordered_json::array();
  for (const CertificateFacts& c : info.signature.signers) {
    signers.push_back({{"subject", utf8(c.subject)},
                       {"issuer", utf8(c.issuer)},
                       {"sha256", c.sha256},
                       {"notBefore", c.notBefore},
                       {"notAfter", c.notAfter},
                       {"key", c.key},
                       {"debug", c.debug},
                       {"expired", c.expired}});
  }
  nlohmann::ordered_json signature = {{"schemes", info.signature.schemeNames()},
                                      {"signers", signers},
                                      {"rotated", info.signature.rotated},
                                      {"problem", utf8(info.signature.problem)}};
  nlohmann::ordered_json checksums = nullptr;
  if (const std::optional<SignatureCheck>& check = info.signatureCheck) {
    static const char* const kStatus[] = {"passed", "failed", "unsigned", "cancelled", "unsupported"};
    const VerifyResult& v = check->verify;
    signature["verified"] = v.status == VerifyResult::Status::Passed;
    signature["verification"] = {{"status", kStatus[static_cast<int>(v.status)]},
                                 {"scheme", v.scheme},
                                 {"failedStep", v.step},
                                 {"reason", utf8(v.reason)},
                                 {"v4", v.v4.checked ? nlohmann::ordered_json{{"verified", v.v4.passed},
                                                                              {"failedStep", v.v4.step},
                                                                              {"reason", utf8(v.v4.reason)}}
                                                     : nlohmann::ordered_json(nullptr)}};
    if (check->checksumsOk)
      checksums = {{"md5", check->sums.md5}, {"sha1", check->sums.sha1}, {"sha256", check->sums.sha256}};
  }
  return {
      {"path", utf8(info.path)},
      {"label", utf8(display.text(kLabelField))},
      {"versionName", utf8(display.text(kVersionField))},
      {"packageName", utf8(info.packageName)},
      {"minSdk", info.minSdk},
      {"minRelease", utf8(releaseNameForApiLevel(info.minSdk))},
      {"targetSdk", compat.effectiveTarget(info.minSdk)},
      {"abis", abis},
      {"pageSize16k", pageSize16k},
      {"features", features},
      {"debuggable", compat.debuggable},
      {"testOnly", compat.testOnly},
      {"splitRequired", compat.splitRequired},
      {"languages", languages},
      {"sdCard", info.sdCardAllowed && info.analysisOk},
      {"fileSize", info.fileSize},
      {"fileSizeText", utf8(display.text(kFileSizeField))},
      {"permissions", permissions},
      {"usesInternet", info.usesInternet},
      {"adNetworks", list(info.adNetworks)},
      {"analytics", list(info.analytics)},
      {"sdks", sdks},
      {"codeScan", kCodeScan[static_cast<int>(info.codeScan)]},
      {"launcherActivity", utf8(info.launcherActivity)},
      {"isKorvelPlugin", info.isKorvelPlugin},
      {"iconMember", utf8(info.iconMember)},
      {"iconSize", info.iconImage.size()},
      {"unresolved", unresolved},
      {"bundle", bundle},
      {"signature", signature},
      {"checksums", checksums},
      {"analysisOk", info.analysisOk},
      {"message", utf8(display.message)},
  };
}

int runInfo(const InfoOptions& options) {
  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
  PackageLoader loader(info, display, catalog);
  loader.setCodeScan(true, CodeScanWorkers());
  loader.setSignatureCheck(options.verify ? SignatureCheckMode::Now : SignatureCheckMode::Off);
  loader.load(argumentPath(options.file), false);

  // A load that ended before its report was rejected; one that reported with
  // analysisOk false lacked a member.
  bool accepted = info.analysisOk;
  if (options.json) {
    // Member names come from the archive: never let a stray byte stop the report.
    auto replace = nlohmann::ordered_json::error_handler_t::replace;
    writeUtf8(stdout, packageJson(info, display, catalog).dump(2, ' ', false, replace) + "\n");
  } else if (display.items.empty()) {
    writeGbk(stderr, display.message + "\n");
  } else {
    writeGbk(stdout, textReport(info, display));
    if (!accepted) writeGbk(stderr, display.message + "\n");
  }
  return accepted ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
