#include "install/bundle_install.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "device/command_line.h"
#include "device/current_device.h"
#include "device/devices.h"
#include "install/precheck.h"
#include "install/system.h"

namespace vantaro {

const char* const kPhoneUnreadableText = "【安装失败】无法读取手机的信息，请重新连接手机后再试";
const char* const kBundleDamagedText = "【安装失败】安装包已经损坏，请重新下载";
const char* const kTemporaryWriteText = "【安装失败】无法写入系统临时文件夹，请检查电脑系统盘的剩余空间";
const char* const kTooManyFilesText = "【安装失败】需要安装的拆分包过多，无法一次发送到手机";

namespace {

constexpr int64_t kLongWaitAbove = 10000000;  // bytes, as for a single package
constexpr size_t kPiece = 1u << 20;            // bytes read, inflated and written at a time
constexpr size_t kLongestCommand = 32000;      // below the 32767 characters Windows allows
constexpr int kMaxNameTries = 1000;

// A folder of the job's own under the temporary folder, and the files put
// into it; all of them go when it does.
class JobFolder {
 public:
  JobFolder() = default;
  ~JobFolder() {
    RemoveFiles();
    if (!path_.empty()) RemoveFolder(path_);
  }
  JobFolder(const JobFolder&) = delete;
  JobFolder& operator=(const JobFolder&) = delete;

  // Creates parent + digits of the time (more digits when taken).
  bool Create(const std::string& parent, const std::tm& time) {
    if (parent.empty() || (parent.back() != '/' && parent.back() != '\\')) return false;
    std::string name = TemporaryCopyName(time);
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
      std::string path = parent + name + (attempt ? std::to_string(attempt) : std::string());
      switch (CreateNewFolder(path)) {
        case CopyResult::Copied: path_ = path + parent.back(); return true;
        case CopyResult::NameTaken: continue;
        case CopyResult::Failed: return false;
      }
    }
    return false;
  }
  // The path of a file to be made in the folder, removed with it.
  std::string File(const std::string& name) {
    files_.push_back(path_ + name);
    return files_.back();
  }
  void RemoveFiles() {
    for (const std::string& file : files_) RemoveFile(file);
    files_.clear();
  }

 private:
  std::string path_;  // ends with the separator
  std::vector<std::string> files_;
};

std::string fileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ExtractResult copyStored(const ByteSource& source, uint64_t at, const ApkArchive::Member& member, NewFile& file) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(member.size, kPiece)));
  uLong crc = crc32(0, nullptr, 0);
  for (uint64_t left = member.size; left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (!source.read(at, buffer.data(), n)) return ExtractResult::Corrupt;
    crc = crc32_z(crc, buffer.data(), n);
    if (!file.write(buffer.data(), n)) return ExtractResult::WriteFailed;
    at += n;
    left -= n;
  }
  return crc == member.crc ? ExtractResult::Ok : ExtractResult::Corrupt;
}

ExtractResult inflateMember(const ByteSource& source, uint64_t at, const ApkArchive::Member& member, NewFile& file) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ExtractResult::Corrupt;
  std::vector<uint8_t> input(static_cast<size_t>(std::clamp<uint64_t>(member.compressedSize, 1, kPiece)));
  std::vector<uint8_t> output(kPiece);
  uLong crc = crc32(0, nullptr, 0);
  uint64_t left = member.compressedSize, produced = 0;
  ExtractResult result = ExtractResult::Corrupt;
  for (;;) {
    if (z.avail_in == 0 && left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, input.size()));
      if (!source.read(at, input.data(), n)) break;
      at += n;
      left -= n;
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    int status = inflate(&z, Z_NO_FLUSH);
    size_t made = output.size() - z.avail_out;
    if (made > member.size - produced) break;  // more than the directory says
    produced += made;
    crc = crc32_z(crc, output.data(), made);
    if (made > 0 && !file.write(output.data(), made)) {
      result = ExtractResult::WriteFailed;
      break;
    }
    if (status == Z_STREAM_END) {
      if (produced == member.size && crc == member.crc) result = ExtractResult::Ok;
      break;
    }
    if (status == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // the data ends early
    if (status != Z_OK && status != Z_BUF_ERROR) break;                // damaged data
  }
  inflateEnd(&z);
  return result;
}

