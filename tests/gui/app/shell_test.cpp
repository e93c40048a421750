// The application shell in this process: web addresses, the hand-over
// buffer, and the main window's initial state and dropped files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "app/installer_app.h"
#include "app/main_window.h"
#include "app/shared_path.h"
#include "app/web_links.h"
#include "base/file.h"
#include "base/text.h"
#include "device/current_device.h"
#include "device/device_dialog.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "support.h"
#include "ui/wide.h"

namespace vantaro::app {
namespace {

TEST(WebLinks, PackageNamesArePercentEncodedIntoRealAddresses) {
  EXPECT_EQ(SearchAddress(kStoreCommand, "com.example.app"),
            "https://play.google.com/store/apps/details?id=com.example.app");
  EXPECT_EQ(SearchAddress(kSiteSearchCommand, "com.example.app"),
            "https://www.google.com/search?q=com.example.app&ie=gb2312&oe=gb2312&hl=zh-cn"
            "&domains=korvel.example&sitesearch=korvel.example");
  // Nothing a name holds can end the query or add a parameter.
  EXPECT_EQ(SearchAddress(kStoreCommand, "a.b&hl=x#y z"),
            "https://play.google.com/store/apps/details?id=a.b%26hl%3Dx%23y%20z");
  // The search declares GB2312: the name's own bytes; the store reads UTF-8.
  EXPECT_EQ(SearchAddress(kSiteSearchCommand, "应用.a").substr(0, 41), "https://www.google.com/search?q=%D3%A6%D3");
  EXPECT_EQ(SearchAddress(kStoreCommand, "应.a"), "https://play.google.com/store/apps/details?id=%E5%BA%94.a");
}

TEST(WebLinks, NoNameOrNoDotOpensNothing) {
  for (UINT command : {kSiteSearchCommand, kStoreCommand}) {
    EXPECT_EQ(SearchAddress(command, ""), "");
    EXPECT_EQ(SearchAddress(command, "nodot"), "");
  }
  EXPECT_EQ(SearchAddress(0, "com.example.app"), "");
}

// Each path is taken once and whole, however long; a path nobody will be
// told of is not left behind.
TEST(SharedPath, HandsOverOnePathBetweenMappingsAndTakesItOnce) {
  SharedPathBuffer first(L"Local\\Vantaro.Test.SharedPath");
  SharedPathBuffer second(L"Local\\Vantaro.Test.SharedPath");
  ASSERT_TRUE(first.ready() && second.ready());
  int told = 0;
  auto tell = [&told] { return ++told > 0; };
  EXPECT_EQ(second.Take(), L"");  // zero at first
  EXPECT_TRUE(first.HandOver(L"\"C:\\a b\\\u6f14\u793a.apk\"", tell));
  EXPECT_EQ(second.Take(), L"C:\\a b\\\u6f14\u793a.apk");
  EXPECT_EQ(second.Take(), L"");
  EXPECT_TRUE(first.HandOver(L"C:\\x.apk\"", tell));  // one quote alone stays
  EXPECT_EQ(second.Take(), L"C:\\x.apk\"");
  EXPECT_EQ(told, 2);

  // Nothing to hand over: nobody is told.
  EXPECT_FALSE(first.HandOver(L"", tell));
  EXPECT_FALSE(first.HandOver(L"\"\"", tell));
  EXPECT_EQ(told, 2);

  // The longest path Windows knows fits; one unit more does not.
  std::wstring longest(SharedPathBuffer::kUnits - 1, L'\u4e2d');
  EXPECT_TRUE(first.HandOver(longest, tell));
  EXPECT_EQ(second.Take(), longest);
  EXPECT_FALSE(first.HandOver(longest + L"x", tell));
  EXPECT_EQ(second.Take(), L"");

  // The window cannot be told: the path is not left for a later message.
  EXPECT_FALSE(first.HandOver(L"C:\\y.apk", [] { return false; }));
  EXPECT_EQ(second.Take(), L"");
}

// A second start waits until the first one's path has been taken; a path
// that is never taken is replaced, whole, once the wait is over.
TEST(SharedPath, ALaterStartWaitsForTheEarlierPathToBeTaken) {
  SharedPathBuffer window(L"Local\\Vantaro.Test.SharedPath2");
  SharedPathBuffer early(L"Local\\Vantaro.Test.SharedPath2");
  SharedPathBuffer late(L"Local\\Vantaro.Test.SharedPath2");
  auto tell = [] { return true; };
  ASSERT_TRUE(early.HandOver(L"C:\\one.apk", tell));
  std::atomic<bool> done{false};
  std::thread later([&] {
    EXPECT_TRUE(late.HandOver(L"C:\\two.apk", tell));
    done = true;
  });
  Sleep(500);
  EXPECT_FALSE(done);
  EXPECT_EQ(window.Take(), L"C:\\one.apk");
  later.join();
  EXPECT_EQ(window.Take(), L"C:\\two.apk");

  ASSERT_TRUE(early.HandOver(L"C:\\three.apk", tell));
  const ULONGLONG started = GetTickCount64();
  EXPECT_TRUE(late.HandOver(L"C:\\four.apk", tell, 300));
  EXPECT_GE(GetTickCount64() - started, 250u);
  EXPECT_EQ(window.Take(), L"C:\\four.apk");
}

// The window in this process, with a program folder that holds adb.exe.
class WindowInProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(folder.path() + "adb.exe", "");
    window = std::make_unique<MainWindow>("", folder.path(), handOver);
    ASSERT_TRUE(window->createModeless());
    pump();
  }
  void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  std::string text(int id) { return ui::windowText(id ? window->item(id) : window->handle()); }
  std::vector<std::pair<std::string, int>> roots() {
    std::vector<std::pair<std::string, int>> out;
    HWND tree = window->item(1001);
    for (auto item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0); item;
         item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, item)) {
      wchar_t buffer[64] = {};
      TVITEMW data{};
      data.mask = TVIF_TEXT | TVIF_IMAGE;
      data.hItem = reinterpret_cast<HTREEITEM>(item);
      data.pszText = buffer;
      data.cchTextMax = 64;
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
      out.emplace_back(ui::fromWide(buffer), data.iImage);
    }
    return out;
  }
  // The lines of the report's last section.
  std::vector<std::string> lastSectionLines() {
    HWND tree = window->item(1001);
    auto last = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_LASTVISIBLE, 0);
    std::vector<std::string> lines;
    for (auto item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                  SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, last));
         item; item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, item)) {
      wchar_t buffer[256] = {};
      TVITEMW data{};
      data.mask = TVIF_TEXT;
      data.hItem = reinterpret_cast<HTREEITEM>(item);
      data.pszText = buffer;
      data.cchTextMax = 256;
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
      lines.push_back(ui::fromWide(buffer));
    }
    return lines;
  }
  // Drops files (GBK paths) as the shell does.
  void drop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& p : paths) names += ui::toWide(p) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(files + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window->handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  }

  // Answers hand-over messages until count of them have been handled (or ms
  // have passed); the package open after each one.
  std::vector<std::string> answerHandOvers(size_t count, unsigned ms) {
    std::vector<std::string> opened;
    for (ULONGLONG end = GetTickCount64() + ms; opened.size() < count && GetTickCount64() < end;) {
      MSG message;
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        Sleep(5);
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
      if (message.hwnd == window->handle() && message.message == WM_USER + 100)
        opened.push_back(window->package().packageName);
    }
    return opened;
  }
  // Tells the window as a second start does.
  std::function<bool()> tell() {
    return [w = window->handle()] { return PostMessageW(w, WM_USER + 100, 0, 0) != FALSE; };
  }

  static constexpr wchar_t kHandOverName[] = L"Local\\Vantaro.Test.WindowPath";
  test::TempFolder folder{"app-window"};
  SharedPathBuffer handOver{kHandOverName};
  std::unique_ptr<MainWindow> window;
};

