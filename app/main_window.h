#pragma once
// The program's only top-level window (dialog 102): the report on the opened
// package, the commands that install and start it on the phone, the way to
// the other dialogs and to the maker's pages. It receives dropped files and
// the files a second start hands over. When it closes, the program ends.

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/resolve.h"
#include "install/install_job.h"
#include "install/launch.h"
#include "package/display.h"
#include "package/package_info.h"
#include "package/permissions.h"
#include "package/report.h"
#include "package/sdk_scan.h"
#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "skin/package_icon_view.h"
#include "skin/tree_view.h"
#include "ui/dialog.h"

namespace vantaro::app {

class SharedPathBuffer;

// Shown when Install is pressed after a rejected file.
extern const char* const kRefusedPackageText;
// Shown when the window is asked to close while an install runs.
extern const char* const kCloseWhileInstallingText;
// Shown when the window is asked to close while Run now waits for the phone.
extern const char* const kCloseWhileRunningText;

class MainWindow : public skin::SkinnedDialog<MainWindow>, private PackageDisplay, private MessageLine {
 public:
  // commandLine: the path the program was started with (quotes allowed), or
  // empty. programFolder: the program's folder, ending with a separator,
  // where adb.exe belongs. handOver: where a second start leaves its path.
  MainWindow(std::string commandLine, std::string programFolder, SharedPathBuffer& handOver);
  ~MainWindow() override;

  static const ui::MessageTable<MainWindow>& messageTable();

  const PackageInfo& package() const { return package_; }
  bool installIdle() const { return installIdle_; }
  // Before the window is shown: the several packages the program was
  // started with, installed in turn by Install (the first one is shown).
  void QueueAtStart(std::vector<std::string> paths) { queue_ = std::move(paths); }
  // The packages Install installs in turn; empty or one: the shown package.
  const std::vector<std::string>& queue() const { return queue_; }

 private:
  bool onInitDialog() override;
  void bindControls();
  void openPackage(const std::string& path, bool sizeShown);
  // A file the shell gave (dropped or queued): opened with its size shown.
  void openWithSize(const std::string& path);
  // Files that came together (dropped, handed over): one opens as before;
  // several become the queue, or join the one being installed.
  void takeFiles(std::vector<std::string> paths);
  void warnIfToolMissing();

  // The SDK scan of the code, on a worker: started after a load has shown
  // its summary, stopped when another package is opened or the window goes.
  struct CodeScanJob {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::thread thread;
  };
  void startCodeScan(const std::string& path, FindingSections sections);
  void stopCodeScans(bool wait);
  void finishCodeScan(unsigned generation, std::vector<SdkFinding> findings, CodeScanStatus status);
  // The signature check and the file's sums, on a worker of the same kind.
  void startSignatureCheck(const std::string& path, ReportItem section);
  void finishSignatureCheck(unsigned generation, SignatureCheck check);
  void removeChildren(ReportItem item);

  // PackageDisplay: the summary column, the message line, icon and tree.
  void setText(int controlId, const std::string& text) override;
  void setMessage(const std::string& text, StatusKind kind) override;
  void setIcon(const uint8_t* bytes, size_t length) override;
  void clearReport() override;
  ReportItem insertReportItem(ReportItem parent, const std::string& text, int image) override;
  void expandReportItem(ReportItem item) override;
  // MessageLine: from any thread; other threads' texts are posted to ours.
  void ShowMessage(const std::string& text, StatusKind kind) override;

  struct InstallOutcome {
    std::string path;
    std::string phone;  // empty when none was chosen
    std::string text;   // the install's last text
    bool ok;
  };

  // Installs request on each of phones in turn; with none given, asks for
  // the phone as usual, and when the chooser comes back with several ticked,
  // installs on each of those. package / packages: its place in the queue
  // (packages 0: no queue). The texts are counted ("(2/6) SERIAL ") when
  // there are several installs. Ends by posting the outcomes to
  // finishInstall, with the phones used.
  static void InstallWorker(MainWindow& window, InstallRequest request, size_t package, size_t packages,
                            std::vector<std::string> phones);
  void finishInstall(std::vector<InstallOutcome> outcomes, std::vector<std::string> phones);

  // The queue, installed one package after the other: each is opened (the
  // window shows it), installed as Install installs the shown package (on
  // the phones chosen for the first), and its outcomes kept; at the end the
  // message line counts them and the report lists each.
  void installCurrent();
  void installNextQueued();
  // A queued package that was not sent.
  void skipQueued(const std::string& text);
  // The message line's count and the "安装结果" section over outcomes_.
  void showInstallSummary();
  static void RunWorker(MainWindow& window, LaunchRequest request);

  void onInstall();
  void onRunNow();
  void onExit();
  void onMinimise();
  void onSettings();
  // The settings dialog, first offering to fetch the missing adb.
  void onSettingsOfferingTool();
  // The adb fetched from the settings dialog (AdbPath()), for the commands.
  void refreshToolPath();
  void onEssentials();
  void onDevices();
  void onSearch();
  void onHelp();
  void onGames();
  void onForum();
  void onSubmit();
  void onIgnoredCommand() {}
  LRESULT onDropFiles(WPARAM drop, LPARAM);
  LRESULT onHandOver(WPARAM, LPARAM);
  LRESULT onClose(WPARAM, LPARAM);
  LRESULT onQueryDragIcon(WPARAM, LPARAM);
  LRESULT onDestroy(WPARAM, LPARAM);

  std::string commandLine_;
  std::string programFolder_;
  SharedPathBuffer& handOver_;
  DWORD windowThread_ = 0;

  PackageInfo package_;
  std::string lastMessage_;                    // the message line's text, as last set
  const char* refusal_ = kRefusedPackageText;  // what Install says while package_ is refused
  PermissionCatalog catalog_;
  DeviceBridge bridge_;
  // Each load counts one up: a scan's result is only taken for the load it
  // was started for.
  unsigned loadGeneration_ = 0;
  FindingSections pendingSections_;
  ReportItem pendingSignatureSection_ = kReportRoot;
  bool installAfterCheck_ = false;  // Install was asked for while the check ran
  std::vector<std::unique_ptr<CodeScanJob>> codeScans_;  // code scans and signature checks; the last ones may still be wanted
  std::atomic<bool> installIdle_{true};
  std::thread installThread_;
  std::atomic<bool> runIdle_{true};

  std::vector<std::string> queue_;
  bool queueRunning_ = false;
  size_t queueNext_ = 0;  // the one being installed, while queueRunning_
  std::vector<InstallOutcome> outcomes_;  // of the queue, or of one package on several phones
  std::vector<std::string> queuePhones_;  // the phones the queue installs on, once chosen
  std::thread runThread_;

  skin::CaptionButton closeButton_;
  skin::CaptionButton minimiseButton_;
  skin::StatusLabel messageLine_;
  skin::StatusLabel loadingNote_;
  std::array<skin::AccentLabel, 5> accents_;
  skin::PackageIconView icon_;
  skin::SkinTreeView tree_;
  skin::SkinCheckBox sdCard_;
  std::array<skin::SkinButton, 11> buttons_;
};

}  // namespace vantaro::app