// Why the property listing did not say what the phone is: what adb said
// about the phone when the outcome table knows it, else the general text.
std::string unreadablePhoneText(const std::string& output) {
  InstallOutcome outcome = ClassifyInstallOutput(TrimSpace(output), "");
  bool known = outcome.kind == StatusKind::Error && outcome.message != kUnknownInstallText;
  return known ? outcome.message : kPhoneUnreadableText;
}

}  // namespace

PhoneQuery QueryPhoneProperties(const DeviceBridge& bridge, const std::string& serial) {
  PhoneQuery query;
  CapturedOutput listing = bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, {"-s", serial, "shell", "getprop"}),
                                                       kPropertyListingLimit, bridge.timeouts.propertyMs);
  if (listing.status == RunStatus::TimedOut) {
    query.failure = kNoResponseText;
    return query;
  }
  if (listing.status != RunStatus::Started) {
    query.failure = kToolMissingText;
    return query;
  }
  query.traits = ParseDeviceSpec(listing.output);
  if (query.traits.sdkLevel <= 0 && query.traits.abis.empty()) query.failure = unreadablePhoneText(listing.output);
  query.ok = true;
  return query;
}

PhoneQuery QueryPhone(const DeviceBridge& bridge, const std::string& serial, const Bundle& bundle) {
  PhoneQuery query = QueryPhoneProperties(bridge, serial);
  if (!query.ok || !query.failure.empty()) {
    query.ok = false;
    return query;
  }
  bool densitySplits = std::any_of(bundle.splits.begin(), bundle.splits.end(),
                                   [](const BundleSplit& s) { return s.kind == SplitKind::Density && !s.standalone; });
  bool splitsInstalled = query.traits.sdkLevel <= 0 || query.traits.sdkLevel >= 21;
  if (query.traits.density == 0 && densitySplits && splitsInstalled) {
    CapturedOutput wm = bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, {"-s", serial, "shell", "wm", "density"}),
                                                   kListingLimit, bridge.timeouts.propertyMs);
    // Without an answer the choice falls back to the baseline density.
    if (wm.status == RunStatus::Started) query.traits.density = ParseWmDensity(wm.output);
  }
  return query;
}

InstallFacts ReadSelectionFacts(const ApkArchive& outer, const Bundle& bundle, const SplitSelection& selection) {
  ApkArchive apk;
  uint64_t inflated = 0;
  if (selection.chosen.empty() ||
      !openNestedArchive(outer, selection.chosen.front().split->member, kMaxNestedInflate, inflated, apk))
    return {};
  return selection.standalone ? ReadInstallFacts(apk) : ReadInstallFacts(apk, &outer, &bundle);
}

ExtractResult ExtractMember(const ApkArchive& archive, const ApkArchive::Member& member, const std::string& path) {
  uint64_t at = 0;
  if (!archive.source() || !archive.dataOffset(member, at)) return ExtractResult::Corrupt;
  NewFile file;
  if (file.create(path) != CopyResult::Copied) return ExtractResult::WriteFailed;
  ExtractResult result = member.stored() ? copyStored(*archive.source(), at, member, file)
                                         : inflateMember(*archive.source(), at, member, file);
  if (!file.close() && result == ExtractResult::Ok) result = ExtractResult::WriteFailed;
  return result;
}

std::string ExpansionPhonePath(const BundleExpansion& expansion) {
  const std::string& path = expansion.installPath;
  bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-' || c == '/';
  });
  if (!plain) return std::string();
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find('/', start), path.size());
    std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return std::string();
    start = end + 1;
  }
  return "/sdcard/" + path;
}

std::string ExpansionProgressText(size_t number, size_t count) {
  return "正在复制数据文件 " + std::to_string(number) + "/" + std::to_string(count) + "…";
}

std::string ExpansionFailedText(const std::string& name) {
  return "【安装未完成】应用已经安装到手机上，但数据文件“" + name + "”没有复制到手机上，请检查手机的存储空间后重新安装";
}

