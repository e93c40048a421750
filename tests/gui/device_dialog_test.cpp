// The device chooser in this process, with fake-adb as the tool: the rows,
// their order and timing, failed queries, and the guards of its buttons.
// chooser_probe_test.sh drives it in vantaro.exe as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>

#include "device/current_device.h"
#include "device/device_dialog.h"
#include "support.h"
#include "ui/wide.h"

namespace vantaro {
namespace {

using test::FakeAdb;

std::string phone(const std::string& serial, const std::string& maker, const std::string& model, int sdk) {
  std::string rule = "match -s " + serial + " shell getprop\nout [ro.board.platform]: [msm7k]\\n";
  if (sdk) rule += "out [ro.build.version.sdk]: [" + std::to_string(sdk) + "]\\n";
  if (!maker.empty()) rule += "out [ro.product.manufacturer]: [" + maker + "]\\n";
  if (!model.empty()) rule += "out [ro.product.model]: [" + model + "]\\n";
  return rule + "\n";
}

std::string listing(const std::vector<std::string>& serials, unsigned delayMs = 0) {
  return test::DeviceListingRule(serials) + "delay " + std::to_string(delayMs) + "\n";
}

class ChooserTest : public testing::Test {
 protected:
  void open(const std::string& scenario, CommandRunner* runner = &CommandRunner::System(),
            std::string adbPath = std::string()) {
    fake_ = std::make_unique<FakeAdb>(scenario);
    dialog_ = std::make_unique<DeviceDialog>(nullptr, DeviceBridge{adbPath.empty() ? fake_->path() : adbPath, runner});
    ASSERT_TRUE(dialog_->createModeless());
  }

  // Runs this thread's messages until done() holds; false after ms.
  bool pumpUntil(const std::function<bool()>& done, unsigned ms = 10000) {
    for (ULONGLONG end = GetTickCount64() + ms;; Sleep(5)) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      if (done()) return true;
      if (GetTickCount64() > end) return false;
    }
  }
  bool rows(int count) {
    return pumpUntil([&] { return dialog_->refreshIdle() && dialog_->list().itemCount() == count; });
  }

  // Each row as "column 1 | column 2 | serial | release | logo".
  std::vector<std::string> shown() const {
    std::vector<std::string> out;
    const skin::DeviceListView& list = dialog_->list();
    for (int i = 0; i < list.itemCount(); ++i) {
      std::string row;
      for (int column : {1, 2}) {
        wchar_t text[256] = {};
        LVITEMW data{};
        data.iSubItem = column;
        data.pszText = text;
        data.cchTextMax = 256;
        SendMessageW(list.handle(), LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&data));
        row += ui::fromWide(text) + " | ";
      }
      const skin::DeviceRow& record = list.rows().at(i);
      out.push_back(row + record.serial + " | " + record.releaseName + " | " + std::to_string(record.brandLogo));
    }
    return out;
  }
  void click(int id) {
    SendMessageW(dialog_->handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dialog_->item(id)));
  }
  size_t logged(const std::string& line) const {
    size_t n = 0;
    for (const std::string& entry : fake_->Log()) n += entry == line;
    return n;
  }

  std::unique_ptr<FakeAdb> fake_;
  std::unique_ptr<DeviceDialog> dialog_;
};

