// The application shell in this process: web addresses, the hand-over
// buffer, and the main window's initial state and dropped files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/main_window.h"
#include "app/shared_path.h"
#include "app/web_links.h"
#include "base/text.h"
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

TEST(SharedPath, HandsOverOnePathBetweenMappings) {
  SharedPathBuffer first(L"Local\\Vantaro.Test.SharedPath");
  SharedPathBuffer second(L"Local\\Vantaro.Test.SharedPath");
  ASSERT_TRUE(first.ready() && second.ready());
  EXPECT_EQ(second.Read(), "");  // zero at first
  EXPECT_TRUE(first.Write("\"C:\\a b\\演示.apk\""));
  EXPECT_EQ(second.Read(), "C:\\a b\\演示.apk");
  EXPECT_TRUE(first.Write("C:\\x.apk\""));  // one quote alone stays
  EXPECT_EQ(second.Read(), "C:\\x.apk\"");

  std::string longest(259, 'x');
  EXPECT_TRUE(first.Write(longest));
  EXPECT_EQ(second.Read(), longest);
  // Too long to hand over: nothing is, and nothing is written beyond.
  EXPECT_FALSE(first.Write(longest + "y"));
  EXPECT_EQ(second.Read(), "");
  EXPECT_TRUE(first.Write("\"" + longest + "\""));
  EXPECT_EQ(second.Read(), longest);
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

  test::TempFolder folder{"app-window"};
  SharedPathBuffer handOver{L"Local\\Vantaro.Test.WindowPath"};
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

TEST_F(WindowInProcess, OnlyTheFirstDroppedFileOpensAndFoldersAreIgnored) {
  std::string fixtures = test::NativePath(VANTARO_FIXTURE_DIR "/apk/");
  drop({fixtures + "sample.apk", fixtures + "demo.apk", fixtures + "ads.apk"});
  EXPECT_EQ(window->package().packageName, "org.fixture.sample");
  EXPECT_EQ(window->package().fileSize, 3965);
  EXPECT_EQ(text(1025), "3.87 KB");
  EXPECT_EQ(roots().size(), 3u);

  drop({folder.path()});
  drop({fixtures + "missing.apk", fixtures + "demo.apk"});
  EXPECT_EQ(window->package().packageName, "org.fixture.sample");
  EXPECT_EQ(text(1032), "样例应用");
  EXPECT_EQ(text(1000), "样例应用就绪");
}

}  // namespace
}  // namespace vantaro::app
