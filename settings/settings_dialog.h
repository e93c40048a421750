#pragma once
// The settings dialog behind the main window's "更多设置": the package file
// association and its repair, the reinstall page, and the update check with
// download. Nothing in it is stored.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "settings/file_association.h"
#include "settings/update_checker.h"
#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "ui/dialog.h"

namespace vantaro {

// Opens the page for getting the program again ("重新安装"), owned by the
// window given; the main window passes its upload-page operation.
using ReinstallAction = std::function<void(HWND owner)>;

// Runs the settings dialog modally over owner; with offerTool it first
// offers to fetch the missing adb (as "一键修复" does).
void RunSettingsDialog(HWND owner, ReinstallAction reinstall, bool offerTool = false);

class SettingsDialog : public skin::SkinnedDialog<SettingsDialog>, private UpdateDisplay {
 public:
  SettingsDialog(HWND owner, ReinstallAction reinstall, bool offerTool = false);
  // Stops the update worker and waits for it to end.
  ~SettingsDialog() override;

  static const ui::MessageTable<SettingsDialog>& messageTable();

  UpdateState updateState() const { return updateState_; }

 private:
  bool onInitDialog() override;

  LRESULT onSystemClose(WPARAM, LPARAM);
  void onCheckOrCancelDownload();
  void onCancel();
  void onSave();
  void onRepair();
  void onAssociate();
  void onReinstall();

  void startUpdate();
  // When adb is missing: asks whether to fetch it (the terms shown), and
  // fetches it on the worker, the check button cancelling.
  void offerTool();
  void cancelDownload();
  // Asks the worker to stop and waits until it has ended; nothing it posted
  // counts from then on.
  void stopWorker();
  void showCheckButton(int iconId, const char* text);
  void showAssociation();
  // Runs work on the dialog's thread unless the run that posted it has been
  // cancelled or replaced by then.
  void postForRun(std::function<void()> work);

  // UpdateDisplay, called on the worker's thread.
  void ShowUpdateStatus(const std::string& text) override;
  void ShowUpdatePercent(int percent) override;
  void DownloadStarting() override;
  void UpdateEnded() override;

  skin::SkinCheckBox extension_;
  skin::AccentLabel extensionNote_;
  skin::SkinCheckBox associate_;
  skin::AccentLabel associateNote_;
  skin::SkinButton repair_;
  skin::SkinButton reinstallButton_;
  skin::SkinButton check_;
  skin::PercentBar progress_;
  skin::SkinButton save_;
  skin::SkinButton cancel_;

  ReinstallAction reinstall_;
  const bool offerToolAtStart_;
  FileAssociation association_;
  UpdateChecker updater_;
  std::atomic<UpdateState> updateState_{UpdateState::Idle};
  std::thread worker_;
  // Runs are numbered; the worker's posts carry its number (workerRun_, set
  // before it starts) and count only while it is the live run.
  uint32_t runCount_ = 0;
  uint32_t workerRun_ = 0;
  uint32_t liveRun_ = 0;
};

}  // namespace vantaro