bool InstallBundle(const InstallRequest& request, const InstallServices& services, MessageLine& line,
                   const ApkArchive& outer, const Bundle& bundle) {
  auto fail = [&line](const std::string& text) {
    line.ShowMessage(text, StatusKind::Error);
    return false;
  };
  const DeviceBridge& bridge = services.bridge;
  std::string serial = CurrentDevice::Get();

  PhoneQuery phone = QueryPhone(bridge, serial, bundle);
  if (!phone.ok) return fail(phone.failure);
  SplitSelection selection = SelectSplits(bundle, phone.traits);
  if (!selection.ok) return fail(selection.refusal);
  InstallFacts facts = ReadSelectionFacts(outer, bundle, selection);
  if (!CheckBeforeSending(facts, phone.traits, services, line)) return false;

  // The members, found again in this archive, and what they need.
  std::vector<const ApkArchive::Member*> members;
  int64_t total = 0;
  for (const SplitChoice& choice : selection.chosen) {
    const ApkArchive::Member* member = outer.find(choice.split->member);
    if (!member) return fail(kBundleDamagedText);
    members.push_back(member);
    total += static_cast<int64_t>(member->size);
  }
  // The splits are removed before the expansion files are written, one at a time.
  int64_t largest = total;
  for (const BundleExpansion& expansion : bundle.expansions) {
    const ApkArchive::Member* member = outer.find(expansion.member);
    if (!member || ExpansionPhonePath(expansion).empty()) return fail(kBundleDamagedText);
    largest = std::max(largest, static_cast<int64_t>(member->size));
  }
  if (!(services.freeMegabytes() > largest / (1 << 20))) return fail(kNoSpaceText);

  std::string temporary = services.temporaryFolder();
  if (!IsExistingFile(request.path)) return fail(kPackageLostText);
  bool longWait = request.sizeDependentWaitText && total > kLongWaitAbove;
  line.ShowMessage(longWait ? kLongWaitText : kWaitText, StatusKind::Progress);

  JobFolder folder;  // removed with everything in it, whatever happens from here on
  if (!folder.Create(temporary, services.localTime())) return fail(kTemporaryFolderText);
  std::vector<std::string> files;
  for (size_t i = 0; i < members.size(); ++i) files.push_back(folder.File("split" + std::to_string(i) + ".apk"));
  bool sdOption = request.replace && request.sdBoxTicked && request.sdCardAllowed && phone.traits.sdkLevel >= 8;
  std::vector<std::string> arguments{"-s", serial, selection.standalone ? "install" : "install-multiple"};
  if (request.replace) arguments.push_back("-r");
  if (sdOption) arguments.push_back("-s");
  if (facts.compat.testOnly) arguments.push_back("-t");  // the phone refuses a test-only package without it
  arguments.insert(arguments.end(), files.begin(), files.end());
  std::string command = ToolCommand(bridge.adbPath, arguments);
  if (command.size() > kLongestCommand) return fail(kTooManyFilesText);

  for (size_t i = 0; i < members.size(); ++i) {
    switch (ExtractMember(outer, *members[i], files[i])) {
      case ExtractResult::Ok: break;
      case ExtractResult::Corrupt: return fail(kBundleDamagedText);
      case ExtractResult::WriteFailed: return fail(kTemporaryWriteText);
    }
  }

  CapturedOutput run = bridge.runner->RunCaptured(command, kInstallLimit, bridge.timeouts.Install(total));
  if (run.status == RunStatus::TimedOut) return fail(kInstallTimedOutText);
  if (run.status != RunStatus::Started) return fail(kToolMissingText);
  InstallOutcome outcome = ClassifyInstallOutput(TrimSpace(run.output), request.successText);
  if (outcome.kind != StatusKind::Success) return fail(outcome.message);

  // Installed: the data files follow, each written, pushed and removed.
  folder.RemoveFiles();
  for (size_t i = 0; i < bundle.expansions.size(); ++i) {
    const BundleExpansion& expansion = bundle.expansions[i];
    std::string name = fileNameOf(expansion.installPath);
    line.ShowMessage(ExpansionProgressText(i + 1, bundle.expansions.size()), StatusKind::Progress);
    std::string target = ExpansionPhonePath(expansion);
    const ApkArchive::Member* member = outer.find(expansion.member);  // both checked above
    std::string local = folder.File("expansion" + std::to_string(i) + ".obb");
    if (ExtractMember(outer, *member, local) != ExtractResult::Ok) return fail(ExpansionFailedText(name));
    CapturedOutput push = bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, {"-s", serial, "push", local, target}),
                                                     kInstallLimit, bridge.timeouts.Install(static_cast<int64_t>(member->size)));
    folder.RemoveFiles();
    if (push.status != RunStatus::Started || !PushSucceeded(push.output)) return fail(ExpansionFailedText(name));
  }
  line.ShowMessage(outcome.message, outcome.kind);
  return true;
}

}  // namespace vantaro
