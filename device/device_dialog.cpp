#include "device/device_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "device/command_line.h"
#include "device/current_device.h"
#include "device/wireless.h"
#include "device/wireless_dialog.h"
#include "res/resource.h"
#include "ui/wide.h"

namespace vantaro {

const char* const DeviceDialog::kTitle = "Vantaro 3.0 设备管理";
const char* const DeviceDialog::kListingText = "获取设备信息中,请稍等...";
const char* const DeviceDialog::kNotWirelessText = "这台手机不是无线连接的";
const char* const DeviceDialog::kDisconnectingText = "正在断开...";

std::string DeviceDialog::TickedText(size_t count) { return "已勾选 " + std::to_string(count) + " 台，逐一安装"; }

namespace {

constexpr UINT_PTR kQueryTimer = 0;
constexpr UINT kQueryDelayMs = 50;
constexpr size_t kPropertyOutputLimit = 1 << 20;

struct Column {
  const char* title;
  int width;
};
constexpr Column kColumns[] = {{"品牌信息", 104}, {"硬件信息", 210}, {"系统版本", 130}};

// A row's serial, up to its terminating zero.
std::string serialOf(const skin::DeviceRow& row) { return std::string(row.serial, strnlen(row.serial, sizeof row.serial)); }

std::string withoutTrailingSpace(std::string text) {
  while (!text.empty() && std::string_view(" \t\r\n\v\f").find(text.back()) != std::string_view::npos) text.pop_back();
  return text;
}

}  // namespace

// The refresh thread's way back to its dialog. A dialog that closes while the
// listing still runs cuts the link; the thread then ends on its own without
// touching it.
struct DeviceDialog::RefreshLink {
  std::mutex mutex;
  DeviceDialog* dialog;
};

DeviceDialog::DeviceDialog(HWND owner, DeviceBridge bridge)
    : SkinnedDialog(IDD_DEVICES, owner, kTitle),
      bridge_(std::move(bridge)),
      refreshLink_(std::make_shared<RefreshLink>()),
      propertyCommand_(this) {
  refreshLink_->dialog = this;
  bind(kCurrentId, current_);
  bind(kListId, list_);
  bind(kRefreshId, refreshButton_);
  bind(kWirelessId, wirelessButton_);
  bind(kDisconnectId, disconnectButton_);
  bind(kStatusId, status_);
  bind(kSelectId, selectButton_);
  bind(kCancelId, cancelButton_);
}

DeviceDialog::~DeviceDialog() {
  {
    std::lock_guard<std::mutex> lock(refreshLink_->mutex);
    refreshLink_->dialog = nullptr;
  }
  if (handle()) KillTimer(handle(), kQueryTimer);
  propertyCommand_.Close();  // no output is delivered once it returns
}

const ui::MessageTable<DeviceDialog>& DeviceDialog::messageTable() {
  static const ui::MessageTable<DeviceDialog> table{
      ui::onClicked(kRefreshId, &DeviceDialog::onRefresh),
      ui::onClicked(kWirelessId, &DeviceDialog::onWireless),
      ui::onClicked(kDisconnectId, &DeviceDialog::onDisconnect),
      ui::onClicked(kSelectId, &DeviceDialog::onSelect),
      ui::onNotify(kListId, LVN_ITEMCHANGED, &DeviceDialog::onListChanged),
      ui::onClicked(kCancelId, &DeviceDialog::onCancel),
      ui::onClicked(kCloseId, &DeviceDialog::onCancel),
      ui::onMessage(WM_CLOSE, &DeviceDialog::onCloseRequest),
      ui::onMessage(WM_TIMER, &DeviceDialog::onTimer),
  };
  return table;
}

bool DeviceDialog::onInitDialog() {
  frame_.SetStandardPieces();
  frame_.AddCaptionButton(closeButton_, handle(), kCloseId, 28, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER,
                          IDB_CLOSE_PRESSED);
  // Not shown by the frame, but it names the window in the task bar when the
  // chooser opens without an owner.
  ui::setWindowText(handle(), kTitle);
  centreOnScreen();
  // Topmost before the tool tip exists: Wine leaves a window that owns a
  // topmost tool tip where it is when asked to make it topmost.
  makeTopmost();
  toolTip().create(handle());
  toolTip().addTool(closeButton_.handle(), "关闭");
  toolTip().activate(true);
  refreshButton_.SetIcon(IDI_RUN);
  wirelessButton_.SetIcon(IDI_DEVICES);
  disconnectButton_.SetIcon(IDI_CANCEL);
  selectButton_.SetIcon(IDI_SELECT);
  cancelButton_.SetIcon(IDI_CANCEL);
  insertColumns();
  ui::setWindowText(current_.handle(), CurrentDevice::Get());
  if (refreshIdle_) startRefresh();
  return true;
}

void DeviceDialog::insertColumns() {
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    std::wstring title = ui::toWide(kColumns[i].title);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_CENTER;
    column.cx = kColumns[i].width;
    column.pszText = title.data();
    SendMessageW(list_.handle(), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void DeviceDialog::showStatus(const std::string& text, StatusKind kind) {
  tickCountShown_ = false;
  ui::setWindowText(status_.handle(), text);
  status_.SetStatusKind(kind);
}

// ------------------------------------------------------------------ refresh

void DeviceDialog::startRefresh() {
  refreshIdle_ = false;
  showStatus(kListingText, StatusKind::Success);
  // The queries of an earlier refresh end here; whatever they already sent
  // carries the old chain number and is dropped.
  KillTimer(handle(), kQueryTimer);
  propertyCommand_.Close();
  ++chain_;
  SendMessageW(list_.handle(), LVM_DELETEALLITEMS, 0, 0);
  list_.ClearRows();

  try {
    std::thread([link = refreshLink_, bridge = bridge_] {
      CapturedOutput run =
          bridge.runner->RunCaptured(ToolCommand(bridge.adbPath, {"devices"}), kListingLimit, bridge.timeouts.listingMs);
      std::vector<std::string> serials;
      if (run.status == RunStatus::Started) serials = ParseDeviceListing(run.output);
      std::lock_guard<std::mutex> lock(link->mutex);
      if (DeviceDialog* dialog = link->dialog)
        dialog->post([dialog, serials = std::move(serials)]() mutable { dialog->onListed(std::move(serials)); });
    }).detach();
  } catch (const std::system_error&) {
    onListed({});  // as when the tool cannot be run: no rows, nothing reported
  }
}

void DeviceDialog::onListed(std::vector<std::string> serials) {
  serials_ = std::move(serials);
  deviceIndex_ = 0;
  startQuery(0);
  refreshIdle_ = true;
  showStatus("", StatusKind::Progress);

  HWND list = list_.handle();
  SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHOWSELALWAYS);
  SetFocus(list);
  LVITEMW state{};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  SendMessageW(list, LVM_SETSELECTIONMARK, 0, 0);
}

// ------------------------------------------------------------------ property queries

void DeviceDialog::startQuery(size_t index) {
  propertyCommand_.Close();
  propertyOutput_.clear();
  if (index >= serials_.size()) return;  // the chain ends
  querySerial_ = withoutTrailingSpace(serials_[index]);
  std::string command = ToolCommand(bridge_.adbPath, {"-s", querySerial_, "shell", "getprop"});
  // A query that cannot start still gives its device a row, and the chain
  // goes on.
  if (!propertyCommand_.Start(command)) onQueryEnded(chain_, std::string(), false);
}

void DeviceDialog::OnOutput(const std::string& text, OutputStatus status) {
  if (status == OutputStatus::Chunk) {
    // A phone that never stops talking does not take all the memory.
    if (propertyOutput_.size() < kPropertyOutputLimit)
      propertyOutput_.append(text, 0, kPropertyOutputLimit - propertyOutput_.size());
    return;
  }
  post([this, chain = chain_.load(), output = std::move(propertyOutput_), answered = status == OutputStatus::Finished] {
    onQueryEnded(chain, output, answered);
  });
}

void DeviceDialog::onQueryEnded(unsigned chain, const std::string& output, bool answered) {
  if (chain != chain_) return;
  // Every device starts from nothing known, so no value of the previous
  // device shows on this one's row; a failed query leaves its serial and an
  // unknown release.
  DeviceRecord record;
  if (answered) ParsePropertyListing(output, record);
  record.serial = querySerial_;
  CompleteDeviceRecord(record);
  addRow(record);
  SetTimer(handle(), kQueryTimer, kQueryDelayMs, nullptr);
}

void DeviceDialog::addRow(const DeviceRecord& record) {
  skin::DeviceRow row{};
  skin::CopyRowField(row.serial, record.serial);
  skin::CopyRowField(row.releaseName, record.releaseName);
  row.brandLogo = record.brandLogo;
  list_.AddRow(row);

  HWND list = list_.handle();
  int index = list_.itemCount();
  std::wstring empty, hardware = ui::toWide(DeviceHardwareText(record)), level = ui::toWide(DeviceApiLevelText(record));
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = empty.data();
  index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return;
  item.iSubItem = 1;
  item.pszText = hardware.data();
  SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  item.iSubItem = 2;
  item.pszText = level.data();
  SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));

