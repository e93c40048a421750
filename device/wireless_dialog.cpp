#include "device/wireless_dialog.h"

#include <mutex>
#include <system_error>
#include <thread>

#include "device/devices.h"
#include "res/resource.h"
#include "ui/gdi.h"
#include "ui/wide.h"

namespace vantaro {

const char* const WirelessDialog::kTitle = "Vantaro 3.0 无线连接";

namespace {

constexpr int kQuietModules = 4;
const char* const kBusyText = "正在等待 adb 的回答，请稍候...";
const char* const kPairedConnectText = "【配对成功】请在下方输入手机“无线调试”页面上的 IP 地址和端口，再单击“连接”";

}  // namespace

// ------------------------------------------------------------------ QrView

void QrView::SetCode(QrMatrix matrix) {
  matrix_ = std::move(matrix);
  if (handle()) InvalidateRect(handle(), nullptr, FALSE);
}

void QrView::PaintTo(HDC dc, const RECT& area) const {
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  FillRect(dc, &area, white);
  if (matrix_.width <= 0) return;
  const int side = std::min(area.right - area.left, area.bottom - area.top);
  const int modules = matrix_.width + 2 * kQuietModules;
  const int scale = side / modules;
  if (scale <= 0) return;
  const int left = area.left + (area.right - area.left - scale * modules) / 2 + kQuietModules * scale;
  const int top = area.top + (area.bottom - area.top - scale * modules) / 2 + kQuietModules * scale;
  for (int y = 0; y < matrix_.width; ++y)
    for (int x = 0; x < matrix_.width; ++x) {
      if (!matrix_.at(x, y)) continue;
      RECT module{left + x * scale, top + y * scale, left + (x + 1) * scale, top + (y + 1) * scale};
      FillRect(dc, &module, black);
    }
}

bool QrView::drawItem(const DRAWITEMSTRUCT& item) {
  PaintTo(item.hDC, item.rcItem);
  return true;
}

// ------------------------------------------------------------------ dialog

// The workers' way back to the dialog: cut when it closes, so that a
// worker still waiting for adb ends without touching it; stop ends the QR
// pairing's search.
struct WirelessDialog::Link {
  std::mutex mutex;
  WirelessDialog* dialog = nullptr;
  std::atomic<bool> stop{false};

