// The essentials dialog in this process, with fake-adb as the tool and
// stand-in package files in a program folder of its own: what the list
// shows, the presets and ticks, the install runs and their texts, the
// several-devices box, the links, and closing while a run is under way.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include "base/text.h"
#include "device/current_device.h"
#include "essentials/essentials_dialog.h"
#include "install/system.h"
#include "peeking_runner.h"
#include "skin/labels.h"
#include "support.h"
#include "ui/wide.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using test::StandIn;
using Lines = std::vector<std::string>;
using Dialog = EssentialsDialog;

const char* const kSite = "https://www.korvel.example";

std::string phone(const std::string& listing, const std::string& installRule = "out Success\\r\\n\n") {
  return test::DeviceListingRule({"SER1"}) + "match -s SER1 shell pm list package\nout " + listing + "\n" +
         "match -s SER1 install *\n" + installRule;
}

class EssentialsDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    CurrentDevice::Set(std::string());
    program_ = files_.path() + "program" + test::PathSeparator();
    ASSERT_TRUE(test::MakeFolder(program_));
    for (const EssentialsRowSpec& row : kEssentialsRows)
      test::WriteFile(program_ + row.packageId + ".apk", StandIn(row.packageId));
  }

  void open(const std::string& scenario) {
    fake_ = std::make_unique<FakeAdb>(scenario);
    EssentialsSetup setup;
    setup.services.bridge = DeviceBridge{fake_->path(), &runner_};
    setup.services.chooser = [this](const std::vector<std::string>&) {
      ++chooserAsked_;
      return std::string();  // the user cancels
    };
    setup.services.freeMegabytes = [this] { return free_; };
    setup.programFolder = program_;
    setup.site = kSite;
    setup.openPage = [this](HWND owner, const std::string& address) {
      EXPECT_EQ(owner, dialog_->handle());
      opened_.push_back(address);
    };
    dialog_ = std::make_unique<Dialog>(nullptr, std::move(setup));
    ASSERT_TRUE(dialog_->createModeless());
    ShowWindow(dialog_->handle(), SW_SHOWNOACTIVATE);
  }

  // Runs this thread's messages until done() holds; false after ms.
  bool pumpUntil(const std::function<bool()>& done, unsigned ms = 15000) {
    ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!dialog_ || !dialog_->handle() || !dialog_->filterMessage(message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
      if (done()) return true;
      if (GetTickCount64() > end) return false;
      Sleep(5);
    }
  }
  void pumpFor(unsigned ms) {
    pumpUntil([] { return false; }, ms);
  }
  // The listing has filled the list.
  bool listed() {
    return pumpUntil([&] { return !dialog_->listingBusy() && items() == 12 && fake_->Log().size() >= 2; });
  }
  // A run has ended and the listing after it too.
  bool runEnded(size_t listings) {
    return pumpUntil([&] {
      return dialog_->essentialsIdle() && !dialog_->listingBusy() &&
             logged("-s SER1 shell pm list package") == listings;
    });
  }

  int items() const { return dialog_->list().itemCount(); }
  HWND list() const { return dialog_->list().handle(); }
  std::string cell(int item, int column) const {
    wchar_t text[256] = {};
    LVITEMW data{};
    data.iSubItem = column;
    data.pszText = text;
    data.cchTextMax = 256;
    SendMessageW(list(), LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&data));
    return ui::fromWide(text);
  }
  std::vector<int> tickedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < items(); ++i)
      if (dialog_->list().IsChecked(i)) rows.push_back(i);
    return rows;
  }
  void tickOnly(std::initializer_list<int> rows) {
    for (int i = 0; i < items(); ++i) {
      LVITEMW state{};
      state.stateMask = LVIS_STATEIMAGEMASK;
      state.state = INDEXTOSTATEIMAGEMASK(std::find(rows.begin(), rows.end(), i) != rows.end() ? 2 : 1);
      SendMessageW(list(), LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
    }
  }
  void choosePreset(int index) {
    HWND box = dialog_->item(Dialog::kPresetId);
    SendMessageW(box, CB_SETCURSEL, index, 0);
    SendMessageW(dialog_->handle(), WM_COMMAND, MAKEWPARAM(Dialog::kPresetId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
  }
  std::string message() const { return ui::windowText(dialog_->item(Dialog::kMessageId)); }
  void click(int id) {
    SendMessageW(dialog_->handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dialog_->item(id)));
  }
  size_t logged(const std::string& line) const {
    size_t n = 0;
    for (const std::string& entry : fake_->Log()) n += entry == line;
    return n;
  }
  Lines installCommands() const {
    Lines commands;
    for (const std::string& entry : fake_->Log())
      if (entry.find(" install ") != std::string::npos) commands.push_back(entry);
    return commands;
  }
  bool isOpen() const { return dialog_->handle() != nullptr; }

  test::TempFolder files_{"essentials-dialog"};
  std::string program_;
  test::PeekingRunner runner_;
  int64_t free_ = 100;
  int chooserAsked_ = 0;
  Lines opened_;
  std::unique_ptr<FakeAdb> fake_;
  std::unique_ptr<Dialog> dialog_;
};

TEST_F(EssentialsDialogTest, WithoutAPhoneEveryRowIsNotInstalled) {
  open("match devices\nout List of devices attached\\n\\n\n");
  ASSERT_TRUE(pumpUntil([&] { return items() == 12; }));
  EXPECT_EQ(message(), "【错误】没有找到Android设备，请检查USB连接");
  EXPECT_EQ(dialog_->messageLine().colour(), skin::kErrorColour);
  EXPECT_EQ(ui::windowText(dialog_->handle()), "Vantaro 3.0");
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cell(i, 1), kEssentialsRows[i].title);
    EXPECT_EQ(cell(i, 2), "系统工具");
    EXPECT_EQ(cell(i, 3), "未安装");
    EXPECT_EQ(cell(i, 4), kEssentialsRows[i].sizeText);
    EXPECT_EQ(cell(i, 5), kEssentialsRows[i].packageId);
    EXPECT_EQ(dialog_->list().rows()[i].installed, 0);
    EXPECT_EQ(dialog_->list().rows()[i].iconId, kEssentialsRows[i].iconId);
    EXPECT_STREQ(dialog_->list().rows()[i].description, kEssentialsRows[i].description);
  }
  HWND header = reinterpret_cast<HWND>(SendMessageW(list(), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageW(list(), LVM_GETCOLUMNWIDTH, 1, 0), 400);
  HWND presets = dialog_->item(Dialog::kPresetId);
  EXPECT_EQ(SendMessageW(presets, CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageW(presets, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(fake_->Log(), Lines{"devices"});
}

TEST_F(EssentialsDialogTest, TheListingMarksOnlyTheExactPackagesInstalled) {
  open(phone("package:com.android.phone\\r\\npackage:com.korvel.Torch\\r\\npackage:com.korvel.KorvelPro\\r\\n"));
  ASSERT_TRUE(listed());
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cell(i, 3), i == 9 ? "已安装" : "未安装");
    EXPECT_EQ(dialog_->list().rows()[i].installed != 0, i == 9);
  }
  EXPECT_EQ(message(), "就绪");
  EXPECT_EQ(fake_->Log(), (Lines{"devices", "-s SER1 shell pm list package"}));
}

TEST_F(EssentialsDialogTest, PresetsTickTheirRowsARebuildTicksEveryRowAndNothingTickedIsAnError) {
  open(phone("package:com.korvel.Korvel\\r\\npackage:com.korvel.AppDesk\\r\\n"));
  ASSERT_TRUE(listed());
  EXPECT_EQ(tickedRows().size(), 12u) << "rows never ticked count as ticked";
  choosePreset(1);
  EXPECT_EQ(tickedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
  choosePreset(3);
  EXPECT_EQ(tickedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
  choosePreset(2);
  EXPECT_EQ(tickedRows(), (std::vector<int>{0, 1}));

  // Both ticked rows are on the phone: the run installs nothing, and the
  // listing after it rebuilds the list with every row ticked.
  click(Dialog::kInstallId);
  ASSERT_TRUE(runEnded(2));
  EXPECT_TRUE(installCommands().empty());
  EXPECT_EQ(message(), "就绪");
  EXPECT_EQ(tickedRows().size(), 12u);
  EXPECT_EQ(SendMessageW(dialog_->item(Dialog::kPresetId), CB_GETCURSEL, 0, 0), 2);

  // Nothing ticked while something is missing: an error, no install, no
  // refresh.
  tickOnly({});
  click(Dialog::kInstallId);
  ASSERT_TRUE(pumpUntil([&] { return dialog_->essentialsIdle() && message() != "就绪"; }));
  EXPECT_EQ(message(), "【错误】您尚未选择任何要安装的组件");
  pumpFor(300);
  EXPECT_EQ(logged("devices"), 2u);
}

TEST_F(EssentialsDialogTest, OnlyRow3TickedInstallsRow3ThenTheBaseFrameworkWithoutReplace) {
  open(phone("package:com.android.phone\\r\\n"));
  ASSERT_TRUE(listed());
  tickOnly({3});
  click(Dialog::kInstallId);
  ASSERT_TRUE(runEnded(2));
  EXPECT_EQ(runner_.copies(), (Lines{StandIn("com.korvel.TaskDesk"), StandIn("com.korvel.Korvel")}));
  Lines commands = installCommands();
  ASSERT_EQ(commands.size(), 2u);
  for (const std::string& command : commands) {
    EXPECT_EQ(command.rfind("-s SER1 install ", 0), 0u) << command;
    EXPECT_EQ(command.find(" -r"), std::string::npos) << command;
  }
  EXPECT_EQ(message(), "【安装成功】“Korvel”已经安装到您的手机中");
  EXPECT_EQ(dialog_->messageLine().colour(), skin::kSuccessColour);
}

TEST_F(EssentialsDialogTest, AnAbsentPackageFileIsReportedAfterTheOthers) {
  RemoveFile(program_ + "com.korvel.FileDesk.apk");
  open(phone("package:com.korvel.Korvel\\r\\n"));
  ASSERT_TRUE(listed());
  tickOnly({1, 2, 3});
  click(Dialog::kInstallId);
  ASSERT_TRUE(runEnded(2));
  EXPECT_EQ(runner_.copies(), (Lines{StandIn("com.korvel.AppDesk"), StandIn("com.korvel.TaskDesk")}));
  EXPECT_EQ(message(), "【错误】Korvel部分组件丢失，请重新安装Vantaro来修复");
  EXPECT_EQ(dialog_->messageLine().colour(), skin::kErrorColour);
}

TEST_F(EssentialsDialogTest, LessThan21MiBFreeFailsEveryPackage) {
  free_ = 20;
  open(phone(""));
  ASSERT_TRUE(listed());
  tickOnly({4, 5});
  click(Dialog::kInstallId);
  ASSERT_TRUE(runEnded(2));
  EXPECT_TRUE(installCommands().empty());
  EXPECT_EQ(logged("devices"), 2u) << "opening and once for the run (rows 4, 5 and 0); the list after it is of "
                                       "the run's phone, not asked for again";
  EXPECT_EQ(logged("-s SER1 shell pm list package"), 2u);
  EXPECT_EQ(message(), "【安装失败】当前电脑系统盘剩余空间不足");
}

TEST_F(EssentialsDialogTest, TwoPhonesAndACancelledChooserShowTheBoxThenClose) {
  // The box runs a loop of its own on this thread: another thread reads it
  // and dismisses it.
  std::wstring text;
  HWND owner = reinterpret_cast<HWND>(1);
  bool topmost = false;
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 600 && !box; ++i, Sleep(25)) box = FindWindowW(L"#32770", L"Vantaro");
    if (!box) return;
    wchar_t buffer[256] = {};
    GetWindowTextW(GetDlgItem(box, 0xFFFF), buffer, 256);
    text = buffer;
    owner = GetWindow(box, GW_OWNER);
    // The box is made topmost while it initialises.
    for (int i = 0; i < 40 && !topmost; ++i, Sleep(25))
      topmost = (GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  open(test::DeviceListingRule({"ONE1", "TWO2"}));
  bool closed = pumpUntil([&] { return !isOpen(); });
  user.join();
  EXPECT_TRUE(closed);
  EXPECT_EQ(chooserAsked_, 1);
  EXPECT_EQ(ui::fromWide(text), "检测到多个Android设备，您尚未选择任何设备，请重试");
  EXPECT_EQ(owner, nullptr);
  EXPECT_TRUE(topmost);
  EXPECT_EQ(fake_->Log(), Lines{"devices"});
}

TEST_F(EssentialsDialogTest, LinksOpenFrom30PixelsBelowTheCellTopAndTheOverviewPage) {
  open(phone(""));
  ASSERT_TRUE(listed());
  RECT cell{LVIR_BOUNDS, 2, 0, 0};
  ASSERT_TRUE(SendMessageW(list(), LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&cell)));
  int x = (cell.left + cell.right) / 2;
  for (int dy : {29, 30}) {
    SendMessageW(list(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, cell.top + dy));
    SendMessageW(list(), WM_LBUTTONUP, 0, MAKELPARAM(x, cell.top + dy));
  }
  click(Dialog::kOverviewId);
  EXPECT_EQ(opened_, (Lines{std::string(kSite) + "/korvel/plugins/appdesk/", std::string(kSite) + "/korvel/"}));
}

TEST_F(EssentialsDialogTest, CancelDuringARunRefusesThenClosesOnceItHasEnded) {
  open(phone("", "delay 1500\nout Success\\r\\n\n"));
  ASSERT_TRUE(listed());
  tickOnly({0});
  click(Dialog::kInstallId);
  pumpFor(300);
  click(Dialog::kInstallId);  // ignored while the run goes on
  click(Dialog::kCancelId);
  EXPECT_EQ(message(), "安装中，请在安装结束后再关闭");
  SendMessageW(dialog_->handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(isOpen());
  ASSERT_TRUE(runEnded(2));
  EXPECT_EQ(installCommands().size(), 1u);
  click(Dialog::kCancelId);
  EXPECT_FALSE(isOpen());
}

TEST_F(EssentialsDialogTest, AnEndlessListingIsDroppedAndTheListStaysAsItWas) {
  open(test::DeviceListingRule({"SER1"}) +
       "match -s SER1 shell pm list package\nout package:com.korvel.Torch\\r\\n\nbytes 65536 x\nendless\n");
  ASSERT_TRUE(pumpUntil([&] { return logged("-s SER1 shell pm list package") == 1; }));
  ASSERT_TRUE(pumpUntil([&] { return !dialog_->listingBusy(); }, 30000));
  EXPECT_EQ(items(), 0);
  click(Dialog::kCancelId);
  EXPECT_FALSE(isOpen());
}

}  // namespace
}  // namespace vantaro