TEST_F(ChooserTest, PhonesArriveOneByOneInListingOrder) {
  CurrentDevice::Set("EARLIER");
  open(listing({"HT0123", "M9X", "MOTO1"}) + phone("HT0123", "HTC", "Desire", 8) +
       phone("M9X", "meizu", "meizu_m9", 10) + phone("MOTO1", "Motorola", "Milestone", 7));
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kCurrentId)), "EARLIER");
  std::vector<ULONGLONG> arrivals;
  ASSERT_TRUE(pumpUntil([&] {
    if (dialog_->list().itemCount() > static_cast<int>(arrivals.size())) arrivals.push_back(GetTickCount64());
    return arrivals.size() == 3;
  }));
  EXPECT_EQ(shown(), (std::vector<std::string>{"HTC [ Desire ] | API Level 8 | HT0123 | Android 2.2 | 212",
                                               "魅族 [ m9 ] | API Level 10 | M9X | Android 2.3.3 | 215",
                                               "Motorola [ Milestone ] | API Level 7 | MOTO1 | Android 2.1 | 216"}));
  for (size_t i = 1; i < arrivals.size(); ++i) EXPECT_GE(arrivals[i] - arrivals[i - 1], 45u) << "row " << i;
  EXPECT_EQ(fake_->Log(), (std::vector<std::string>{"devices", "-s HT0123 shell getprop", "-s M9X shell getprop",
                                                     "-s MOTO1 shell getprop"}));
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kStatusId)), "");
  EXPECT_EQ(SendMessageW(dialog_->list().handle(), LVM_GETNEXTITEM, -1, LVNI_SELECTED), 0) << "row 0 selected";
}

TEST_F(ChooserTest, TheCurrentDevicesRowIsPreselectedWhenItArrives) {
  CurrentDevice::Set("192.168.1.5:37159");
  open(listing({"HT0123", "192.168.1.5:37159", "MOTO1"}) + phone("HT0123", "HTC", "Desire", 8) +
       phone("192.168.1.5:37159", "samsung", "SM-G991B", 30) + phone("MOTO1", "Motorola", "Milestone", 7));
  ASSERT_TRUE(rows(3));
  HWND list = dialog_->list().handle();
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 1);
  click(DeviceDialog::kSelectId);
  EXPECT_EQ(CurrentDevice::Get(), "192.168.1.5:37159");
}

TEST_F(ChooserTest, FailedQueriesKeepTheirRowsAndNoValueCarriesOver) {
  open(listing({"AC01", "BAD2", "SA03"}) + phone("AC01", "Foo", "Bar X1", 9) +
       "match -s BAD2 shell getprop\nerr error: device offline\\n\nexit 1\n" + phone("SA03", "samsung", "", 0));
  ASSERT_TRUE(rows(3));
  EXPECT_EQ(shown(), (std::vector<std::string>{"Foo [ Bar X1 ] | API Level 9 | AC01 | Android 2.3 | 211",
                                               " [  ] | API Level 0 | BAD2 | 未知版本 | 211",
                                               "samsung [  ] | API Level 0 | SA03 | 未知版本 | 219"}));

  // The listing answers, but the queries cannot even start.
  static class : public CommandRunner {
    CapturedOutput RunCaptured(const std::string&, size_t, unsigned) override {
      return {RunStatus::Started, "List of devices attached\nAA11\tdevice\nBB22\tdevice\n\n"};
    }
  } listingOnly;
  open("", &listingOnly, "Z:\\no\\such\\adb.exe");
  ASSERT_TRUE(rows(2));
  EXPECT_EQ(shown(), (std::vector<std::string>{" [  ] | API Level 0 | AA11 | 未知版本 | 211",
                                               " [  ] | API Level 0 | BB22 | 未知版本 | 211"}));
}

TEST_F(ChooserTest, RefreshStartsOnlyWhenIdleAndStartsTheRowsAfresh) {
  std::string scenario = listing({"ONE1", "TWO2", "SIX3"}, 800);
  for (const char* serial : {"ONE1", "TWO2", "SIX3"}) scenario += phone(serial, "HTC", serial, 8) + "delay 300\n";
  open(scenario);
  for (int i = 0; i < 3; ++i) click(DeviceDialog::kRefreshId);  // while the listing runs
  ASSERT_TRUE(pumpUntil([&] { return dialog_->list().itemCount() == 1; }));
  click(DeviceDialog::kRefreshId);  // while the queries run
  ASSERT_TRUE(rows(3));
  Sleep(700);
  ASSERT_TRUE(rows(3));
  EXPECT_EQ(logged("devices"), 2u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"HTC [ ONE1 ] | API Level 8 | ONE1 | Android 2.2 | 212",
                                               "HTC [ TWO2 ] | API Level 8 | TWO2 | Android 2.2 | 212",
                                               "HTC [ SIX3 ] | API Level 8 | SIX3 | Android 2.2 | 212"}));
}

