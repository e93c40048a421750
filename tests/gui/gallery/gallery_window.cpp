#include "gallery/gallery_window.h"

#include "gallery/gallery_ids.h"
#include "package/display.h"
#include "res/resource.h"
#include "skin/images.h"
#include "ui/application.h"
#include "ui/wide.h"

namespace vantaro::gallery {
namespace {

struct Place {
  int id;
  int x, y, w, h;
};

constexpr Place kLayout[] = {
    {ID_ICON_DEFAULT, 24, 62, 48, 48},
    {ID_ICON_DECODED, 88, 62, 48, 48},
    {ID_CAPTION_DEFAULT, 24, 116, 60, 14},
    {ID_CAPTION_DECODED, 88, 116, 60, 14},
    {ID_ACCENT, 160, 66, 70, 16},
    {ID_PLAIN, 160, 92, 180, 14},
    {ID_TREE, 24, 144, 320, 292},
    {ID_BUTTON_INSTALL, 370, 62, 82, 30},
    {ID_BUTTON_RUN, 370, 100, 82, 30},
    {ID_BUTTON_DEVICES, 370, 138, 82, 30},
    {ID_BUTTON_PLAIN_OK, 370, 176, 82, 30},
    {ID_BUTTON_PLAIN_CANCEL, 370, 214, 82, 30},
    {ID_BUTTON_HELP, 466, 62, 82, 30},
    {ID_BUTTON_SETTINGS, 466, 100, 82, 30},
    {ID_BUTTON_SAVE, 466, 138, 82, 30},
    {ID_BUTTON_EXIT, 466, 176, 82, 30},
    {ID_BUTTON_SEARCH, 466, 214, 82, 30},
    {ID_COMBO_CAPTION, 572, 66, 36, 16},
    {ID_COMBO, 610, 62, 130, 200},
    {ID_CHECK_SDCARD, 572, 104, 150, 15},
    {ID_CHECK_ASSOCIATE, 572, 128, 150, 15},
    {ID_STATUS_PROGRESS, 370, 276, 370, 16},
    {ID_STATUS_ERROR, 370, 300, 370, 16},
    {ID_STATUS_SUCCESS, 370, 324, 370, 16},
    {ID_PERCENT, 370, 356, 350, 18},
    {ID_SEPARATOR, 1, 448, kWidth - 2, 2},
    {ID_MESSAGE, 10, 456, 480, 16},
    {ID_CREDIT, 560, 456, 190, 16},
};

struct ButtonSpec {
  int id;
  int icon;  // 0: none
};

constexpr ButtonSpec kButtons[] = {
    {ID_BUTTON_INSTALL, IDI_INSTALL}, {ID_BUTTON_RUN, IDI_RUN},         {ID_BUTTON_DEVICES, IDI_DEVICES},
    {ID_BUTTON_SEARCH, IDI_SEARCH},   {ID_BUTTON_HELP, IDI_HELP},       {ID_BUTTON_SETTINGS, IDI_SETTINGS},
    {ID_BUTTON_SAVE, IDI_SAVE},       {ID_BUTTON_EXIT, IDI_EXIT},       {ID_BUTTON_PLAIN_OK, 0},
    {ID_BUTTON_PLAIN_CANCEL, 0},
};

constexpr int kPresetIcons[] = {IDI_PRESET_ALL, IDI_PRESET_ESSENTIALS, IDI_PRESET_INSTALLER, IDI_PRESET_CUSTOM};
const char* const kPresets[] = {"全部功能", "必备组件", "仅安装器", "自定义"};

struct Section {
  const char* title;
  int image;
  std::initializer_list<const char*> leaves;
};

const Section kSections[] = {
    {"请求权限", kImageTick,
     {"[!] --- 访问精确位置信息，将通过GPS全球定位芯片定位",
      "允许访问已经配对的蓝牙设备", "允许发现和配对蓝牙设备", "访问网络连接，可能产生GPRS流量",
      "[!] --- 读取联系人数据"}},
    {"统计信息", kImageInformation, {"Google Analytics", "Flurry"}},
    {"广告检测", kImageWarning, {"AdMob", "没有找到"}},
};

}  // namespace

GalleryWindow::GalleryWindow() : SkinnedDialog(IDD_GALLERY, nullptr, "Vantaro 3.0 控件一览") {
  bind(ID_ICON_DEFAULT, defaultIcon_);
  bind(ID_ICON_DECODED, decodedIcon_);
  bind(ID_ACCENT, accent_);
  bind(ID_TREE, tree_);
  for (size_t i = 0; i < buttons_.size(); ++i) bind(kButtons[i].id, buttons_[i]);
  bind(ID_CHECK_SDCARD, sdCard_);
  bind(ID_CHECK_ASSOCIATE, associate_);
  bind(ID_COMBO, combo_);
  bind(ID_STATUS_PROGRESS, progress_);
  bind(ID_STATUS_ERROR, error_);
  bind(ID_STATUS_SUCCESS, success_);
  bind(ID_PERCENT, percent_);
  bind(ID_MESSAGE, message_);
  bind(ID_CREDIT, credit_);
}

GalleryWindow::~GalleryWindow() {
  if (presetIcons_) ImageList_Destroy(presetIcons_);
}

const ui::MessageTable<GalleryWindow>& GalleryWindow::messageTable() {
  static const ui::MessageTable<GalleryWindow> table{
      ui::onClicked(ID_CAPTION_CLOSE, &GalleryWindow::onClose),
      ui::onClicked(ID_CAPTION_MINIMISE, &GalleryWindow::onMinimise),
      ui::onClicked(ID_BUTTON_SEARCH, &GalleryWindow::onSearch),
      ui::onClicked(ID_CHECK_SDCARD, &GalleryWindow::onSdCard),
      ui::onClicked(ID_CHECK_ASSOCIATE, &GalleryWindow::onAssociate),
      ui::onCommand(ID_COMBO, CBN_SELCHANGE, &GalleryWindow::onPreset),
      ui::onClicked(ID_BUTTON_INSTALL, &GalleryWindow::onButton<ID_BUTTON_INSTALL>),
      ui::onClicked(ID_BUTTON_RUN, &GalleryWindow::onButton<ID_BUTTON_RUN>),
      ui::onClicked(ID_BUTTON_DEVICES, &GalleryWindow::onButton<ID_BUTTON_DEVICES>),
      ui::onClicked(ID_BUTTON_HELP, &GalleryWindow::onHelp),
      ui::onClicked(ID_BUTTON_SETTINGS, &GalleryWindow::onButton<ID_BUTTON_SETTINGS>),
      ui::onClicked(ID_BUTTON_SAVE, &GalleryWindow::onButton<ID_BUTTON_SAVE>),
      ui::onClicked(ID_BUTTON_EXIT, &GalleryWindow::onButton<ID_BUTTON_EXIT>),
      ui::onClicked(ID_BUTTON_PLAIN_OK, &GalleryWindow::onButton<ID_BUTTON_PLAIN_OK>),
      ui::onClicked(ID_BUTTON_PLAIN_CANCEL, &GalleryWindow::onButton<ID_BUTTON_PLAIN_CANCEL>),
  };
  return table;
}

bool GalleryWindow::onInitDialog() {
  frame_.SetStandardPieces();
  SetWindowPos(handle(), nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER);
  layOut();
  ui::setWindowText(handle(), "Vantaro Gallery");
  centreOnScreen();

  frame_.AddCaptionButton(minimiseButton_, handle(), ID_CAPTION_MINIMISE, 53, IDB_MINIMISE_NORMAL,
                          IDB_MINIMISE_HOVER, IDB_MINIMISE_PRESSED);
  frame_.AddCaptionButton(closeButton_, handle(), ID_CAPTION_CLOSE, 28, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER,
                          IDB_CLOSE_PRESSED);
  toolTip().create(handle());
  toolTip().addTool(minimiseButton_.handle(), "最小化");
  toolTip().addTool(closeButton_.handle(), "关闭");
  toolTip().activate(true);

  for (size_t i = 0; i < buttons_.size(); ++i)
    if (kButtons[i].icon) buttons_[i].SetIcon(kButtons[i].icon);
  SendMessageW(sdCard_.handle(), BM_SETCHECK, BST_CHECKED, 0);

  fillTree();
  fillCombo();
  progress_.SetStatusKind(StatusKind::Progress);
  error_.SetStatusKind(StatusKind::Error);
  success_.SetStatusKind(StatusKind::Success);
  percent_.SetPercent(57);

  HINSTANCE module = ui::Application::instance();
  if (HRSRC png = FindResourceW(module, MAKEINTRESOURCEW(200), L"png")) {
    HGLOBAL loaded = LoadResource(module, png);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes) decodedBytes_.assign(bytes, SizeofResource(module, png));
  }
  decodedIcon_.SetImage(reinterpret_cast<const uint8_t*>(decodedBytes_.data()),
                        static_cast<uint32_t>(decodedBytes_.size()));
  return true;
}