TEST_F(WindowInProcess, StartsWithTheEmptySectionsAndTheBoxTicked) {
  EXPECT_EQ(text(0), "Vantaro 3.0");
  EXPECT_EQ(text(1000), "提示: 您可以拖入一个APK文件进来");
  EXPECT_EQ(roots(), (std::vector<std::pair<std::string, int>>{{"请求权限", 2}, {"统计信息", 1}, {"广告检测", 0}}));
  EXPECT_EQ(SendMessageW(window->item(1010), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(SendMessageW(window->handle(), WM_GETICON, ICON_BIG, 0));
  EXPECT_TRUE(GetWindowLongW(window->handle(), GWL_STYLE) & WS_SYSMENU);
  EXPECT_TRUE(GetWindowLongW(window->handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowInProcess, InstallWithoutPackageReportsItFromTheWorker) {
  SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
  const std::string none = "【错误】没有找到要安装的文件,您可以拖入一个APK文件进来";
  for (int i = 0; i < 200 && (text(1000) != none || !window->installIdle()); ++i) {
    Sleep(10);
    pump();
  }
  EXPECT_EQ(text(1000), none);
  EXPECT_TRUE(window->installIdle());
}

// Several dropped packages: the first is shown and all three are queued;
// Install then installs them in order on the phone, each shown while it is
// installed and counted on the message line, and the report sums them up.
TEST_F(WindowInProcess, DroppedPackagesInstallInOrderAndAreSummedUp) {
  ASSERT_TRUE(CopyFileW(ui::toWide(test::NativePath(FAKE_ADB_PATH)).c_str(), ui::toWide(folder.path() + "adb.exe").c_str(),
                        FALSE));
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [30]\\r\\n\n"
                    "match -s SER1 install *\ndelay 300\nout Success\\r\\n\n");
  std::string fixtures = test::NativePath(VANTARO_FIXTURE_DIR "/apk/");
  const std::vector<std::string> names{"sample.apk", "demo.apk", "ads.apk"};
  drop({fixtures + names[0], folder.path(), fixtures + names[1], fixtures + names[2]});
  EXPECT_EQ(window->package().packageName, "org.fixture.sample");
  EXPECT_EQ(text(1025), "3.87 KB");
  EXPECT_EQ(window->queue().size(), 3u);
  EXPECT_EQ(text(1000), "已加入 3 个安装包，单击【安装】依次安装");

  SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
  // Each text of the message line, with the label shown beside it.
  std::vector<std::pair<std::string, std::string>> seen;
  for (ULONGLONG end = GetTickCount64() + 60000;
       GetTickCount64() < end && text(1000).rfind("【批量安装结束】", 0) != 0;) {
    Sleep(5);
    pump();
    std::pair<std::string, std::string> now{text(1000), text(1032)};
    if (seen.empty() || seen.back() != now) seen.push_back(now);
  }
  const std::string done = "【批量安装结束】3 个成功，详见下方“安装结果”";
  ASSERT_EQ(text(1000), done);
  const std::string success = "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用";
  const std::vector<std::pair<std::string, std::string>> wanted{{"(1/3) 安装中,请稍等...", "样例应用"},
                                                                {"(2/3) 安装中,请稍等...", "演示工具"},
                                                                {"(3/3) 安装中,请稍等...", "天气&日历"}};
  for (const auto& pair : wanted)
    EXPECT_NE(std::find(seen.begin(), seen.end(), pair), seen.end()) << pair.first << " / " << pair.second;

  // One adb at a time, the packages in the order dropped.
  std::vector<std::string> sent = adb.Sent();
  ASSERT_EQ(sent.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(sent[i].substr(0, sent[i].find(' ', 8)), "install " + std::to_string(fileLength(fixtures + names[i])));
  std::vector<std::pair<std::string, int>> sections = roots();
  ASSERT_FALSE(sections.empty());
  EXPECT_EQ(sections.back().first, "安装结果");
  std::vector<std::string> lines = lastSectionLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"(1/3) 成功  sample.apk  " + success, "(2/3) 成功  demo.apk  " + success,
                                             "(3/3) 成功  ads.apk  " + success}));

  // One file dropped afterwards: the queue is gone, Install is the shown
  // package's alone.
  drop({fixtures + "demo.apk"});
  EXPECT_TRUE(window->queue().empty());
  EXPECT_EQ(text(1000), "演示工具就绪");
}

// Two packages, two phones ticked in the chooser that the first install
// opens: each package goes to both phones (the selected one first), the
// phones asked for once, every install counted with its phone, and the
// report lists the four.
TEST_F(WindowInProcess, QueuedPackagesGoToEveryTickedPhone) {
  ASSERT_TRUE(CopyFileW(ui::toWide(test::NativePath(FAKE_ADB_PATH)).c_str(), ui::toWide(folder.path() + "adb.exe").c_str(),
                        FALSE));
  CurrentDevice::SetTargets({});
  test::FakeAdb adb(test::DeviceListingRule({"SER1", "SER2"}) +
                    "match -s * shell getprop\nout [ro.build.version.sdk]: [30]\\r\\n\n"
                    "match -s * install *\ndelay 200\nout Success\\r\\n\n");
  std::string fixtures = test::NativePath(VANTARO_FIXTURE_DIR "/apk/");
  drop({fixtures + "sample.apk", fixtures + "demo.apk"});
  SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);

  // The chooser, on the install worker's thread: tick the first row, move
  // down, tick the second, choose.
  HWND chooser = nullptr;
  for (ULONGLONG end = GetTickCount64() + 20000; !chooser && GetTickCount64() < end; Sleep(20)) {
    pump();
    chooser = FindWindowW(L"#32770", ui::toWide(DeviceDialog::kTitle).c_str());
  }
  ASSERT_TRUE(chooser);
  HWND list = GetDlgItem(chooser, DeviceDialog::kListId);
  for (ULONGLONG end = GetTickCount64() + 20000;
       SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) < 2 && GetTickCount64() < end; Sleep(20))
    pump();
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  for (WPARAM key : {VK_SPACE, VK_DOWN, VK_SPACE}) PostMessageW(list, WM_KEYDOWN, key, 1);
  PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(DeviceDialog::kSelectId, BN_CLICKED), 0);

  std::vector<std::string> seen;
  for (ULONGLONG end = GetTickCount64() + 60000;
       GetTickCount64() < end && text(1000).rfind("【批量安装结束】", 0) != 0; Sleep(5)) {
    pump();
    if (seen.empty() || seen.back() != text(1000)) seen.push_back(text(1000));
  }
  std::string trace;
  for (const std::string& line : seen) trace += line + "\n";
  for (const std::string& line : adb.Log()) trace += "adb " + line + "\n";
  ASSERT_EQ(text(1000), "【批量安装结束】4 个成功，详见下方“安装结果”") << trace;
  for (const char* counted : {"(1/4) SER2 安装中,请稍等...", "(2/4) SER1 安装中,请稍等...",
                              "(3/4) SER2 安装中,请稍等...", "(4/4) SER1 安装中,请稍等..."})
    EXPECT_NE(std::find(seen.begin(), seen.end(), counted), seen.end()) << counted;
  std::vector<std::string> installs;
  size_t listings = 0;
  for (const std::string& line : adb.Log()) {
    listings += line == "devices";
    if (line.find(" install ") != std::string::npos) installs.push_back(line.substr(0, line.find(" install ")));
  }
  EXPECT_EQ(installs, (std::vector<std::string>{"-s SER2", "-s SER1", "-s SER2", "-s SER1"}));
  EXPECT_EQ(listings, 2u) << "the install's listing and the chooser's, once";
  const std::string success = "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用";
  EXPECT_EQ(lastSectionLines(), (std::vector<std::string>{"(1/4) 成功  SER2  sample.apk  " + success,
                                                          "(2/4) 成功  SER1  sample.apk  " + success,
                                                          "(3/4) 成功  SER2  demo.apk  " + success,
                                                          "(4/4) 成功  SER1  demo.apk  " + success}));
  CurrentDevice::SetTargets({});
}

