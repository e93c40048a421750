#include "essentials/essentials_dialog.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <system_error>

#include "device/resolve.h"
#include "install/launch.h"
#include "res/resource.h"
#include "skin/images.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/wide.h"

namespace vantaro {

const char* const EssentialsDialog::kTitle = "Vantaro 3.0  手机必备软件";
const char* const EssentialsDialog::kWindowText = "Vantaro 3.0";
const char* const EssentialsDialog::kSeveralDevicesText = "检测到多个Android设备，您尚未选择任何设备，请重试";
const char* const EssentialsDialog::kCloseWhileInstallingText = "安装中，请在安装结束后再关闭";

namespace {

constexpr UINT_PTR kListingTimer = 0;
constexpr UINT kListingDelayMs = 50;
// A package listing is a few dozen bytes per package; one this long is not a
// phone's, and is dropped as a failed listing.
constexpr size_t kMaxListingBytes = size_t{1} << 20;

}  // namespace

EssentialsDialog::EssentialsDialog(HWND owner, EssentialsSetup setup)
    : SkinnedDialog(IDD_ESSENTIALS, owner, kTitle),
      setup_(std::move(setup)),
      catalog_(*this, setup_.site,
               [this](const std::string& address) {
                 if (setup_.openPage) setup_.openPage(handle(), address);
               }),
      listingCommand_(this) {
  bind(kNoteId, note_);
  bind(kPresetId, presets_);
  bind(kOverviewId, overviewButton_);
  bind(kListId, list_);
  bind(kMessageId, messageLine_);
  bind(kInstallId, installButton_);
  bind(kCancelId, cancelButton_);
  list_.SetListener(this);
}

EssentialsDialog::~EssentialsDialog() {
  // The install thread only posts to the window; it is waited for here, in
  // case the window went away without the user closing it.
  if (installThread_.joinable()) installThread_.join();
  if (handle()) KillTimer(handle(), kListingTimer);
  listingCommand_.Close();  // no output is delivered once it returns
  if (presetImages_) ImageList_Destroy(presetImages_);
}

const ui::MessageTable<EssentialsDialog>& EssentialsDialog::messageTable() {
  static const ui::MessageTable<EssentialsDialog> table{
      ui::onClicked(kInstallId, &EssentialsDialog::onInstall),
      ui::onClicked(kCancelId, &EssentialsDialog::onCancel),
      ui::onClicked(IDCANCEL, &EssentialsDialog::onCancel),
      ui::onClicked(IDOK, &EssentialsDialog::onCancel),
      ui::onClicked(kOverviewId, &EssentialsDialog::onOverview),
      ui::onCommand(kPresetId, CBN_SELCHANGE, &EssentialsDialog::onPresetChanged),
      ui::onMessage(WM_CLOSE, &EssentialsDialog::onCloseRequest),
      ui::onMessage(WM_TIMER, &EssentialsDialog::onTimer),
  };
  return table;
}

bool EssentialsDialog::onInitDialog() {
  frame_.SetStandardPieces();
  ui::setWindowText(handle(), kWindowText);
  centreOnScreen();
  overviewButton_.SetIcon(IDI_HELP);
  installButton_.SetIcon(IDI_SELECT);
  cancelButton_.SetIcon(IDI_CANCEL);
  fillPresets();
  SendMessageW(list_.handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  insertColumns();
  // The first refresh runs once the dialog shows, so that the device chooser
  // or the several-devices box appears over it.
  post([this] { refresh(); });
  return true;
}

void EssentialsDialog::fillPresets() {
  presetImages_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, static_cast<int>(kEssentialsPresetCount), 0);
  for (const EssentialsPreset& preset : kEssentialsPresets)
    ImageList_AddIcon(presetImages_, skin::loadIcon(preset.iconId, 16));
  presets_.SetIconList(presetImages_);
  for (const EssentialsPreset& preset : kEssentialsPresets) {
    std::wstring text = ui::toWide(preset.text);
    SendMessageW(presets_.handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(presets_.handle(), CB_SETCURSEL, 0, 0);
}

void EssentialsDialog::insertColumns() {
  for (size_t i = 0; i < kEssentialsColumnCount; ++i) {
    std::wstring title = ui::toWide(kEssentialsColumns[i].header);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = kEssentialsColumns[i].centred ? LVCFMT_CENTER : LVCFMT_LEFT;
    column.cx = kEssentialsColumns[i].width;
    column.pszText = title.data();
    SendMessageW(list_.handle(), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void EssentialsDialog::setMessage(const std::string& text, StatusKind kind) {
  ui::setWindowText(messageLine_.handle(), text);
  messageLine_.SetStatusKind(kind);
}

void EssentialsDialog::ShowMessage(const std::string& text, StatusKind kind) {
  if (handle() && GetWindowThreadProcessId(handle(), nullptr) == GetCurrentThreadId()) {
    setMessage(text, kind);
    return;
  }
  post([this, text, kind] { setMessage(text, kind); });
}

// ------------------------------------------------------------------ refresh and listing

void EssentialsDialog::refresh() {
  const InstallServices& services = setup_.services;
  ResolveResult resolved =
      services.resolveDevice ? services.resolveDevice() : ResolveTargetDevice(services.bridge, services.chooser);
  switch (resolved) {
    case ResolveResult::PipeFailed:
    case ResolveResult::StartFailed:
    case ResolveResult::TimedOut:
      setMessage(ResolveFailureText(resolved), StatusKind::Error);
      return;
    case ResolveResult::NoDevice:
      setMessage(ResolveFailureText(resolved), StatusKind::Error);
      catalog_.RebuildCatalog(installedPackages_);
      return;
    case ResolveResult::NoneChosen:
      showSeveralDevicesBox();
      endDialog(IDCANCEL);
      return;
    case ResolveResult::Chosen:
      listInstalled();
      return;
  }
}

void EssentialsDialog::listInstalled() {
  if (listingBusy_) return;
  {
    std::lock_guard<std::mutex> lock(listingMutex_);
    listingOutput_.clear();
    listingOverflow_ = false;
  }
  listingBusy_ = true;
  SetTimer(handle(), kListingTimer, kListingDelayMs, nullptr);
}

void EssentialsDialog::showSeveralDevicesBox() {
  std::wstring text = ui::toWide(kSeveralDevicesText);
  ui::ShowTopmostMessageBox(text, L"Vantaro", MB_OK, IDI_APP);
}

LRESULT EssentialsDialog::onTimer(WPARAM id, LPARAM) {
  if (id != kListingTimer) return 0;
  KillTimer(handle(), kListingTimer);
  startListing();
  return 0;
}

void EssentialsDialog::startListing() {
  listingCommand_.Close();
  if (!listingCommand_.Start(PackageListingCommand(setup_.services.bridge))) {
    // Nothing will end this listing: a later refresh may start another.
    listingBusy_ = false;
    setMessage(kStartFailedText, StatusKind::Error);
  }
}

void EssentialsDialog::OnOutput(const std::string& text, OutputStatus status) {
  std::string output;
  {
    std::lock_guard<std::mutex> lock(listingMutex_);
    if (listingOverflow_) return;
    if (status == OutputStatus::Chunk) {
      if (listingOutput_.size() + text.size() <= kMaxListingBytes) {
        listingOutput_ += text;
        return;
      }
      listingOverflow_ = true;
      std::string().swap(listingOutput_);
      listingCommand_.Close();  // asks the reader to stop
      status = OutputStatus::Failed;
    }
    output.swap(listingOutput_);
  }
  if (status == OutputStatus::Finished)
    post([this, output = std::move(output)] { onListingEnded(output); });
  else
    post([this] { listingBusy_ = false; });
}

void EssentialsDialog::onListingEnded(const std::string& output) {
  installedPackages_ = InstalledPackageLines(output);
  catalog_.RebuildCatalog(installedPackages_);
  listingBusy_ = false;
}

// ------------------------------------------------------------------ the list

void EssentialsDialog::ClearItems() {
  SendMessageW(list_.handle(), LVM_DELETEALLITEMS, 0, 0);
  list_.ClearRows();
}

void EssentialsDialog::AppendItem(const EssentialsItem& item) {
  skin::EssentialsRow row{};
  skin::CopyRowField(row.description, item.entry->description);
  skin::CopyRowField(row.linkText, item.entry->linkText);
  skin::CopyRowField(row.version, item.entry->version);
  row.iconId = item.entry->iconId;
  row.installed = item.installed ? 1 : 0;
  list_.AddRow(row);

  HWND list = list_.handle();
  std::wstring text = ui::toWide(item.cells[0]);
  LVITEMW data{};
  data.mask = LVIF_TEXT;
  data.iItem = list_.itemCount();
  data.pszText = text.data();
  int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&data)));
  if (index < 0) return;
  for (size_t column = 1; column < kEssentialsColumnCount; ++column) {
    text = ui::toWide(item.cells[column]);
    data.iSubItem = static_cast<int>(column);
    data.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&data));
  }
}

int EssentialsDialog::ItemCount() const { return list_.itemCount(); }

void EssentialsDialog::SetTicked(int item, bool ticked) { list_.SetChecked(item, ticked); }

void EssentialsDialog::Repaint() { InvalidateRect(list_.handle(), nullptr, TRUE); }

void EssentialsDialog::OnLinkClicked(int itemIndex) { catalog_.OnLinkClicked(itemIndex); }

// ------------------------------------------------------------------ install

std::vector<EssentialsChoice> EssentialsDialog::choices() const {
  std::vector<EssentialsChoice> rows;
  const auto& records = list_.rows();
  int count = list_.itemCount();
  for (int i = 0; i < count; ++i) {
    wchar_t id[MAX_PATH + 1] = {};
    LVITEMW data{};
    data.iSubItem = kPackageIdColumn;
    data.pszText = id;
    data.cchTextMax = MAX_PATH + 1;
    SendMessageW(list_.handle(), LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&data));
    EssentialsChoice choice;
    choice.packageId = ui::fromWide(id);
    choice.installed = static_cast<size_t>(i) < records.size() && records[static_cast<size_t>(i)].installed != 0;
    choice.ticked = list_.IsChecked(i);
    rows.push_back(std::move(choice));
  }
  return rows;
}