// Ticks by click and by the space bar; the status counts them; Select makes
// the ticked phones the targets (the selected one current when ticked) and
// the chooser ticks them again when it opens next.
TEST_F(ChooserTest, TickedPhonesBecomeTheTargetsAndAreTickedAgain) {
  CurrentDevice::SetTargets({});
  const std::string scenario = listing({"ONE1", "TWO2", "SIX3"}) + phone("ONE1", "HTC", "A", 8) +
                               phone("TWO2", "HTC", "B", 10) + phone("SIX3", "HTC", "C", 19);
  open(scenario);
  ASSERT_TRUE(rows(3));
  HWND list = dialog_->list().handle();
  auto clickAt = [this](RECT r) {
    HWND list = dialog_->list().handle();  // the dialog open now
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(list, WM_LBUTTONUP, 0, at);  // the list follows a press until then
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    pumpUntil([] { return true; });
  };
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);  // row 0 has the focus
  EXPECT_EQ(dialog_->tickedSerials(), std::vector<std::string>{"ONE1"});
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kStatusId)), "") << "one tick is no count";
  clickAt(dialog_->list().TickRect(2));
  EXPECT_EQ(dialog_->tickedSerials(), (std::vector<std::string>{"ONE1", "SIX3"}));
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kStatusId)), DeviceDialog::TickedText(2));
  // A click on the row beside its tick selects it and ticks nothing.
  RECT row = dialog_->list().TickRect(1);
  OffsetRect(&row, -120, 0);
  clickAt(row);
  EXPECT_EQ(dialog_->tickedSerials().size(), 2u);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 1);
  click(DeviceDialog::kSelectId);  // TWO2 selected but not ticked: the first ticked is current
  EXPECT_EQ(CurrentDevice::Get(), "ONE1");
  EXPECT_EQ(CurrentDevice::Targets(), (std::vector<std::string>{"ONE1", "SIX3"}));

  open(scenario);
  ASSERT_TRUE(rows(3));
  EXPECT_EQ(dialog_->tickedSerials(), (std::vector<std::string>{"ONE1", "SIX3"}));
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kStatusId)), DeviceDialog::TickedText(2));
  clickAt(dialog_->list().TickRect(0));
  EXPECT_EQ(ui::windowText(dialog_->item(DeviceDialog::kStatusId)), "");
  click(DeviceDialog::kSelectId);  // one tick: that phone alone, no targets
  EXPECT_EQ(CurrentDevice::Get(), "SIX3");
  EXPECT_TRUE(CurrentDevice::Targets().empty());
}

TEST_F(ChooserTest, SelectWithoutRowsOrDuringTheListingClosesAndChoosesNothing) {
  CurrentDevice::Set("KEEP");
  open("match devices\nout List of devices attached\\n\\n\n");
  ASSERT_TRUE(rows(0));
  click(DeviceDialog::kSelectId);
  EXPECT_EQ(dialog_->handle(), nullptr);

  open(listing({"ONE1"}, 1000) + phone("ONE1", "HTC", "A", 8));
  click(DeviceDialog::kSelectId);
  EXPECT_EQ(dialog_->handle(), nullptr) << "closed at once";
  dialog_.reset();
  Sleep(1500);  // the listing ends after its dialog is gone
  EXPECT_EQ(CurrentDevice::Get(), "KEEP");
  EXPECT_EQ(logged("-s ONE1 shell getprop"), 0u);
}

}  // namespace
}  // namespace vantaro
