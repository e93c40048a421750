#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <system_error>

#include "app/dialogs.h"
#include "app/installer_app.h"
#include "app/instance.h"
#include "app/message_box.h"
#include "app/shared_path.h"
#include "app/web_hosts.h"
#include "app/web_links.h"
#include "base/file.h"
#include "base/text.h"
#include "device/command_line.h"
#include "device/current_device.h"
#include "device/device_dialog.h"
#include "install/system.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "package/report.h"
#include "res/resource.h"
#include "skin/images.h"
#include "ui/wide.h"

namespace vantaro::app {

const char* const kRefusedPackageText = "【错误】不是有效的APK文件，Vantaro拒绝安装";
const char* const kCloseWhileInstallingText = "安装中，请在安装结束后再退出";
const char* const kCloseWhileRunningText = "正在等待手机的回答，请稍后再退出";

namespace {

enum : int {
  kExitButton = 1003,
  kInstallButton = 1002,
  kRunButton = 1011,
  kSettingsButton = 1004,
  kEssentialsButton = 1006,
  kDevicesButton = 1017,
  kSearchButton = 1016,
  kHelpButton = 1005,
  kGamesButton = 1007,
  kForumButton = 1008,
  kSubmitButton = 1009,
  kSdCardBox = 1010,
  kCreditLine = 1035,
  kLoadingNote = 1036,
  kCloseCaption = 10200,
  kMinimiseCaption = 10201,
};

struct ButtonIcon {
  int id;
  int icon;
};

constexpr ButtonIcon kButtons[] = {
    {kSearchButton, IDI_SEARCH},   {kInstallButton, IDI_INSTALL},   {kRunButton, IDI_RUN},
    {kExitButton, IDI_EXIT},       {kEssentialsButton, IDI_OPTIMISE}, {kDevicesButton, IDI_DEVICES},
    {kSettingsButton, IDI_SETTINGS}, {kGamesButton, IDI_DOWNLOAD},   {kForumButton, IDI_FORUM},
    {kSubmitButton, IDI_SUBMIT},   {kHelpButton, IDI_HELP},
};

constexpr int kAccentIds[] = {kCreditLine, 1015, 1014, 1012, 1013};

const char* const kToolMissingBoxText =
    "【Vantaro】组件丢失：没有找到 adb.exe。\n\n现在从 Google 下载它吗？（以后也可以在“更多设置”中单击“一键修复”）";

}  // namespace

MainWindow::MainWindow(std::string commandLine, std::string programFolder, SharedPathBuffer& handOver)
    : SkinnedDialog(IDD_MAIN, nullptr, "Vantaro 3.0"),
      commandLine_(std::move(commandLine)),
      programFolder_(std::move(programFolder)),
      handOver_(handOver) {
  bridge_.adbPath = AdbPathIn(programFolder_);
  bindControls();
}

MainWindow::~MainWindow() {
  // The window is gone or going: no worker may outlive this object.
  stopCodeScans(true);
  if (installThread_.joinable()) installThread_.join();
  if (runThread_.joinable()) runThread_.join();
}

void MainWindow::bindControls() {
  bind(kMessageLine, messageLine_);
  bind(kLoadingNote, loadingNote_);
  for (size_t i = 0; i < accents_.size(); ++i) bind(kAccentIds[i], accents_[i]);
  bind(kIconView, icon_);
  bind(kReportTree, tree_);
  bind(kSdCardBox, sdCard_);
  for (size_t i = 0; i < buttons_.size(); ++i) bind(kButtons[i].id, buttons_[i]);
}

const ui::MessageTable<MainWindow>& MainWindow::messageTable() {
  static const ui::MessageTable<MainWindow> table{
      ui::onClicked(kInstallButton, &MainWindow::onInstall),
      ui::onClicked(kRunButton, &MainWindow::onRunNow),
      ui::onClicked(kExitButton, &MainWindow::onExit),
      ui::onClicked(kCloseCaption, &MainWindow::onExit),
      ui::onClicked(kMinimiseCaption, &MainWindow::onMinimise),
      ui::onClicked(kSettingsButton, &MainWindow::onSettings),
      ui::onClicked(kEssentialsButton, &MainWindow::onEssentials),
      ui::onClicked(kDevicesButton, &MainWindow::onDevices),
      ui::onClicked(kSearchButton, &MainWindow::onSearch),
      ui::onClicked(kHelpButton, &MainWindow::onHelp),
      ui::onClicked(kGamesButton, &MainWindow::onGames),
      ui::onClicked(kForumButton, &MainWindow::onForum),
      ui::onClicked(kSubmitButton, &MainWindow::onSubmit),
      // Enter and Escape are swallowed before they get here; should their
      // commands come anyway, they close nothing.
      ui::onClicked(IDOK, &MainWindow::onIgnoredCommand),
      ui::onClicked(IDCANCEL, &MainWindow::onIgnoredCommand),
      ui::onMessage(WM_DROPFILES, &MainWindow::onDropFiles),
      ui::onMessage(kHandOverMessage, &MainWindow::onHandOver),
      ui::onMessage(WM_CLOSE, &MainWindow::onClose),
      ui::onMessage(WM_QUERYDRAGICON, &MainWindow::onQueryDragIcon),
      ui::onMessage(WM_DESTROY, &MainWindow::onDestroy),
  };
  return table;
}

bool MainWindow::onInitDialog() {
  HWND window = handle();
  windowThread_ = GetCurrentThreadId();
  SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_SYSMENU);
  MarkInstanceWindow(window);
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(skin::loadIcon(IDI_APP, 32)));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(skin::loadIcon(IDI_APP, 16)));

  frame_.SetStandardPieces();
  frame_.AddCaptionButton(minimiseButton_, window, kMinimiseCaption, 53, IDB_MINIMISE_NORMAL, IDB_MINIMISE_HOVER,
                          IDB_MINIMISE_PRESSED);
  frame_.AddCaptionButton(closeButton_, window, kCloseCaption, 28, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER,
                          IDB_CLOSE_PRESSED);
  ui::setWindowText(window, frame_.title());
  centreOnScreen();
  // Before the tool tip exists: a topmost popup owned by the window would
  // take the window's place at the top (Wine then leaves it below).
  makeTopmost();

  toolTip().create(window);
  toolTip().addTool(minimiseButton_.handle(), "最小化");
  toolTip().addTool(closeButton_.handle(), "关闭");
  toolTip().activate(true);

  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i].SetIcon(kButtons[i].icon);
  SendMessageW(sdCard_.handle(), BM_SETCHECK, BST_CHECKED, 0);
  ui::setWindowText(item(kCreditLine), std::string(kMakerDomain) + " 出品");

  buildInitialSections(*this);
  if (queue_.size() > 1)
    takeFiles(std::move(queue_));
  else if (!commandLine_.empty())
    openPackage(commandLine_, false);
  // After the window has appeared, so that the box stands in front of it.
  post([this] { warnIfToolMissing(); });
  return true;
}