void GalleryWindow::layOut() {
  for (const Place& place : kLayout)
    SetWindowPos(item(place.id), nullptr, place.x, place.y, place.w, place.h, SWP_NOZORDER | SWP_NOACTIVATE);
  // The overlays follow the tree's new place on its next paint.
  InvalidateRect(tree_.handle(), nullptr, TRUE);
}

void GalleryWindow::fillTree() {
  HWND tree = tree_.handle();
  for (const Section& section : kSections) {
    std::wstring title = ui::toWide(section.title);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = title.data();
    insert.item.iImage = insert.item.iSelectedImage = section.image;
    auto parent = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    for (const char* leaf : section.leaves) {
      std::wstring text = ui::toWide(leaf);
      insert.hParent = parent;
      insert.item.pszText = text.data();
      insert.item.iImage = insert.item.iSelectedImage = kImageNone;
      SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    }
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  }
  LPARAM first = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
  SendMessageW(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, first);
}

void GalleryWindow::fillCombo() {
  presetIcons_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  for (int icon : kPresetIcons) ImageList_AddIcon(presetIcons_, skin::loadIcon(icon, 16));
  combo_.SetIconList(presetIcons_);
  for (const char* preset : kPresets) {
    std::wstring text = ui::toWide(preset);
    SendMessageW(combo_.handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(combo_.handle(), CB_SETCURSEL, 0, 0);
}

void GalleryWindow::say(const std::string& text, StatusKind kind) {
  ui::setWindowText(message_.handle(), text);
  message_.SetStatusKind(kind);
}

void GalleryWindow::repaintAll() {
  RedrawWindow(handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void GalleryWindow::onClose() { endDialog(IDOK); }

void GalleryWindow::onMinimise() { ShowWindow(handle(), SW_MINIMIZE); }

void GalleryWindow::reportClick(int id) { say("已单击: " + ui::windowText(item(id)), StatusKind::Success); }

void GalleryWindow::onHelp() {
  MessageBoxW(handle(), ui::toWide("每个控件都可以单击试试").c_str(), L"Vantaro", MB_OK | MB_ICONINFORMATION);
  reportClick(ID_BUTTON_HELP);
}

void GalleryWindow::onSearch() {
  skin::SkinMenu menu;
  menu.attach(CreatePopupMenu());
  menu.SetImages(IDB_MENU_IMAGES);
  menu.AppendItem(MF_OWNERDRAW, ID_MENU_SITE_SEARCH, 0, "Korvel 站内搜索");
  menu.AppendItem(MF_OWNERDRAW, ID_MENU_STORE, 1, "Market 电子商城");
  RECT button;
  GetWindowRect(item(ID_BUTTON_SEARCH), &button);
  // Beside the button, where it hides no other widget.
  UINT chosen = TrackPopupMenu(menu.handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON, button.right + 4, button.top, 0,
                               handle(), nullptr);
  if (chosen == ID_MENU_SITE_SEARCH)
    say("已选择: Korvel 站内搜索", StatusKind::Success);
  else if (chosen == ID_MENU_STORE)
    say("已选择: Market 电子商城", StatusKind::Success);
  else
    say("菜单已关闭", StatusKind::Progress);
}

void GalleryWindow::onSdCard() {
  say(sdCard_.checked() ? "优先装到SD卡上: 已选中" : "优先装到SD卡上: 未选中", StatusKind::Progress);
}

void GalleryWindow::onAssociate() {
  say(associate_.checked() ? "启用关联: 已选中" : "启用关联: 未选中", StatusKind::Progress);
}

void GalleryWindow::onPreset() {
  LRESULT index = SendMessageW(combo_.handle(), CB_GETCURSEL, 0, 0);
  if (index >= 0 && index < 4) say(std::string("预设: ") + kPresets[index], StatusKind::Progress);
}

}  // namespace vantaro::gallery