  // Runs work(dialog) on the dialog's thread, while the dialog is open.
  void Post(std::function<void(WirelessDialog&)> work) {
    std::lock_guard<std::mutex> lock(mutex);
    if (WirelessDialog* open = dialog) open->post([open, work = std::move(work)] { work(*open); });
  }
};

WirelessDialog::WirelessDialog(HWND owner, DeviceBridge bridge)
    : SkinnedDialog(IDD_WIRELESS, owner, kTitle),
      bridge_(std::move(bridge)),
      link_(std::make_shared<Link>()),
      invitation_(NewPairingInvitation()) {
  link_->dialog = this;
  bind(kQrId, qr_);
  bind(kStatusId, status_);
  bind(kPairId, pairButton_);
  bind(kConnectId, connectButton_);
  bind(kCancelId, cancelButton_);
}

WirelessDialog::~WirelessDialog() {
  std::lock_guard<std::mutex> lock(link_->mutex);
  link_->dialog = nullptr;
  link_->stop = true;
}

const ui::MessageTable<WirelessDialog>& WirelessDialog::messageTable() {
  static const ui::MessageTable<WirelessDialog> table{
      ui::onClicked(kPairId, &WirelessDialog::onPair),
      ui::onClicked(kConnectId, &WirelessDialog::onConnect),
      ui::onClicked(kCancelId, &WirelessDialog::onCancel),
      ui::onClicked(kCloseId, &WirelessDialog::onCancel),
      ui::onMessage(WM_CLOSE, &WirelessDialog::onCloseRequest),
  };
  return table;
}

bool WirelessDialog::onInitDialog() {
  frame_.SetStandardPieces();
  frame_.AddCaptionButton(closeButton_, handle(), kCloseId, 28, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER,
                          IDB_CLOSE_PRESSED);
  ui::setWindowText(handle(), kTitle);
  centreOnScreen();
  makeTopmost();
  toolTip().create(handle());
  toolTip().addTool(closeButton_.handle(), "关闭");
  toolTip().activate(true);
  pairButton_.SetIcon(IDI_SELECT);
  connectButton_.SetIcon(IDI_RUN);
  cancelButton_.SetIcon(IDI_CANCEL);
  SendMessageW(item(kPairAddressId), EM_LIMITTEXT, 64, 0);
  SendMessageW(item(kPairCodeId), EM_LIMITTEXT, 6, 0);
  SendMessageW(item(kConnectAddressId), EM_LIMITTEXT, 64, 0);
  qr_.SetCode(EncodeQr(invitation_.QrText()));
  startQrPairing();
  return true;
}

void WirelessDialog::showStatus(const std::string& text, StatusKind kind) {
  ui::setWindowText(status_.handle(), text);
  status_.SetStatusKind(kind);
}

void WirelessDialog::startQrPairing() {
  try {
    std::thread([link = link_, bridge = bridge_, invitation = invitation_] {
      WirelessAnswer answer = PairByQr(bridge, invitation, link->stop, [&link](const std::string& step) {
        link->Post([step](WirelessDialog& dialog) { dialog.showStatus(step, StatusKind::Progress); });
      });
      if (link->stop) return;
      link->Post([answer](WirelessDialog& dialog) { dialog.onAnswer(answer); });
    }).detach();
  } catch (const std::system_error&) {
    showStatus(kPipeFailedText, StatusKind::Error);
  }
}

bool WirelessDialog::runCommand(std::function<WirelessAnswer(const DeviceBridge&)> job) {
  if (!commandIdle_) return false;
  commandIdle_ = false;
  showStatus(kBusyText, StatusKind::Progress);
  try {
    std::thread([link = link_, bridge = bridge_, job = std::move(job)] {
      WirelessAnswer answer = job(bridge);
      link->Post([answer](WirelessDialog& dialog) {
        dialog.commandIdle_ = true;
        dialog.onAnswer(answer);
      });
    }).detach();
  } catch (const std::system_error&) {
    commandIdle_ = true;
    showStatus(kPipeFailedText, StatusKind::Error);
  }
  return true;
}

void WirelessDialog::onAnswer(const WirelessAnswer& answer) {
  if (answer.text.empty()) return;
  showStatus(answer.text, answer.ok ? StatusKind::Success : StatusKind::Error);
  // Paired only, the phone is not in the device listing yet.
  if (answer.ok && answer.text != kPairedText && answer.text != kPairedConnectText) connected_ = true;
}

void WirelessDialog::onPair() {
  std::string address = ui::windowText(item(kPairAddressId), 128);
  std::string code = ui::windowText(item(kPairCodeId), 32);
  std::string connectAddress = ui::windowText(item(kConnectAddressId), 128);
  runCommand([address, code, connectAddress](const DeviceBridge& bridge) {
    WirelessAnswer paired = PairPhone(bridge, address, code);
    if (!paired.ok) return paired;
    // The phone's connect service: the address typed below, else the one
    // the network announces for the phone just paired.
    if (!TrimSpace(connectAddress).empty()) return ConnectPhone(bridge, connectAddress);
    std::vector<NetworkService> services;
    std::string failure;
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (ListNetworkServices(bridge, services, failure)) {
        std::string checked;
        ParseNetworkAddress(address, true, checked);
        if (const NetworkService* service = FindConnectService(services, paired.pairedGuid, checked))
          return ConnectPhone(bridge, service->address);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    paired.text = kPairedConnectText;
    return paired;
  });
}

void WirelessDialog::onConnect() {
  std::string address = ui::windowText(item(kConnectAddressId), 128);
  runCommand([address](const DeviceBridge& bridge) { return ConnectPhone(bridge, address); });
}

void WirelessDialog::onCancel() { endDialog(connected_ ? IDOK : IDCANCEL); }

LRESULT WirelessDialog::onCloseRequest(WPARAM, LPARAM) {
  onCancel();
  return 0;
}

bool RunWirelessDialog(HWND owner, const DeviceBridge& bridge) {
  WirelessDialog dialog(owner, bridge);
  dialog.runModal();
  return dialog.connected();
}

}  // namespace vantaro