void EssentialsDialog::onInstall() {
  if (!essentialsIdle_) return;
  if (installThread_.joinable()) installThread_.join();  // the last run, ended
  essentialsIdle_ = false;
  // The run asks for the phone once; the list after it is of that phone.
  InstallServices services = setup_.services;
  auto chosen = std::make_shared<std::atomic<bool>>(false);
  services.resolveDevice = [own = setup_.services, chosen] {
    ResolveResult resolved = own.resolveDevice ? own.resolveDevice() : ResolveTargetDevice(own.bridge, own.chooser);
    if (resolved == ResolveResult::Chosen) *chosen = true;
    return resolved;
  };
  try {
    installThread_ = std::thread([this, rows = choices(), services = std::move(services), chosen] {
      EssentialsRunEnd end = InstallEssentials(rows, setup_.programFolder, services, *this);
      post([this, end, phoneChosen = chosen->load()] { onRunEnded(end, phoneChosen); });
    });
  } catch (const std::system_error&) {
    essentialsIdle_ = true;
    setMessage(kPipeFailedText, StatusKind::Error);
  }
}

void EssentialsDialog::onRunEnded(EssentialsRunEnd end, bool phoneChosen) {
  if (phoneChosen)
    listInstalled();
  else if (end != EssentialsRunEnd::NothingChosen)
    refresh();
  essentialsIdle_ = true;
  if (end == EssentialsRunEnd::ComponentMissing) setMessage(kComponentMissingText, StatusKind::Error);
}

// ------------------------------------------------------------------ commands

void EssentialsDialog::onCancel() {
  if (!essentialsIdle_) {
    // The run copies to the phone and removes its temporary copies when it
    // ends: the dialog waits for it.
    setMessage(kCloseWhileInstallingText, StatusKind::Progress);
    return;
  }
  endDialog(IDCANCEL);
}

LRESULT EssentialsDialog::onCloseRequest(WPARAM, LPARAM) {
  onCancel();
  return 0;
}

void EssentialsDialog::onOverview() {
  if (setup_.openPage) setup_.openPage(handle(), catalog_.OverviewAddress());
}

void EssentialsDialog::onPresetChanged() {
  catalog_.ApplyPreset(static_cast<int>(SendMessageW(presets_.handle(), CB_GETCURSEL, 0, 0)));
}

// ------------------------------------------------------------------ opening

void RunEssentialsDialog(HWND owner, std::string site, PageOpener openPage, DeviceChooser chooser) {
  EssentialsSetup setup;
  setup.services.chooser = std::move(chooser);
  setup.site = std::move(site);
  setup.openPage = std::move(openPage);
  EssentialsDialog dialog(owner, std::move(setup));
  dialog.runModal();
}

}  // namespace vantaro
