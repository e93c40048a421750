#pragma once
// The device chooser: lists every ready phone with its maker's logo, maker
// and model, serial, Android release and API level, and lets the user pick
// the one that CurrentDevice names, or tick several for an install on each
// (CurrentDevice's targets). It fills itself: a refresh thread lists
// the devices, then their properties are asked one device after the other,
// each answer adding one row.
//
// Only the dialog's own thread touches its controls and rows: the refresh
// thread and the query's reader thread post their results to it.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "device/async_command.h"
#include "device/devices.h"
#include "device/resolve.h"
#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "skin/list_view.h"
#include "ui/dialog.h"

namespace vantaro {

class DeviceDialog : public skin::SkinnedDialog<DeviceDialog>, public OutputSink {
 public:
  // Control identifiers of the dialog's template.
  enum : int {
    kCurrentId = 1033,
    kListId = 1016,
    kRefreshId = 1018,
    kStatusId = 1036,
    kSelectId = 1017,
    kCancelId = 1014,
    kWirelessId = 1019,
    kDisconnectId = 1020,
    kCloseId = 10200,
  };
  static const char* const kTitle;
  static const char* const kListingText;
  static const char* const kNotWirelessText;
  static const char* const kDisconnectingText;
  // The status while several phones are ticked ("%zu" phones).
  static std::string TickedText(size_t count);

  explicit DeviceDialog(HWND owner = nullptr, DeviceBridge bridge = DeviceBridge());
  ~DeviceDialog() override;

  static const ui::MessageTable<DeviceDialog>& messageTable();

  // The property query's output, on its reader thread.
  void OnOutput(const std::string& text, OutputStatus status) override;

  const skin::DeviceListView& list() const { return list_; }
  bool refreshIdle() const { return refreshIdle_; }
  // The serials of the ticked rows, in row order.
  std::vector<std::string> tickedSerials() const;

 private:
  struct RefreshLink;

  bool onInitDialog() override;
  void insertColumns();

  void startRefresh();
  void onListed(std::vector<std::string> serials);
  void startQuery(size_t index);
  void onQueryEnded(unsigned chain, const std::string& output, bool answered);
  void addRow(const DeviceRecord& record);
  void showStatus(const std::string& text, StatusKind kind);

  void onRefresh();
  void onWireless();
  void onDisconnect();
  LRESULT onListChanged(NMHDR& header);
  void onSelect();
  void onCancel();
  LRESULT onCloseRequest(WPARAM, LPARAM);
  LRESULT onTimer(WPARAM, LPARAM);

  DeviceBridge bridge_;
  std::shared_ptr<RefreshLink> refreshLink_;

  std::vector<std::string> serials_;
  size_t deviceIndex_ = 0;
  std::string querySerial_;
  std::string propertyOutput_;  // the reader thread's while a query runs
  AsyncCommand propertyCommand_;
  std::atomic<bool> refreshIdle_{true};
  bool tickCountShown_ = false;  // the status line shows TickedText
  // Counts refreshes; answers of an earlier refresh's queries are dropped.
  std::atomic<unsigned> chain_{0};

  skin::CaptionButton closeButton_;
  skin::AccentLabel current_;
  skin::DeviceListView list_;
  skin::SkinButton refreshButton_;
  skin::SkinButton wirelessButton_;
  skin::SkinButton disconnectButton_;
  skin::StatusLabel status_;
  skin::SkinButton selectButton_;
  skin::SkinButton cancelButton_;
};

// Runs the chooser modally over owner, or as a window of its own when owner
// is null; returns when it has closed. Callable from any thread: the dialog
// then belongs to that thread.
void RunDeviceDialog(HWND owner, const DeviceBridge& bridge = DeviceBridge());

// The chooser ResolveTargetDevice asks when several devices are ready: opens
// the dialog without an owner on the calling thread (a worker's too) and
// waits for it. The answer is the serial CurrentDevice names when it closes.
DeviceChooser DialogDeviceChooser(const DeviceBridge& bridge = DeviceBridge());

}  // namespace vantaro