  // Phones ticked when the chooser last closed are ticked again.
  std::vector<std::string> targets = CurrentDevice::Targets();
  if (std::find(targets.begin(), targets.end(), record.serial) != targets.end()) list_.SetTicked(index, true);

  // The refresh selected item 0 before any row had come; the first row
  // takes that selection now, and the current device's row takes it over.
  bool current = !record.serial.empty() && record.serial == CurrentDevice::Get();
  if (current || (index == 0 && SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0)) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, index);
  }
}

LRESULT DeviceDialog::onTimer(WPARAM id, LPARAM) {
  if (id != kQueryTimer) return 0;
  KillTimer(handle(), kQueryTimer);
  startQuery(++deviceIndex_);
  return 0;
}

// ------------------------------------------------------------------ commands

void DeviceDialog::onRefresh() {
  if (refreshIdle_) startRefresh();
}

void DeviceDialog::onWireless() {
  // A phone connected there is listed at once.
  if (RunWirelessDialog(handle(), bridge_) && refreshIdle_) startRefresh();
}

void DeviceDialog::onDisconnect() {
  int mark = static_cast<int>(SendMessageW(list_.handle(), LVM_GETSELECTIONMARK, 0, 0));
  const auto& rows = list_.rows();
  if (mark < 0 || static_cast<size_t>(mark) >= rows.size()) return;
  std::string serial = serialOf(rows[mark]);
  if (!IsWirelessSerial(serial)) {
    showStatus(kNotWirelessText, StatusKind::Error);
    return;
  }
  showStatus(kDisconnectingText, StatusKind::Progress);
  try {
    std::thread([link = refreshLink_, bridge = bridge_, serial] {
      WirelessAnswer answer = DisconnectPhone(bridge, serial);
      std::lock_guard<std::mutex> lock(link->mutex);
      if (DeviceDialog* dialog = link->dialog)
        dialog->post([dialog, answer] {
          if (answer.ok && dialog->refreshIdle_) dialog->startRefresh();
          dialog->showStatus(answer.text, answer.ok ? StatusKind::Success : StatusKind::Error);
        });
    }).detach();
  } catch (const std::system_error&) {
    showStatus(kPipeFailedText, StatusKind::Error);
  }
}

