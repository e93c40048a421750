#pragma once
// The "无线连接" dialog, opened from the device chooser: pair a phone by
// scanning a QR code or with its six-digit code, and connect a phone
// already paired. adb runs on worker threads; their answers are posted to
// the dialog's thread. Closing the dialog stops the QR pairing's search.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "device/pairing_qr.h"
#include "device/resolve.h"
#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "ui/dialog.h"

namespace vantaro {

// The QR code's picture: black modules on white with a quiet zone, as large
// as whole pixels per module allow.
class QrView : public ui::Control {
 public:
  void SetCode(QrMatrix matrix);
  bool drawItem(const DRAWITEMSTRUCT& item) override;
  void PaintTo(HDC dc, const RECT& area) const;

 private:
  QrMatrix matrix_;
};

class WirelessDialog : public skin::SkinnedDialog<WirelessDialog> {
 public:
  enum : int {
    kQrId = 1040,
    kQrNoteId = 1041,
    kPairAddressId = 1042,
    kPairCodeId = 1043,
    kPairId = 1044,
    kConnectAddressId = 1045,
    kConnectId = 1046,
    kStatusId = 1036,
    kCancelId = 1014,
    kCloseId = 10200,
  };
  static const char* const kTitle;

  explicit WirelessDialog(HWND owner = nullptr, DeviceBridge bridge = DeviceBridge());
  ~WirelessDialog() override;

  static const ui::MessageTable<WirelessDialog>& messageTable();

  const PairingInvitation& invitation() const { return invitation_; }
  // True once a phone was connected while the dialog was open.
  bool connected() const { return connected_; }

 private:
  struct Link;

  bool onInitDialog() override;
  void showStatus(const std::string& text, StatusKind kind);
  void startQrPairing();
  // Runs job on a worker; its answer is shown when it ends. False while
  // another command runs.
  bool runCommand(std::function<WirelessAnswer(const DeviceBridge&)> job);
  void onAnswer(const WirelessAnswer& answer);

  void onPair();
  void onConnect();
  void onCancel();
  LRESULT onCloseRequest(WPARAM, LPARAM);

  DeviceBridge bridge_;
  std::shared_ptr<Link> link_;
  PairingInvitation invitation_;
  bool commandIdle_ = true;
  bool connected_ = false;

  skin::CaptionButton closeButton_;
  QrView qr_;
  skin::StatusLabel status_;
  skin::SkinButton pairButton_;
  skin::SkinButton connectButton_;
  skin::SkinButton cancelButton_;
};

// Runs the dialog modally over owner; true when a phone was connected.
bool RunWirelessDialog(HWND owner, const DeviceBridge& bridge = DeviceBridge());

}  // namespace vantaro
