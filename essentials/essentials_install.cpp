#include "essentials/essentials_install.h"

#include "install/system.h"

namespace vantaro {

const char* const kNothingChosenText = "【错误】您尚未选择任何要安装的组件";
const char* const kComponentMissingText = "【错误】Korvel部分组件丢失，请重新安装Vantaro来修复";

namespace {

constexpr size_t kMaxPathBytes = 259;  // 260 characters with the terminating zero

}  // namespace

std::string EssentialsPackagePath(const std::string& programFolder, const std::string& packageId) {
  std::string path = programFolder + packageId + ".apk";
  return path.size() <= kMaxPathBytes ? path : std::string();
}

EssentialsRunEnd InstallEssentials(const std::vector<EssentialsChoice>& rows, const std::string& programFolder,
                                   const InstallServices& services, MessageLine& line) {
  bool allInstalled = true, anyTicked = false;
  for (const EssentialsChoice& row : rows) {
    allInstalled = allInstalled && row.installed;
    anyTicked = anyTicked || row.ticked;
  }
  if (!allInstalled && !anyTicked) {
    line.ShowMessage(kNothingChosenText, StatusKind::Error);
    return EssentialsRunEnd::NothingChosen;
  }

  bool missing = false;
  // One phone for the whole run: asked for before the first package that is
  // there to install, then every package goes to it.
  enum class Phone { Unknown, Chosen, None } phone = Phone::Unknown;
  InstallServices chosen = services;
  chosen.resolveDevice = [] { return ResolveResult::Chosen; };
  auto install = [&](const EssentialsChoice& row) {
    std::string path = EssentialsPackagePath(programFolder, row.packageId);
    if (path.empty() || !IsExistingFile(path)) {
      missing = true;
      return;
    }
    InstallRequest request = InstallRequest::Essentials(path);
    if (phone == Phone::Unknown) {
      ResolveResult resolved =
          services.resolveDevice ? services.resolveDevice() : ResolveTargetDevice(services.bridge, services.chooser);
      phone = resolved == ResolveResult::Chosen ? Phone::Chosen : Phone::None;
      if (phone == Phone::None) line.ShowMessage(ResolveFailureText(resolved, request.noneChosenText), StatusKind::Error);
    }
    if (phone == Phone::Chosen) InstallStep(request, chosen, line);
  };
  for (const EssentialsChoice& row : rows) {
    if (!row.installed && row.ticked) install(row);
  }
  // The base framework goes on whenever it is missing, ticked or not.
  if (!rows.empty() && !rows[0].installed && !rows[0].ticked) install(rows[0]);
  return missing ? EssentialsRunEnd::ComponentMissing : EssentialsRunEnd::Done;
}

}  // namespace vantaro