std::vector<std::string> DeviceDialog::tickedSerials() const {
  std::vector<std::string> serials;
  const auto& rows = list_.rows();
  for (int i = 0; i < list_.itemCount() && static_cast<size_t>(i) < rows.size(); ++i)
    if (list_.IsTicked(i)) serials.push_back(serialOf(rows[i]));
  return serials;
}

LRESULT DeviceDialog::onListChanged(NMHDR& header) {
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if (!(change.uChanged & LVIF_STATE) || ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) return 0;
  size_t ticked = tickedSerials().size();
  if (ticked >= 2) {
    showStatus(TickedText(ticked), StatusKind::Success);
    tickCountShown_ = true;
  } else if (tickCountShown_) {
    showStatus("", StatusKind::Progress);  // only the tick count goes
  }
  return 0;
}

void DeviceDialog::onSelect() {
  int mark = static_cast<int>(SendMessageW(list_.handle(), LVM_GETSELECTIONMARK, 0, 0));
  const auto& rows = list_.rows();
  std::string selected;
  if (list_.itemCount() >= 1 && mark >= 0 && static_cast<size_t>(mark) < rows.size())
    selected = serialOf(rows[mark]);
  // Ticks, when there are any, say which phones: the selected row among
  // them is the current one, else the first ticked.
  std::vector<std::string> ticked = tickedSerials();
  if (!ticked.empty() && std::find(ticked.begin(), ticked.end(), selected) == ticked.end()) selected = ticked.front();
  if (!selected.empty()) CurrentDevice::Set(selected);
  CurrentDevice::SetTargets(std::move(ticked));
  endDialog(IDOK);
}

void DeviceDialog::onCancel() {
  if (refreshIdle_) endDialog(IDCANCEL);
}

LRESULT DeviceDialog::onCloseRequest(WPARAM, LPARAM) {
  onCancel();
  return 0;
}

// ------------------------------------------------------------------ opening

void RunDeviceDialog(HWND owner, const DeviceBridge& bridge) {
  DeviceDialog dialog(owner, bridge);
  dialog.runModal();
}

DeviceChooser DialogDeviceChooser(const DeviceBridge& bridge) {
  return [bridge](const std::vector<std::string>&) {
    RunDeviceDialog(nullptr, bridge);
    return CurrentDevice::Get();
  };
}

}  // namespace vantaro
