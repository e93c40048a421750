#include "settings/settings_dialog.h"

#include "device/runner.h"
#include "res/resource.h"
#include "settings/update_description.h"
#include "ui/wide.h"

namespace vantaro {
namespace {

constexpr int kCheckUpdate = 1013;
constexpr int kCancel = 1014;
constexpr int kAssociate = 1015;
constexpr int kExtension = 1016;
constexpr int kSave = 1017;
constexpr int kRepair = 1018;
constexpr int kReinstall = 1019;
constexpr int kExtensionNote = 1021;
constexpr int kAssociateNote = 1022;
constexpr int kRepairStatus = 1023;
constexpr int kProgress = 1029;
constexpr int kUpdateStatus = 1030;

}  // namespace

void RunSettingsDialog(HWND owner, ReinstallAction reinstall, bool offerTool) {
  SettingsDialog dialog(owner, std::move(reinstall), offerTool);
  dialog.runModal();
}

SettingsDialog::SettingsDialog(HWND owner, ReinstallAction reinstall, bool offerTool)
    : SkinnedDialog(IDD_SETTINGS, owner, "Vantaro 3.0 设置"),
      reinstall_(std::move(reinstall)),
      offerToolAtStart_(offerTool),
      updater_(*this, OwnVersionNumber(), UpdateDescriptionSource()) {
  bind(kExtension, extension_);
  bind(kExtensionNote, extensionNote_);
  bind(kAssociate, associate_);
  bind(kAssociateNote, associateNote_);
  bind(kRepair, repair_);
  bind(kReinstall, reinstallButton_);
  bind(kCheckUpdate, check_);
  bind(kProgress, progress_);
  bind(kSave, save_);
  bind(kCancel, cancel_);
}

SettingsDialog::~SettingsDialog() { stopWorker(); }

const ui::MessageTable<SettingsDialog>& SettingsDialog::messageTable() {
  static const ui::MessageTable<SettingsDialog> table{
      ui::onMessage(WM_CLOSE, &SettingsDialog::onSystemClose),
      ui::onClicked(kCheckUpdate, &SettingsDialog::onCheckOrCancelDownload),
      ui::onClicked(kCancel, &SettingsDialog::onCancel),
      ui::onClicked(kSave, &SettingsDialog::onSave),
      ui::onClicked(kRepair, &SettingsDialog::onRepair),
      ui::onClicked(kAssociate, &SettingsDialog::onAssociate),
      ui::onClicked(kReinstall, &SettingsDialog::onReinstall),
  };
  return table;
}

bool SettingsDialog::onInitDialog() {
  frame_.SetStandardPieces();
  ui::setWindowText(handle(), "Vantaro 3.0");
  centreOnScreen();
  repair_.SetIcon(IDI_SETTINGS);
  reinstallButton_.SetIcon(IDI_REINSTALL);
  check_.SetIcon(IDI_DOWNLOAD);
  save_.SetIcon(IDI_SAVE);
  cancel_.SetIcon(IDI_EXIT);
  progress_.SetPercent(0);
  showAssociation();
  // Once the dialog shows, so that the question stands in front of it.
  if (offerToolAtStart_) post([this] { offerTool(); });
  return true;
}

// ------------------------------------------------------------------ closing
//
// Every road out asks a running update to stop (which cuts off its transfer)
// before the window goes; the destructor then waits for the worker, whose
// posts the closed window no longer accepts.

LRESULT SettingsDialog::onSystemClose(WPARAM, LPARAM) {
  updater_.Stop();
  endDialog(IDCANCEL);
  return 0;
}

void SettingsDialog::onSave() {
  updater_.Stop();
  endDialog(IDOK);
}

void SettingsDialog::onCancel() {
  if (updateState_ != UpdateState::Idle) {
    MessageBoxW(handle(), ui::toWide("正在下载新版本,如果您真的要退出请先单击“取消下载”按钮").c_str(), L"Vantaro",
                MB_OK);
    return;
  }
  updater_.Stop();  // a cancelled download may still be in its last read
  endDialog(IDOK);
}

void SettingsDialog::stopWorker() {
  if (!worker_.joinable()) return;
  updater_.Stop();
  worker_.join();
  liveRun_ = 0;  // whatever it posted is void now
}

// ------------------------------------------------------------------ association

void SettingsDialog::showAssociation() {
  SendMessageW(associate_.handle(), BM_SETCHECK, association_.IsRegistered() ? BST_CHECKED : BST_UNCHECKED, 0);
  InvalidateRect(associate_.handle(), nullptr, TRUE);
}

void SettingsDialog::onRepair() {
  HWND status = item(kRepairStatus);
  ui::setWindowText(status, "修复中...");
  UpdateWindow(status);
  association_.Register();
  ui::setWindowText(status, "修复完成，找个APK文件运行下吧 ！");
  showAssociation();
  if (AdbPath().empty()) offerTool();
}

void SettingsDialog::offerTool() {
  if (updateState_ != UpdateState::Idle || !AdbPath().empty()) return;
  if (MessageBoxW(handle(), ui::toWide(ComponentOfferText()).c_str(), L"Vantaro", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  const std::wstring folder = ComponentFolder();
  if (folder.empty()) {
    ui::setWindowText(item(kUpdateStatus), "没有可以写入 adb 组件的文件夹");
    return;
  }
  stopWorker();
  updater_.Reset();
  workerRun_ = liveRun_ = ++runCount_;
  updateState_ = UpdateState::Checking;
  progress_.SetPercent(0);
  worker_ = std::thread([this, folder] { updater_.RunComponentFetch(folder); });
}

void SettingsDialog::onAssociate() {
  // Clearing the box leaves the association in place.
  if (associate_.checked()) association_.Register();
}

void SettingsDialog::onReinstall() {
  if (reinstall_) reinstall_(handle());
}

// ------------------------------------------------------------------ update

void SettingsDialog::onCheckOrCancelDownload() {
  switch (updateState_) {
    case UpdateState::Idle:
      startUpdate();
      break;
    case UpdateState::Downloading:
      cancelDownload();
      break;
    case UpdateState::Checking:
      break;
  }
}

void SettingsDialog::startUpdate() {
  // A cancelled run ends after its current read; it is cut off and waited
  // for before the next one starts.
  stopWorker();
  updater_.Reset();
  workerRun_ = liveRun_ = ++runCount_;
  updateState_ = UpdateState::Checking;
  worker_ = std::thread([this] { updater_.RunUpdate(); });
}

void SettingsDialog::cancelDownload() {
  updater_.RequestCancel();
  liveRun_ = 0;
  progress_.SetPercent(0);
  ui::setWindowText(item(kUpdateStatus), kCancelledText);
  showCheckButton(IDI_DOWNLOAD, "检查更新");
  updateState_ = UpdateState::Idle;
}

void SettingsDialog::showCheckButton(int iconId, const char* text) {
  check_.SetIcon(iconId);
  ui::setWindowText(check_.handle(), text);
  InvalidateRect(check_.handle(), nullptr, TRUE);
}

void SettingsDialog::postForRun(std::function<void()> work) {
  post([this, run = workerRun_, work = std::move(work)] {
    if (run == liveRun_) work();
  });
}

void SettingsDialog::ShowUpdateStatus(const std::string& text) {
  postForRun([this, text] { ui::setWindowText(item(kUpdateStatus), text); });
}

void SettingsDialog::ShowUpdatePercent(int percent) {
  postForRun([this, percent] { progress_.SetPercent(percent); });
}

void SettingsDialog::DownloadStarting() {
  postForRun([this] {
    showCheckButton(IDI_CANCEL, "取消下载");
    updateState_ = UpdateState::Downloading;
  });
}

void SettingsDialog::UpdateEnded() {
  postForRun([this] {
    showCheckButton(IDI_DOWNLOAD, "检查更新");
    updateState_ = UpdateState::Idle;
  });
}

}  // namespace vantaro
