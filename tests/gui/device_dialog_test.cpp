// The device chooser in this process, with fake-adb as the tool: rows, their
// order and timing, the guards of its buttons, and the chooser that
// ResolveTargetDevice opens from a worker thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <thread>

#include "device/current_device.h"
#include "device/device_dialog.h"
#include "support.h"
#include "ui/wide.h"

namespace vantaro {
namespace {

using test::FakeAdb;

std::string propertyRule(const std::string& serial, const std::string& maker, const std::string& model, int sdk) {
  std::string rule = "match -s " + serial + " shell getprop\nout [ro.board.platform]: [msm7k]\\n";
  if (sdk) rule += "out [ro.build.version.sdk]: [" + std::to_string(sdk) + "]\\n";
  if (!maker.empty()) rule += "out [ro.product.manufacturer]: [" + maker + "]\\n";
  if (!model.empty()) rule += "out [ro.product.model]: [" + model + "]\\n";
  return rule + "out [ro.serialno]: [" + serial + "]\\n\n";
}

std::string listingRule(const std::vector<std::string>& serials, unsigned delayMs) {
  std::string rule = test::DeviceListingRule(serials);
  return delayMs ? rule + "delay " + std::to_string(delayMs) + "\n" : rule;
}

class ChooserTest : public testing::Test {
 protected:
  void open(const std::string& scenario, std::string adbPath = std::string()) {
    fake_ = std::make_unique<FakeAdb>(scenario);
    dialog_ = std::make_unique<DeviceDialog>(nullptr, bridge(adbPath));
    ASSERT_TRUE(dialog_->createModeless());
    ShowWindow(dialog_->handle(), SW_SHOWNOACTIVATE);
  }

  DeviceBridge bridge(const std::string& adbPath = std::string()) const {
    return DeviceBridge{adbPath.empty() ? fake_->path() : adbPath, &CommandRunner::System()};
  }

  // Runs this thread's messages until done() holds; false after ms.
  bool pumpUntil(const std::function<bool()>& done, unsigned ms = 10000) {
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

  int items() const { return dialog_->list().itemCount(); }
  bool isOpen() const { return dialog_->handle() != nullptr; }
  bool settled() { return pumpUntil([&] { return dialog_->refreshIdle(); }); }

  std::string cell(int item, int column) const {
    wchar_t text[256] = {};
    LVITEMW data{};
    data.iSubItem = column;
    data.pszText = text;
    data.cchTextMax = 256;
    SendMessageW(dialog_->list().handle(), LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&data));
    return ui::fromWide(text);
  }
  std::string text(int id) const { return ui::windowText(dialog_->item(id)); }
  void click(int id) {
    SendMessageW(dialog_->handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dialog_->item(id)));
  }
  size_t logged(const std::string& line) const {
    size_t n = 0;
    for (const std::string& entry : fake_->Log()) n += entry == line;
    return n;
  }

  std::unique_ptr<FakeAdb> fake_;
  std::unique_ptr<DeviceDialog> dialog_;
};

struct Expected {
  const char* hardware;
  const char* level;
  const char* serial;
  const char* release;
  int logo;
};

void expectRows(const std::vector<Expected>& rows, const std::function<std::string(int, int)>& cell,
                const skin::DeviceListView& list) {
  ASSERT_EQ(list.rows().size(), rows.size());
  ASSERT_EQ(list.itemCount(), static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cell(static_cast<int>(i), 0), "");
    EXPECT_EQ(cell(static_cast<int>(i), 1), rows[i].hardware);
    EXPECT_EQ(cell(static_cast<int>(i), 2), rows[i].level);
    EXPECT_STREQ(list.rows()[i].serial, rows[i].serial);
    EXPECT_STREQ(list.rows()[i].releaseName, rows[i].release);
    EXPECT_EQ(list.rows()[i].brandLogo, rows[i].logo);
  }
}