void MainWindow::warnIfToolMissing() {
  if (!bridge_.adbPath.empty()) return;
  if (AskApplicationBox(kToolMissingBoxText, "错误")) onSettingsOfferingTool();
}

void MainWindow::onSettingsOfferingTool() {
  RunSettingsDialog(handle(), true);
  refreshToolPath();
}

void MainWindow::refreshToolPath() {
  // An install worker copies the bridge when it starts: not while one runs.
  if (installIdle_) bridge_.adbPath = AdbPathIn(programFolder_);
}

void MainWindow::openPackage(const std::string& path, bool sizeShown) {
  // Whatever still scans the last package's code is no longer wanted.
  ++loadGeneration_;
  stopCodeScans(false);
  PackageLoader loader(package_, *this, catalog_);
  loader.setCodeScanLater(true);
  loader.setSignatureCheck(SignatureCheckMode::Later);
  pendingSignatureSection_ = kReportRoot;
  installAfterCheck_ = false;
  loader.load(path, sizeShown);
  // An encrypted .apkm is no invalid file: Install says again what it is.
  refusal_ = lastMessage_ == kEncryptedApkmMessage ? kEncryptedApkmMessage : kRefusedPackageText;
  if (const std::optional<PendingCodeScan>& pending = loader.pendingScan()) startCodeScan(pending->path, pending->sections);
  if (const std::optional<PendingSignatureCheck>& pending = loader.pendingSignatureCheck())
    startSignatureCheck(pending->path, pending->section);
}