// A command line names one file however it is written, or several.
TEST(StartFiles, OneFileWithSpacesOrSeveralFiles) {
  std::wstring fixtures = ui::toWide(test::NativePath(VANTARO_FIXTURE_DIR "/apk/"));
  const std::wstring spaced = fixtures + L"\u6f14\u793a v2.5.1.apk";
  EXPECT_EQ(StartFiles(L"  " + spaced + L" "), std::vector<std::wstring>{spaced});
  EXPECT_EQ(StartFiles(L"\"" + spaced + L"\""), std::vector<std::wstring>{L"\"" + spaced + L"\""});
  EXPECT_EQ(StartFiles(L"\"" + spaced + L"\" " + fixtures + L"demo.apk \"" + fixtures + L"missing.apk\""),
            (std::vector<std::wstring>{spaced, fixtures + L"demo.apk"}));
  EXPECT_EQ(StartFiles(fixtures + L"missing.apk"), std::vector<std::wstring>{fixtures + L"missing.apk"});
  EXPECT_TRUE(StartFiles(L"  ").empty());
}

// A dropped bundle opens as a dropped package does, with the bundle's size;
// after an encrypted .apkm, Install says again what the file is.
TEST_F(WindowInProcess, DroppedBundlesOpenAndAnEncryptedApkmIsNamedAtInstall) {
  const std::string bundles = test::NativePath(VANTARO_FIXTURE_DIR "/bundles/");
  drop({bundles + "sample-splits.zip"});
  EXPECT_EQ(window->package().packageName, "org.fixture.bundle");
  EXPECT_EQ(window->package().launcherActivity, ".Main");
  EXPECT_EQ(window->package().fileSize, fileLength(bundles + "sample-splits.zip"));
  EXPECT_EQ(text(1025), formatFileSize(window->package().fileSize));
  EXPECT_EQ(text(1032), "Split sample");
  EXPECT_EQ(roots(), (std::vector<std::pair<std::string, int>>{
                         {"请求权限 ", 2}, {"广告检测", 0}, {"统计信息", 1}, {"兼容性", 4}, {"安装包组成", 3},
                         {"签名与校验", 5}}));

  drop({bundles + "encrypted.apkm"});
  EXPECT_EQ(text(1000), kEncryptedApkmMessage);
  EXPECT_TRUE(roots().empty());
  SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
  EXPECT_EQ(text(1000), kEncryptedApkmMessage);

  // Any other refused file still gets the plain refusal.
  drop({test::NativePath(VANTARO_FIXTURE_DIR "/apk/not-a-zip.apk")});
  SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
  EXPECT_EQ(text(1000), "【错误】不是有效的APK文件，Vantaro拒绝安装");
  EXPECT_TRUE(window->installIdle());
}