TEST_F(ChooserTest, ThreePhonesArriveOneByOneInListingOrder) {
  CurrentDevice::Set("EARLIER");
  open(listingRule({"HT0123", "M9X", "MOTO1"}, 0) + propertyRule("HT0123", "HTC", "Desire", 8) +
       propertyRule("M9X", "meizu", "meizu_m9", 10) + propertyRule("MOTO1", "Motorola", "Milestone", 7));
  EXPECT_EQ(text(DeviceDialog::kCurrentId), "EARLIER");
  std::vector<ULONGLONG> arrivals;
  ASSERT_TRUE(pumpUntil([&] {
    if (items() > static_cast<int>(arrivals.size())) arrivals.push_back(GetTickCount64());
    return items() == 3;
  }));
  pumpFor(300);  // nothing more comes
  expectRows(
             {{"HTC [ Desire ]", "API Level 8", "HT0123", "Android 2.2", 212},
              {"魅族 [ m9 ]", "API Level 10", "M9X", "Android 2.3.3", 215},
              {"Motorola [ Milestone ]", "API Level 7", "MOTO1", "Android 2.1", 216}},
             [&](int i, int c) { return cell(i, c); }, dialog_->list());
  for (size_t i = 1; i < arrivals.size(); ++i)
    EXPECT_GE(arrivals[i] - arrivals[i - 1], 45u) << "row " << i;
  EXPECT_EQ(fake_->Log(), (std::vector<std::string>{"devices", "-s HT0123 shell getprop", "-s M9X shell getprop",
                                                     "-s MOTO1 shell getprop"}));
  EXPECT_TRUE(dialog_->refreshIdle());
  EXPECT_EQ(text(DeviceDialog::kStatusId), "");
  EXPECT_EQ(SendMessageW(dialog_->list().handle(), LVM_GETNEXTITEM, -1, LVNI_SELECTED), 0) << "row 0 selected";
  EXPECT_EQ(CurrentDevice::Get(), "EARLIER") << "opening alone chooses nothing";
}

TEST_F(ChooserTest, AFailedQueryKeepsItsRowAndNoValueCarriesOver) {
  open(listingRule({"AC01", "BAD2", "SA03"}, 0) + propertyRule("AC01", "Foo", "Bar X1", 9) +
       "match -s BAD2 shell getprop\nerr error: device offline\\n\nexit 1\n" + propertyRule("SA03", "samsung", "", 0));
  ASSERT_TRUE(pumpUntil([&] { return items() == 3; }));
  pumpFor(300);
  expectRows(
             {{"Foo [ Bar X1 ]", "API Level 9", "AC01", "Android 2.3", 211},
              {" [  ]", "API Level 0", "BAD2", "未知版本", 211},
              {"samsung [  ]", "API Level 0", "SA03", "未知版本", 219}},
             [&](int i, int c) { return cell(i, c); }, dialog_->list());
}

// The listing answers, but the tool for the property queries cannot start:
// every device still gets its row, one after the other.
TEST_F(ChooserTest, QueriesThatCannotStartStillGiveEveryDeviceARow) {
  static class : public CommandRunner {
   public:
    CapturedOutput RunCaptured(const std::string&, size_t) override {
      return {RunStatus::Started, "List of devices attached\nAA11\tdevice\nBB22\tdevice\n\n"};
    }
  } listingOnly;
  fake_ = std::make_unique<FakeAdb>("");
  dialog_ = std::make_unique<DeviceDialog>(nullptr, DeviceBridge{"Z:\\no\\such\\adb.exe", &listingOnly});
  ASSERT_TRUE(dialog_->createModeless());
  ASSERT_TRUE(pumpUntil([&] { return items() == 2; }));
  expectRows({{" [  ]", "API Level 0", "AA11", "未知版本", 211}, {" [  ]", "API Level 0", "BB22", "未知版本", 211}},
             [&](int i, int c) { return cell(i, c); }, dialog_->list());
}

TEST_F(ChooserTest, WithoutDevicesTheListStaysEmptyAndSelectChoosesNothing) {
  for (bool toolRuns : {true, false}) {
    SCOPED_TRACE(toolRuns);
    CurrentDevice::Set("KEEP");
    open("match devices\nout List of devices attached\\n\\n\n",
         toolRuns ? std::string() : "Z:\\no\\such\\folder\\adb.exe");
    ASSERT_TRUE(settled());
    pumpFor(200);
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(text(DeviceDialog::kStatusId), "");
    click(DeviceDialog::kSelectId);
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(CurrentDevice::Get(), "KEEP");
  }
}

TEST_F(ChooserTest, SelectTakesTheSerialAtTheSelectionMark) {
  CurrentDevice::Set("");
  open(listingRule({"ONE1", "TWO2"}, 0) + propertyRule("ONE1", "HTC", "A", 8) + propertyRule("TWO2", "HTC", "B", 8));
  ASSERT_TRUE(pumpUntil([&] { return items() == 2; }));
  HWND list = dialog_->list().handle();
  LVITEMW state{};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  SendMessageW(list, LVM_SETSELECTIONMARK, 0, 1);
  click(DeviceDialog::kSelectId);
  EXPECT_FALSE(isOpen());
  EXPECT_EQ(CurrentDevice::Get(), "TWO2");
}

TEST_F(ChooserTest, CancelAndCloseWaitForTheListingThenClose) {
  open(listingRule({"ONE1"}, 1500) + propertyRule("ONE1", "HTC", "A", 8));
  pumpFor(200);
  EXPECT_EQ(text(DeviceDialog::kStatusId), DeviceDialog::kListingText);
  click(DeviceDialog::kCancelId);
  click(DeviceDialog::kCloseId);
  SendMessageW(dialog_->handle(), WM_CLOSE, 0, 0);
  pumpFor(100);
  EXPECT_TRUE(isOpen()) << "nothing closes the dialog while the listing runs";
  ASSERT_TRUE(settled());
  click(DeviceDialog::kCancelId);
  EXPECT_FALSE(isOpen());
}