void MainWindow::startSignatureCheck(const std::string& path, ReportItem section) {
  pendingSignatureSection_ = section;
  auto job = std::make_unique<CodeScanJob>();
  CodeScanJob* state = job.get();
  unsigned generation = loadGeneration_;
  try {
    job->thread = std::thread([this, state, path, generation] {
      SignatureCheck check;
      try {
        check = checkPackageFile(path, true, &state->cancel);
      } catch (const std::exception&) {
        check.verify.status = VerifyResult::Status::Failed;
        check.verify.step = "file";
        check.verify.reason = "内存不足，无法校验";
      }
      if (check.verify.status != VerifyResult::Status::Cancelled && !state->cancel) {
        post([this, generation, check = std::move(check)]() mutable { finishSignatureCheck(generation, std::move(check)); });
      }
      state->done = true;
    });
  } catch (const std::system_error&) {
    SignatureCheck check;
    check.verify.status = VerifyResult::Status::Failed;
    check.verify.step = "file";
    check.verify.reason = "无法启动校验";
    finishSignatureCheck(generation, std::move(check));
    return;
  }
  codeScans_.push_back(std::move(job));
}

void MainWindow::finishSignatureCheck(unsigned generation, SignatureCheck check) {
  if (generation != loadGeneration_ || pendingSignatureSection_ == kReportRoot) return;
  package_.signatureCheck = std::move(check);
  removeChildren(pendingSignatureSection_);
  fillSignatureSection(package_.signature, &*package_.signatureCheck, false, *this, pendingSignatureSection_);
  pendingSignatureSection_ = kReportRoot;
  if (installAfterCheck_) {
    installAfterCheck_ = false;
    installCurrent();
  }
}

void MainWindow::startCodeScan(const std::string& path, FindingSections sections) {
  pendingSections_ = sections;
  auto job = std::make_unique<CodeScanJob>();
  CodeScanJob* state = job.get();
  // The worker's own copies: it never reads package_ nor touches a control.
  std::vector<SdkFinding> known = package_.sdks;
  unsigned generation = loadGeneration_;
  try {
    job->thread = std::thread([this, state, path, generation, known = std::move(known)]() mutable {
      CodeScanStatus status = CodeScanStatus::Cancelled;
      try {
        // One thread: the window's scan runs beside the signature check and
        // what the user does, and must not take every core.
        status = scanPackageFile(path, SdkCatalog::Builtin(), known, &state->cancel);
      } catch (const std::exception&) {
        status = CodeScanStatus::Incomplete;  // out of memory: what was found stands
      }
      if (status != CodeScanStatus::Cancelled && !state->cancel) {
        post([this, generation, known = std::move(known), status]() mutable {
          finishCodeScan(generation, std::move(known), status);
        });
      }
      state->done = true;
    });
  } catch (const std::system_error&) {
    // No worker: the sections show what the manifest gave.
    finishCodeScan(generation, package_.sdks, CodeScanStatus::Incomplete);
    return;
  }
  codeScans_.push_back(std::move(job));
}

void MainWindow::stopCodeScans(bool wait) {
  for (auto& job : codeScans_) job->cancel = true;
  // Workers that have ended are joined now; the others, told to stop, end
  // within one dex member and are joined at the next load or at the end.
  for (auto it = codeScans_.begin(); it != codeScans_.end();) {
    if (wait || (*it)->done) {
      if ((*it)->thread.joinable()) (*it)->thread.join();
      it = codeScans_.erase(it);
    } else {
      ++it;
    }
  }
}

void MainWindow::finishCodeScan(unsigned generation, std::vector<SdkFinding> findings, CodeScanStatus status) {
  // A result for a package no longer shown, or with nothing waiting for it.
  if (generation != loadGeneration_ || pendingSections_.ads == kReportRoot) return;
  applyCodeScan(package_, std::move(findings), status);
  removeChildren(pendingSections_.ads);
  removeChildren(pendingSections_.analytics);
  fillFindingSections(package_, *this, pendingSections_);
  pendingSections_ = FindingSections{};
}

void MainWindow::removeChildren(ReportItem item) {
  HWND tree = tree_.handle();
  while (LRESULT child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, static_cast<LPARAM>(item)))
    SendMessageW(tree, TVM_DELETEITEM, 0, child);
}

// ------------------------------------------------------------------ display

void MainWindow::setText(int controlId, const std::string& text) { ui::setWindowText(item(controlId), text); }

void MainWindow::setMessage(const std::string& text, StatusKind kind) {
  lastMessage_ = text;
  ui::setWindowText(messageLine_.handle(), text);
  messageLine_.SetStatusKind(kind);
}

void MainWindow::setIcon(const uint8_t* bytes, size_t length) {
  // The bytes live in package_.iconImage until the next load replaces them.
  icon_.SetImage(bytes, bytes ? static_cast<uint32_t>(length) : 0);
}