// A handed-over path opens once: a later message that brings no path of its
// own leaves the window as it is. Two starts at once both arrive, in turn;
// a name with a character GBK lacks opens as it is; several files queue.
TEST_F(WindowInProcess, EachHandedOverPathOpensOnceAndInTurn) {
  std::string fixtures = test::NativePath(VANTARO_FIXTURE_DIR "/apk/");
  SharedPathBuffer start(kHandOverName);
  ASSERT_TRUE(start.HandOver(ui::toWide(fixtures + "sample.apk"), tell()));
  EXPECT_EQ(answerHandOvers(1, 5000), std::vector<std::string>{"org.fixture.sample"});
  drop({fixtures + "demo.apk"});
  EXPECT_EQ(window->package().packageName, "org.fixture.demo");
  PostMessageW(window->handle(), WM_USER + 100, 0, 0);
  EXPECT_EQ(answerHandOvers(1, 5000), std::vector<std::string>{"org.fixture.demo"});

  auto startWith = [this, fixtures](const char* name) {
    return std::thread([this, path = ui::toWide(fixtures + name)] {
      SharedPathBuffer own(kHandOverName);
      EXPECT_TRUE(own.HandOver(path, tell()));
    });
  };
  std::thread first = startWith("sample.apk"), second = startWith("ads.apk");
  std::vector<std::string> opened = answerHandOvers(2, 15000);
  first.join();
  second.join();
  EXPECT_EQ(std::multiset<std::string>(opened.begin(), opened.end()),
            (std::multiset<std::string>{"org.fixture.sample", "org.fixture.ads"}));

  // Jörg.apk: handed over and dropped.
  const std::wstring joerg = ui::toWide(folder.path()) + L"J\u00f6rg.apk";
  ASSERT_TRUE(CopyFileW(ui::toWide(fixtures + "demo.apk").c_str(), joerg.c_str(), FALSE));
  ASSERT_TRUE(start.HandOver(joerg, tell()));
  EXPECT_EQ(answerHandOvers(1, 5000), std::vector<std::string>{"org.fixture.demo"});
  EXPECT_EQ(text(1032), "演示工具");
  drop({fixtures + "ads.apk"});
  drop({wideToGbkPath(std::u16string(joerg.begin(), joerg.end()))});
  EXPECT_EQ(window->package().packageName, "org.fixture.demo");
  EXPECT_EQ(text(1025), "3.70 KB");

  // A start with several files hands them over one a line: they are queued,
  // the first shown.
  ASSERT_TRUE(start.HandOver(ui::toWide(fixtures + "sample.apk") + L"\n" + joerg + L"\n" +
                                 ui::toWide(fixtures + "missing.apk"), tell()));
  EXPECT_EQ(answerHandOvers(1, 5000), std::vector<std::string>{"org.fixture.sample"});
  EXPECT_EQ(window->queue().size(), 2u);
}

}  // namespace
}  // namespace vantaro::app
