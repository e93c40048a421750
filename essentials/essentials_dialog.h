#pragma once
// The essentials dialog ("手机优化"): shows which of Korvel's utilities are on
// the phone and installs a chosen set from the package files beside the
// program.
//
// Only the dialog's own thread touches its controls and the list's rows: the
// listing's reader thread and the install thread post their results to it.
// The install thread works on a copy of the rows taken when "立即安装" is
// pressed, and the dialog refuses to close while it runs.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/async_command.h"
#include "device/runner.h"
#include "essentials/catalog.h"
#include "essentials/essentials_install.h"
#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "skin/list_view.h"
#include "skin/menu_combo.h"
#include "ui/dialog.h"

namespace vantaro {

// Opens an address in the user's browser, the window as owner.
using PageOpener = std::function<void(HWND owner, const std::string& address)>;

struct EssentialsSetup {
  // The phone, the chooser for several phones, the computer's free space,
  // temporary folder and clock.
  InstallServices services;
  // Where the package files lie, ending with a path separator.
  std::string programFolder = ProgramFolder();
  // The sibling product's web site (scheme and host) and how pages open.
  std::string site;
  PageOpener openPage;
};

class EssentialsDialog : public skin::SkinnedDialog<EssentialsDialog>,
                         public OutputSink,
                         private skin::RowLinkListener,
                         private MessageLine,
                         private EssentialsList {
 public:
  // Control identifiers of the dialog's template.
  enum : int {
    kMessageId = 1000,
    kInstallId = 1002,
    kCancelId = 1014,
    kListId = 1018,
    kOverviewId = 1019,
    kPresetId = 1020,
    kNoteId = 1024,
  };
  static const char* const kTitle;       // drawn by the frame
  static const char* const kWindowText;  // the window's own text
  static const char* const kSeveralDevicesText;
  static const char* const kCloseWhileInstallingText;

  EssentialsDialog(HWND owner, EssentialsSetup setup);
  ~EssentialsDialog() override;

  static const ui::MessageTable<EssentialsDialog>& messageTable();

  // The package listing's output, on its reader thread.
  void OnOutput(const std::string& text, OutputStatus status) override;

  const skin::EssentialsListView& list() const { return list_; }
  const skin::StatusLabel& messageLine() const { return messageLine_; }
  bool essentialsIdle() const { return essentialsIdle_; }
  bool listingBusy() const { return listingBusy_; }

 private:
  bool onInitDialog() override;
  void insertColumns();
  void fillPresets();

  // Resolves the phone and starts the package listing (on opening and after
  // every run).
  void refresh();
  // Lists the packages on CurrentDevice's phone, chosen already.
  void listInstalled();
  void startListing();
  void onListingEnded(const std::string& output);
  // phoneChosen: the run chose a phone (CurrentDevice): the list is of
  // that phone, not asked for again.
  void onRunEnded(EssentialsRunEnd end, bool phoneChosen);
  std::vector<EssentialsChoice> choices() const;
  void showSeveralDevicesBox();
  void setMessage(const std::string& text, StatusKind kind);

  // MessageLine: from any thread.
  void ShowMessage(const std::string& text, StatusKind kind) override;
  // RowLinkListener.
  void OnLinkClicked(int itemIndex) override;
  // EssentialsList: the list control and its row records.
  void ClearItems() override;
  void AppendItem(const EssentialsItem& item) override;
  int ItemCount() const override;
  void SetTicked(int item, bool ticked) override;
  void Repaint() override;

  void onInstall();
  void onCancel();
  void onOverview();
  void onPresetChanged();
  LRESULT onCloseRequest(WPARAM, LPARAM);
  LRESULT onTimer(WPARAM, LPARAM);

  EssentialsSetup setup_;
  EssentialsCatalog catalog_;
  std::vector<std::string> installedPackages_;

  std::mutex listingMutex_;
  std::string listingOutput_;    // the reader thread's while a listing runs
  bool listingOverflow_ = false;  // the listing grew past any phone's
  std::atomic<bool> listingBusy_{false};
  AsyncCommand listingCommand_;

  std::atomic<bool> essentialsIdle_{true};
  std::thread installThread_;
  HIMAGELIST presetImages_ = nullptr;

  skin::AccentLabel note_;
  skin::SkinComboBox presets_;
  skin::SkinButton overviewButton_;
  skin::EssentialsListView list_;
  skin::StatusLabel messageLine_;
  skin::SkinButton installButton_;
  skin::SkinButton cancelButton_;
};

// Runs the dialog modally over owner and returns when it has closed.
void RunEssentialsDialog(HWND owner, std::string site, PageOpener openPage, DeviceChooser chooser);

}  // namespace vantaro