TEST_F(ChooserTest, RepeatedRefreshStartsOneListing) {
  open(listingRule({"ONE1"}, 800) + propertyRule("ONE1", "HTC", "A", 8));
  for (int i = 0; i < 3; ++i) {
    pumpFor(100);
    click(DeviceDialog::kRefreshId);
  }
  ASSERT_TRUE(settled());
  ASSERT_TRUE(pumpUntil([&] { return items() == 1; }));
  EXPECT_EQ(logged("devices"), 1u);
  click(DeviceDialog::kRefreshId);
  ASSERT_TRUE(settled());
  ASSERT_TRUE(pumpUntil([&] { return items() == 1 && fake_->Log().size() == 4; }));
  EXPECT_EQ(logged("devices"), 2u);
}

TEST_F(ChooserTest, RefreshWhileQueriesRunStartsTheRowsAfresh) {
  std::string scenario = listingRule({"ONE1", "TWO2", "SIX3"}, 0);
  for (const char* serial : {"ONE1", "TWO2", "SIX3"})
    scenario += propertyRule(serial, "HTC", serial, 8) + "delay 300\n";
  open(scenario);
  ASSERT_TRUE(pumpUntil([&] { return items() == 1; }));
  click(DeviceDialog::kRefreshId);
  ASSERT_TRUE(settled());
  ASSERT_TRUE(pumpUntil([&] { return items() == 3; }));
  pumpFor(800);
  ASSERT_EQ(items(), 3);
  EXPECT_EQ(cell(0, 1), "HTC [ ONE1 ]");
  EXPECT_EQ(cell(1, 1), "HTC [ TWO2 ]");
  EXPECT_EQ(cell(2, 1), "HTC [ SIX3 ]");
  EXPECT_STREQ(dialog_->list().rows()[2].serial, "SIX3");
}

TEST_F(ChooserTest, SelectDuringTheListingClosesAtOnceAndTheListingEndsAlone) {
  CurrentDevice::Set("KEEP");
  open(listingRule({"ONE1"}, 1000) + propertyRule("ONE1", "HTC", "A", 8));
  pumpFor(100);
  click(DeviceDialog::kSelectId);
  EXPECT_FALSE(isOpen());
  dialog_.reset();
  Sleep(1500);  // the listing ends after its dialog is gone
  pumpFor(100);
  EXPECT_EQ(CurrentDevice::Get(), "KEEP");
  EXPECT_EQ(logged("-s ONE1 shell getprop"), 0u);
}

// ResolveTargetDevice on a worker thread with the dialog as its chooser; the
// test plays the user from this thread.
TEST_F(ChooserTest, ResolveOnAWorkerOpensTheChooserAndWaitsForIt) {
  fake_ = std::make_unique<FakeAdb>(listingRule({"ONE1", "TWO2"}, 0) + propertyRule("ONE1", "HTC", "A", 8) +
                                    propertyRule("TWO2", "HTC", "B", 8));
  for (int button : {DeviceDialog::kSelectId, DeviceDialog::kCancelId}) {
    SCOPED_TRACE(button);
    CurrentDevice::Set("EARLIER");
    ResolveResult result = ResolveResult::PipeFailed;
    DWORD workerId = 0;
    std::thread worker([&] {
      workerId = GetCurrentThreadId();
      result = ResolveTargetDevice(bridge(), DialogDeviceChooser(bridge()));
    });
    std::wstring title = ui::toWide(DeviceDialog::kTitle);
    HWND chooser = nullptr;
    for (int i = 0; i < 400 && !chooser; ++i, Sleep(25)) chooser = FindWindowW(L"#32770", title.c_str());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(chooser, nullptr), workerId);
    EXPECT_EQ(GetWindow(chooser, GW_OWNER), nullptr);
    HWND list = GetDlgItem(chooser, DeviceDialog::kListId);
    for (int i = 0; i < 400 && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) < 2; ++i) Sleep(25);
    EXPECT_TRUE(IsWindowVisible(chooser));
    EXPECT_TRUE(GetWindowLongPtrW(chooser, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(ui::windowText(GetDlgItem(chooser, DeviceDialog::kCurrentId)), "") << "emptied before it opened";
    PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, button)));
    worker.join();
    if (button == DeviceDialog::kSelectId) {
      EXPECT_EQ(result, ResolveResult::Chosen);
      EXPECT_EQ(CurrentDevice::Get(), "ONE1");
    } else {
      EXPECT_EQ(result, ResolveResult::NoneChosen);
      EXPECT_EQ(CurrentDevice::Get(), "");
    }
  }
}

}  // namespace
}  // namespace vantaro