void MainWindow::clearReport() { SendMessageW(tree_.handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

ReportItem MainWindow::insertReportItem(ReportItem parent, const std::string& text, int image) {
  std::wstring wide = ui::toWide(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent == kReportRoot ? TVI_ROOT : reinterpret_cast<HTREEITEM>(parent);
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = wide.data();
  // The tree's own word for no image (-1 would ask this window for one).
  insert.item.iImage = insert.item.iSelectedImage = image == kImageNone ? I_IMAGENONE : image;
  return static_cast<ReportItem>(SendMessageW(tree_.handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void MainWindow::expandReportItem(ReportItem item) {
  SendMessageW(tree_.handle(), TVM_EXPAND, TVE_EXPAND, static_cast<LPARAM>(item));
}

void MainWindow::ShowMessage(const std::string& text, StatusKind kind) {
  if (GetCurrentThreadId() == windowThread_) {
    setMessage(text, kind);
    return;
  }
  post([this, text, kind] { setMessage(text, kind); });
}

// ------------------------------------------------------------------ install and run

void MainWindow::onInstall() {
  if (queueRunning_) return;  // the queue is being installed
  if (queue_.size() > 1 && installIdle_) {
    queueRunning_ = true;
    queueNext_ = 0;
    outcomes_.clear();
    queuePhones_.clear();
    installNextQueued();
    return;
  }
  installCurrent();
}

void MainWindow::installCurrent() {
  const std::string prefix = queueRunning_ ? CounterPrefix(queueNext_ + 1, queue_.size()) : std::string();
  if (!package_.analysisOk) {
    setMessage(prefix + refusal_, StatusKind::Error);
    if (queueRunning_) post([this, text = std::string(refusal_)] { skipQueued(text); });
    return;
  }
  if (!installIdle_) return;  // a job is running
  // Still checking: the install goes on when the check is done.
  if (pendingSignatureSection_ != kReportRoot) {
    installAfterCheck_ = true;
    setMessage(prefix + "正在校验签名，校验完成后开始安装", StatusKind::Progress);
    return;
  }
  // A signature that does not verify: the user decides.
  if (package_.signatureCheck && package_.signatureCheck->verify.status == VerifyResult::Status::Failed) {
    std::string text = "这个安装包的" + verifyLine(package_.signatureCheck->verify) +
                        "。\n它可能被改动过，安装后可能无法运行或不安全。\n\n仍然要安装吗？";
    if (MessageBoxW(handle(), ui::toWide(text).c_str(), L"Vantaro", MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) != IDOK) {
      if (queueRunning_) post([this] { skipQueued("签名校验未通过，已跳过"); });
      return;
    }
  }
  if (installThread_.joinable()) installThread_.join();  // the last job, ended

  // The worker gets its own copy of what it reads: it never touches the
  // window's package or controls.
  InstallRequest request;
  request.path = package_.path;
  request.fileSize = package_.fileSize;
  request.sdCardAllowed = package_.sdCardAllowed;
  request.sdBoxTicked = sdCard_.checked();
  installIdle_ = false;
  try {
    installThread_ = std::thread(&MainWindow::InstallWorker, std::ref(*this), std::move(request), queueNext_,
                                 queueRunning_ ? queue_.size() : 0, queueRunning_ ? queuePhones_ : std::vector<std::string>());
  } catch (const std::system_error&) {
    installIdle_ = true;
    setMessage(prefix + kPipeFailedText, StatusKind::Error);
    if (queueRunning_) post([this] { skipQueued(kPipeFailedText); });
  }
}

void MainWindow::InstallWorker(MainWindow& window, InstallRequest request, size_t package, size_t packages,
                               std::vector<std::string> phones) {
  InstallServices services;
  services.bridge = window.bridge_;
  // The chooser lists the phones with the adb this window uses.
  services.chooser = DialogDeviceChooser(services.bridge);
  size_t index = 0;  // the phone being installed on
  auto prefix = [&] {
    if (phones.size() >= 2)
      return CounterPrefix(package * phones.size() + index + 1, std::max<size_t>(packages, 1) * phones.size()) +
             phones[index] + " ";
    return packages ? CounterPrefix(package + 1, packages) : std::string();
  };
  CountedLine line(window, std::string());  // each install sets its prefix
  const DeviceBridge& bridge = services.bridge;
  services.resolveDevice = [&] {
    if (!phones.empty()) {
      CurrentDevice::Set(phones[index]);
      return ResolveResult::Chosen;
    }
    // The phones are asked for once. Ticks count only when the chooser
    // was asked now, never left over from an earlier choice.
    bool asked = false;
    ResolveResult resolved = ResolveTargetDevice(bridge, [&](const std::vector<std::string>& serials) {
      asked = true;
      return services.chooser(serials);
    });
    if (resolved != ResolveResult::Chosen) return resolved;
    const std::string current = CurrentDevice::Get();
    phones = {current};
    if (asked)
      for (std::string& serial : CurrentDevice::Targets())
        if (serial != current) phones.push_back(std::move(serial));
    line.SetPrefix(prefix());
    return resolved;
  };
  std::vector<InstallOutcome> outcomes;
  do {
    line.SetPrefix(prefix());
    bool ok = InstallPackage(request, services, line);
    outcomes.push_back({request.path, index < phones.size() ? phones[index] : std::string(), line.last(), ok});
  } while (++index < phones.size());
  if (phones.size() >= 2) CurrentDevice::Set(phones.front());
  window.installIdle_ = true;
  // The queue goes on, or the outcomes are summed up, on the window's
  // thread after the last text is shown.
  if (packages || outcomes.size() >= 2)
    window.post([&window, outcomes = std::move(outcomes), phones = std::move(phones)]() mutable {
      window.finishInstall(std::move(outcomes), std::move(phones));
    });
}

void MainWindow::finishInstall(std::vector<InstallOutcome> outcomes, std::vector<std::string> phones) {
  if (!queueRunning_) {
    outcomes_ = std::move(outcomes);
    showInstallSummary();
    return;
  }
  if (queuePhones_.empty()) queuePhones_ = std::move(phones);
  for (InstallOutcome& outcome : outcomes) outcomes_.push_back(std::move(outcome));
  ++queueNext_;
  installNextQueued();
}

void MainWindow::installNextQueued() {
  if (queueNext_ >= queue_.size()) {
    queueRunning_ = false;
    showInstallSummary();
    return;
  }
  openWithSize(queue_[queueNext_]);
  installCurrent();
}

void MainWindow::skipQueued(const std::string& text) {
  if (!queueRunning_) return;
  outcomes_.push_back({queue_[queueNext_], std::string(), text, false});
  ++queueNext_;
  installNextQueued();
}

void MainWindow::showInstallSummary() {
  size_t succeeded = 0;
  bool phonesShown = false;
  for (const InstallOutcome& outcome : outcomes_) {
    succeeded += outcome.ok;
    phonesShown = phonesShown || outcome.phone != outcomes_.front().phone;
  }
  const size_t failed = outcomes_.size() - succeeded;
  // One package on several phones counts phones; a queue counts installs.
  const bool byPhone = queue_.size() <= 1;
  std::string text = byPhone ? "【多台安装结束】" : "【批量安装结束】";
  const char* unit = byPhone ? " 台" : " 个";
  text += std::to_string(succeeded) + unit + "成功";
  if (failed) text += "，" + std::to_string(failed) + unit + "失败";
  text += "，详见下方“安装结果”";
  setMessage(text, failed ? StatusKind::Error : StatusKind::Success);
  // Below the last package's report, one line an install, in order.
  ReportItem section = insertReportItem(kReportRoot, "安装结果", failed ? kImageWarning : kImageTick);
  for (size_t i = 0; i < outcomes_.size(); ++i) {
    const InstallOutcome& outcome = outcomes_[i];
    insertReportItem(section,
                     CounterPrefix(i + 1, outcomes_.size()) + (outcome.ok ? "成功  " : "失败  ") +
                         (phonesShown && !outcome.phone.empty() ? outcome.phone + "  " : std::string()) +
                         gbkFileName(outcome.path) + "  " + outcome.text,
                     kImageNone);
  }
  expandReportItem(section);
  SendMessageW(tree_.handle(), TVM_ENSUREVISIBLE, 0, static_cast<LPARAM>(section));
}

void MainWindow::onRunNow() {
  if (!runIdle_) return;  // the phone has not answered the last one yet
  if (runThread_.joinable()) runThread_.join();
  runIdle_ = false;
  try {
    runThread_ = std::thread(&MainWindow::RunWorker, std::ref(*this), LaunchRequest::Of(package_));
  } catch (const std::system_error&) {
    runIdle_ = true;
    setMessage(kPipeFailedText, StatusKind::Error);
  }
}

void MainWindow::RunWorker(MainWindow& window, LaunchRequest request) {
  RunInstalledApplication(
      request, window.bridge_,
      [](const DeviceBridge& bridge) { return ResolveTargetDevice(bridge, DialogDeviceChooser(bridge)); }, window);
  window.runIdle_ = true;
}

// ------------------------------------------------------------------ files

LRESULT MainWindow::onDropFiles(WPARAM wParam, LPARAM) {
  auto drop = reinterpret_cast<HDROP>(wParam);
  // Every file dropped, however long its name; folders and names that are
  // gone are left out.
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
    UINT length = name.empty() ? 0 : DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
    if (length == 0 || length > name.size()) continue;
    name.resize(length);
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    paths.push_back(PathFromWide(name));
  }
  DragFinish(drop);
  takeFiles(std::move(paths));
  return 0;
}

void MainWindow::takeFiles(std::vector<std::string> paths) {
  if (paths.empty()) return;
  if (queueRunning_) {
    // The queue being installed takes them after its own.
    queue_.insert(queue_.end(), paths.begin(), paths.end());
    return;
  }
  if (paths.size() == 1) {
    queue_.clear();
    openWithSize(paths.front());
    return;
  }
  queue_ = std::move(paths);
  openWithSize(queue_.front());
  if (package_.analysisOk)
    setMessage("已加入 " + std::to_string(queue_.size()) + " 个安装包，单击【安装】依次安装", StatusKind::Progress);
}

void MainWindow::openWithSize(const std::string& path) {
  int64_t size = fileLength(path);
  if (size < 0) {
    // Unreadable: the loader says so.
    openPackage(path, false);
    return;
  }
  package_.fileSize = size;
  setText(kFileSizeField, formatFileSize(size));
  openPackage(path, true);
}

LRESULT MainWindow::onHandOver(WPARAM, LPARAM) {
  // Taken once: a later message without a new path finds the buffer empty.
  std::wstring taken = handOver_.Take();
  if (taken.empty()) return 0;
  // Several files come one a line (no file name holds a line break).
  std::vector<std::string> paths;
  for (size_t start = 0; start <= taken.size();) {
    size_t end = std::min(taken.find(L'\n', start), taken.size());
    std::string path = PathFromWide(std::wstring_view(taken).substr(start, end - start));
    if (!path.empty() && IsExistingFile(path)) paths.push_back(path);
    start = end + 1;
  }
  if (paths.size() == 1 && !queueRunning_) {
    queue_.clear();
    openPackage(paths.front(), false);
  } else {
    takeFiles(std::move(paths));
  }
  return 0;
}

// ------------------------------------------------------------------ other commands

void MainWindow::onExit() { SendMessageW(handle(), WM_CLOSE, 0, 0); }

LRESULT MainWindow::onClose(WPARAM, LPARAM) {
  if (!installIdle_ || queueRunning_) {
    // The job is copying to the phone and removes its temporary copy when
    // it ends: the window waits for it.
    setMessage(kCloseWhileInstallingText, StatusKind::Progress);
    return 0;
  }
  if (!runIdle_) {
    // Run now's calls are bounded: the window waits for the phone's answer.
    setMessage(kCloseWhileRunningText, StatusKind::Progress);
    return 0;
  }
  endDialog(IDOK);
  return 0;
}

void MainWindow::onMinimise() { ShowWindow(handle(), SW_MINIMIZE); }

void MainWindow::onSettings() {
  RunSettingsDialog(handle());
  refreshToolPath();
}

void MainWindow::onEssentials() {
  ui::setWindowText(loadingNote_.handle(), "载入中...");
  RunEssentialsDialog(handle());
  ui::setWindowText(loadingNote_.handle(), "");
}

void MainWindow::onDevices() { RunDeviceDialog(handle()); }

void MainWindow::onSearch() { OnlineSearch(handle(), package_.packageName); }
void MainWindow::onHelp() { OpenHelpPage(handle()); }
void MainWindow::onGames() { OpenGamesPage(handle()); }
void MainWindow::onForum() { OpenForumPage(handle()); }
void MainWindow::onSubmit() { OpenSubmitPage(handle()); }

// ------------------------------------------------------------------ window

LRESULT MainWindow::onQueryDragIcon(WPARAM, LPARAM) {
  return reinterpret_cast<LRESULT>(skin::loadIcon(IDI_APP, 32));
}

LRESULT MainWindow::onDestroy(WPARAM, LPARAM) {
  RemovePropW(handle(), kInstanceProperty);
  return 0;
}

}  // namespace vantaro::app
