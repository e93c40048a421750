// vantaro.exe started, read and driven from outside, with fake-adb as the
// phone: what a user sees after each step.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "base/file.h"
#include "base/text.h"
#include "install/system.h"
#include "device/resolve.h"
#include "install/launch.h"
#include "app/main_window.h"
#include "package/apk_archive.h"
#include "package/file_size.h"
#include "package/loader.h"
#include "package/recording_display.h"
#include "package/report.h"
#include "probe.h"
#include "program.h"
#include "../../unit/zip_builder.h"
#include "skin/labels.h"
#include "skin/package_icon_view.h"

namespace vantaro::apptest {
namespace {

using Lines = std::vector<std::string>;
using Tree = std::vector<TreeLine>;
constexpr int kLeaf = I_IMAGENONE;  // lines carry no image

constexpr int kMessage = 1000, kIcon = 1034, kLabel = 1032, kVersion = 1026, kPackageName = 1027,
              kMinRelease = 1028, kSdCard = 1031, kFileSize = 1025, kTree = 1001, kInstall = 1002, kRun = 1011,
              kExit = 1003, kSdBox = 1010;

const char* const kSuccess = "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用";

std::string OnePhone(const std::string& installAnswer, unsigned installDelayMs = 0) {
  return test::DeviceListingRule({"SER1"}) +
         "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [19]\\r\\n\n"
         "match -s SER1 install *\ndelay " + std::to_string(installDelayMs) + "\nout " + installAnswer + "\n"
         "match -s SER1 shell pm list package\nout package:com.android.phone\\r\\npackage:org.fixture.sample\\r\\n\n"
         "match -s SER1 shell am start *\nout Starting: Intent { cmp=org.fixture.sample/.MainActivity }\\r\\n\n";
}

std::wstring W(const std::string& gbk) {
  std::u16string wide = gbkToWide(gbk);
  return std::wstring(wide.begin(), wide.end());
}

std::string Quoted(const std::string& path) {
  std::string quoted(1, '"');
  quoted.append(path).push_back('"');
  return quoted;
}

// How many pixels of the message line have each status colour.
struct LineColours {
  size_t progress, error, success;
};
LineColours MessageColours(HWND window) {
  ScreenPixels shot = CaptureClient(GetDlgItem(window, kMessage));
  return {shot.count(skin::kProgressColour), shot.count(skin::kErrorColour), shot.count(skin::kSuccessColour)};
}

// Waits until the message line is painted in one status colour alone.
bool PaintedIn(HWND window, COLORREF colour) {
  for (int i = 0; i < 100; ++i) {
    LineColours c = MessageColours(window);
    size_t wanted = colour == skin::kErrorColour ? c.error : colour == skin::kSuccessColour ? c.success : c.progress;
    if (wanted > 20 && wanted == c.progress + c.error + c.success) return true;
    Sleep(50);
  }
  return false;
}

// The icon view as it would paint the given bytes (none: the default picture).
std::vector<COLORREF> IconPicture(const std::vector<uint8_t>& bytes) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 48, 48);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  skin::PackageIconView view;
  view.SetImage(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
  view.PaintTo(dc);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) pixels.push_back(GetPixel(dc, x, y));
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The icon as the screen shows it once it shows the expected picture, or as
// it shows it after five seconds: on a loaded machine the window may not have
// painted it yet when the test looks.
std::vector<COLORREF> ShownIcon(HWND window, const std::vector<COLORREF>& expected) {
  std::vector<COLORREF> pixels;
  for (int i = 0; i < 100; ++i) {
    ScreenPixels shot = CaptureClient(GetDlgItem(window, kIcon));
    pixels.clear();
    for (int y = 0; y < 48 && y < shot.height; ++y)
      for (int x = 0; x < 48 && x < shot.width; ++x) pixels.push_back(shot.at(x, y));
    if (pixels == expected) break;
    Sleep(50);
  }
  return pixels;
}

std::vector<uint8_t> IconBytesOf(const std::string& path) {
  PackageInfo info;
  RecordingDisplay display;
  PermissionCatalog catalog;
  PackageLoader(info, display, catalog).load(path, false);
  return info.iconImage;
}

bool Verifying(const std::string& line) {
  std::string pending = kVerifying;
  return line.size() >= pending.size() && line.compare(line.size() - pending.size(), pending.size(), pending) == 0;
}

// The tree once the code scan and the signature check have ended: no line
// says kAnalysing or kVerifying any more.
Tree SettledTree(HWND window, unsigned ms = 30000) {
  Tree tree;
  for (unsigned waited = 0;; waited += 50) {
    tree = ReadTree(GetDlgItem(window, 1001));
    bool analysing = false;
    for (const TreeLine& line : tree) analysing = analysing || line.text == kAnalysing || Verifying(line.text);
    if (!analysing || waited >= ms) return tree;
    Sleep(50);
  }
}

// The tree without its signature section (the last one).
Tree WithoutSignature(Tree tree) {
  for (size_t i = 0; i < tree.size(); ++i)
    if (tree[i].depth == 0 && tree[i].text == kSignatureSection) tree.resize(i);
  return tree;
}

// The lines under one section of a tree.
Lines SectionLines(const Tree& tree, const std::string& section) {
  Lines out;
  for (size_t i = 0; i < tree.size(); ++i) {
    if (tree[i].depth != 0 || tree[i].text != section) continue;
    for (size_t j = i + 1; j < tree.size() && tree[j].depth > 0; ++j) out.push_back(tree[j].text);
  }
  return out;
}

// What the CLI's road (the code scanned inline) shows under a section.
Lines ReferenceLines(const std::string& path, const char* section) {
  PackageInfo info;
  RecordingDisplay display;
  PermissionCatalog catalog;
  PackageLoader loader(info, display, catalog);
  loader.setCodeScan(true);
  loader.load(path, false);
  Lines out;
  for (ReportItem root : display.children(kReportRoot))
    if (display.item(root).text == section)
      for (ReportItem line : display.children(root)) out.push_back(display.item(line).text);
  return out;
}

// The bytes of one member of a fixture package.
test::Bytes MemberOf(const std::string& package, const std::string& name) {
  ApkArchive archive;
  std::vector<uint8_t> out;
  if (!archive.open(package) || archive.read(name, 64u << 20, out) != ApkArchive::ReadResult::Ok) return {};
  return out;
}

void WriteFile(const std::string& path, const test::Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

// The install command line of the log, with the copy's path checked: the
// temporary folder, a name made of digits, and the copy removed again.
std::string InstallCommand(const std::string& logLine) {
  std::smatch parts;
  std::regex pattern(R"((.*install -r(?: -s)?) (.+\\)([0-9]+)\.apk)");
  if (!std::regex_match(logLine, parts, pattern)) return "unexpected: " + logLine;
  if (parts[2].str() != gbkToUtf8(TemporaryFolder())) return "copy in " + parts[2].str();
  if (IsExistingFile(utf8ToGbk(parts[2].str() + parts[3].str() + ".apk"))) return "copy left behind";
  return parts[1].str() + " COPY";
}

class MainWindowTest : public ::testing::Test {
 protected:
  HWND Open(const std::string& arguments) {
    HANDLE process = program.Start(arguments);
    if (!process) return nullptr;
    return MainWindowOf(GetProcessId(process));
  }
  Program program;
};

TEST_F(MainWindowTest, QuotedStartPathShowsThePackage) {
  test::FakeAdb adb("");
  HWND w = Open(Quoted(Fixture("sample.apk")));
  ASSERT_TRUE(w);
  EXPECT_EQ(Text(w, 0), "Vantaro 3.0");
  EXPECT_EQ(Text(w, kLabel), "样例应用");
  EXPECT_EQ(Text(w, kVersion), "1.2.0");
  EXPECT_EQ(Text(w, kPackageName), "org.fixture.sample");
  EXPECT_EQ(Text(w, kMinRelease), "Android 2.2");
  EXPECT_EQ(Text(w, kSdCard), "该应用支持");
  EXPECT_EQ(Text(w, kFileSize), "3.87 KB");
  EXPECT_EQ(Text(w, 1035), "vantaro.example 出品");
  EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  Tree tree = SettledTree(w);
  EXPECT_EQ(WithoutSignature(tree),
            (Tree{{0, "请求权限 ", 2, true},
                  {1, "[!] --- 访问互联网,将产生GRPS流量", kLeaf, false},
                  {1, "[!] --- 访问精确位置信息，将通过GPS全球定位芯片定位", kLeaf, false},
                  {1, "[!] --- 读取联系人", kLeaf, false},
                  {1, "[!] --- 发送短信", kLeaf, false},
                  {1, "[!] --- 开机自动启动", kLeaf, false},
                  {1, "使用振动", kLeaf, false},
                  {1, "锁屏后仍后台运行", kLeaf, false},
                  {0, "广告检测", 0, true},
                  {1, "没有找到", kLeaf, false},
                  {0, "统计信息", 1, true},
                  {1, "友盟统计", kLeaf, false},
                  {0, "兼容性", 4, true},
                  {1, "目标版本：Android 4.4（API 19）", kLeaf, false},
                  {1, "处理器架构：无原生库", kLeaf, false},
                  {1, "硬件要求：无特别要求", kLeaf, false},
                  {1, "语言：1 种", kLeaf, false}}));
  ASSERT_EQ(tree.size(), 23u);
  EXPECT_EQ(tree[17], (TreeLine{0, kSignatureSection, kImageSignature, true}));
  EXPECT_EQ(SectionLines(tree, kSignatureSection)[0], "签名方案：无（未签名）");
  EXPECT_EQ(SectionLines(tree, kSignatureSection)[1], "签名校验：未签名");
  std::vector<uint8_t> icon = IconBytesOf(Fixture("sample.apk"));
  ASSERT_FALSE(icon.empty());
  std::vector<COLORREF> picture = IconPicture(icon);
  EXPECT_EQ(ShownIcon(w, picture), picture);
  EXPECT_TRUE(adb.Log().empty());  // opening a package asks nothing of the phone
}

TEST_F(MainWindowTest, RejectedFileShowsRedErrorAndEmptyFieldsAndInstallRefuses) {
  test::FakeAdb adb("");
  HWND w = Open(Fixture("not-a-zip.apk"));
  ASSERT_TRUE(w);
  EXPECT_EQ(Text(w, kMessage), "【错误】不是有效的APK文件");
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  for (int id : {kLabel, kVersion, kPackageName, kMinRelease, kSdCard}) EXPECT_EQ(Text(w, id), "") << id;
  EXPECT_TRUE(ReadTree(GetDlgItem(w, kTree)).empty());
  std::vector<COLORREF> noIcon = IconPicture({});
  EXPECT_EQ(ShownIcon(w, noIcon), noIcon);

  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, "【错误】不是有效的APK文件，Vantaro拒绝安装"),
            "【错误】不是有效的APK文件，Vantaro拒绝安装");
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  EXPECT_TRUE(adb.Log().empty());
}

TEST_F(MainWindowTest, SecondStartHandsItsQuotedPathOverAndEnds) {
  // The first start's own file, which changes afterwards.
  const std::string own = program.folder() + "own.apk";
  ASSERT_TRUE(CopyFileW(W(Fixture("sample.apk")).c_str(), W(own).c_str(), FALSE));
  HANDLE first = program.Start(own);
  HWND w = MainWindowOf(GetProcessId(first));
  ASSERT_TRUE(w);
  ASSERT_EQ(Text(w, kLabel), "样例应用");
  ASSERT_TRUE(CopyFileW(W(Fixture("demo.apk")).c_str(), W(own).c_str(), FALSE));
  auto minimise = [w] {
    ShowWindow(w, SW_MINIMIZE);
    for (int i = 0; i < 100 && !IsIconic(w); ++i) Sleep(20);
    return IsIconic(w) != FALSE;
  };

  // A start without a file brings the window forward and opens nothing:
  // no earlier path comes back.
  ASSERT_TRUE(minimise());
  HANDLE bare = program.Start("");
  EXPECT_EQ(WaitForExit(bare), 0u);
  for (int i = 0; i < 100 && IsIconic(w); ++i) Sleep(20);
  EXPECT_FALSE(IsIconic(w));
  Sleep(1000);
  EXPECT_EQ(Text(w, kLabel), "样例应用");

  ASSERT_TRUE(minimise());
  HANDLE second = program.Start(Quoted(Fixture("演示 v2.5.1.apk")));
  EXPECT_EQ(WaitForExit(second), 0u);
  EXPECT_EQ(WaitForText(w, kLabel, "演示工具"), "演示工具");
  EXPECT_EQ(Text(w, kPackageName), "org.fixture.demo");
  for (int i = 0; i < 100 && IsIconic(w); ++i) Sleep(20);
  EXPECT_FALSE(IsIconic(w));
  EXPECT_EQ(MarkedWindows(), std::vector<HWND>{w});

  // A path naming no file brings the window forward and opens nothing.
  HANDLE third = program.Start(Fixture("missing.apk"));
  EXPECT_EQ(WaitForExit(third), 0u);
  Sleep(300);
  EXPECT_EQ(Text(w, kLabel), "演示工具");

  // Two starts at once: each waits for the other's path to be taken, so
  // the window ends with whichever came last, opened whole.
  HANDLE one = program.Start(Fixture("sample.apk"));
  HANDLE other = program.Start(Fixture("ads.apk"));
  EXPECT_EQ(WaitForExit(one), 0u);
  EXPECT_EQ(WaitForExit(other), 0u);
  Sleep(500);
  const std::string last = Text(w, kLabel);
  EXPECT_TRUE(last == "样例应用" || last == "天气&日历") << last;
  EXPECT_EQ(Text(w, kMessage), last + "就绪");
}

// Names with characters GBK lacks open at start and by hand-over; so does a
// 200-character Chinese path, far beyond 260 GBK bytes.
TEST_F(MainWindowTest, PathsOutsideGbkAndLongChinesePathsOpen) {
  auto copy = [](const std::string& fixture, const std::wstring& to) {
    return CopyFileW(W(Fixture(fixture)).c_str(), to.c_str(), FALSE) != FALSE;
  };
  const std::wstring folder = W(program.folder());
  ASSERT_TRUE(copy("sample.apk", folder + L"J\u00f6rg.apk"));
  ASSERT_TRUE(copy("ads.apk", folder + L"J\u00f6rg \u00e6\u00f8.apk"));
  std::wstring deep = folder;
  while (deep.size() < 190) {
    deep += std::wstring(std::min<size_t>(60, 190 - deep.size()), L'\u6df1') + L"\\";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  deep += L"\u6f14\u793a\u5de5\u5177\u5305.apk";
  ASSERT_GE(deep.size(), 200u);
  ASSERT_TRUE(copy("demo.apk", deep));
  auto gbk = [](const std::wstring& name) { return wideToGbkPath(std::u16string(name.begin(), name.end())); };

  HANDLE first = program.Start(gbk(folder + L"J\u00f6rg.apk"));
  HWND w = MainWindowOf(GetProcessId(first));
  ASSERT_TRUE(w);
  EXPECT_EQ(Text(w, kLabel), "样例应用");
  EXPECT_EQ(Text(w, kFileSize), "3.87 KB");

  HANDLE second = program.Start(gbk(deep));
  EXPECT_EQ(WaitForExit(second), 0u);
  EXPECT_EQ(WaitForText(w, kLabel, "演示工具"), "演示工具");

  HANDLE third = program.Start(Quoted(gbk(folder + L"J\u00f6rg \u00e6\u00f8.apk")));
  EXPECT_EQ(WaitForExit(third), 0u);
  EXPECT_EQ(WaitForText(w, kLabel, "天气&日历"), "天气&日历");
  EXPECT_EQ(MarkedWindows(), std::vector<HWND>{w});
}

TEST_F(MainWindowTest, InstallShowsSuccessInGreenWithTheExactCommands) {
  test::FakeAdb adb(OnePhone("\\tpkg: /data/local/tmp/x.apk\\r\\nSuccess\\r\\n"));
  HWND w = Open(Fixture("sample.apk"));
  ASSERT_TRUE(w);
  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, kSuccess), kSuccess);
  EXPECT_TRUE(PaintedIn(w, skin::kSuccessColour));
  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "devices");
  EXPECT_EQ(log[1], "-s SER1 shell getprop");  // the checks and the SD option (level 19)
  EXPECT_EQ(InstallCommand(log[2]), "-s SER1 install -r -s COPY");
}

TEST_F(MainWindowTest, InstallFailureWithoutSdBoxIsRed) {
  test::FakeAdb adb(OnePhone("Failure [INSTALL_FAILED_ALREADY_EXISTS]\\r\\n"));
  HWND w = Open(Fixture("sample.apk"));
  ASSERT_TRUE(w);
  // Unticks the box as a click does (the skinned box keeps its own state).
  PostMessageW(GetDlgItem(w, kSdBox), WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(GetDlgItem(w, kSdBox), WM_KEYUP, VK_SPACE, 0);
  for (int i = 0; i < 100 && SendMessageW(GetDlgItem(w, kSdBox), BM_GETCHECK, 0, 0) == BST_CHECKED; ++i) Sleep(20);
  Click(w, kInstall);
  const std::string failure = "【安装失败】文件已经存在, 请先删除手机上老的版本后再试";
  EXPECT_EQ(WaitForText(w, kMessage, failure), failure);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "devices");
  EXPECT_EQ(log[1], "-s SER1 shell getprop");
  EXPECT_EQ(InstallCommand(log[2]), "-s SER1 install -r COPY");
}

TEST_F(MainWindowTest, ClicksDuringAnInstallStartNothingAndCloseNothing) {
  test::FakeAdb adb(OnePhone("Success\\r\\n", 2500));
  HANDLE process = program.Start(Fixture("sample.apk"));
  HWND w = MainWindowOf(GetProcessId(process));
  ASSERT_TRUE(w);
  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, "安装中,请稍等..."), "安装中,请稍等...");
  Click(w, kInstall);
  Click(w, kExit);
  EXPECT_EQ(WaitForText(w, kMessage, "安装中，请在安装结束后再退出"), "安装中，请在安装结束后再退出");
  EXPECT_EQ(WaitForText(w, kMessage, kSuccess), kSuccess);
  Sleep(500);
  Lines log = adb.Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.find("install") != l.npos; }), 1);
  Click(w, kExit);
  EXPECT_EQ(WaitForExit(process), 0u);
}

TEST_F(MainWindowTest, HungInstallEndsAtItsTimeOutAndTheWindowClosesAfterwards) {
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell getprop\nout [ro.build.version.sdk]: [19]\\r\\n\nmatch -s SER1 install *\nhang\n");
  test::ScopedEnvironment environment;
  environment.Set("VANTARO_INSTALL_TIMEOUT_MS", "5000");
  // Installed in a folder with a space and a character GBK lacks ("ö").
  Program installed(true, VANTARO_EXE, wideToGbkPath(u"Program Files J\u00F6rg"));
  HANDLE process = installed.Start(Fixture("sample.apk"));
  HWND w = MainWindowOf(GetProcessId(process));
  ASSERT_TRUE(w);
  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, "安装中,请稍等..."), "安装中,请稍等...");
  Click(w, kExit);
  EXPECT_EQ(WaitForText(w, kMessage, "安装中，请在安装结束后再退出"), "安装中，请在安装结束后再退出");
  const std::string timedOut = "【安装失败】手机长时间没有响应，安装已停止，请重新连接手机后再试";
  EXPECT_EQ(WaitForText(w, kMessage, timedOut), timedOut);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  Lines log = adb.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(InstallCommand(log[2]), "-s SER1 install -r -s COPY");  // and the copy is gone
  // The hung tool was ended, and it was started by its quoted full path.
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_FALSE(test::ProcessAlive(adb.Lingering()[0]));
  EXPECT_EQ(adb.RawLog().front(), test::InQuotes(gbkToUtf8(installed.folder()) + "adb.exe") + " devices");
  Click(w, kExit);
  EXPECT_EQ(WaitForExit(process), 0u);
}

TEST_F(MainWindowTest, RunNowStartsTheApplicationOnce) {
  test::FakeAdb adb(OnePhone("Success"));
  HWND w = Open(Fixture("sample.apk"));
  ASSERT_TRUE(w);
  Click(w, kRun);
  EXPECT_EQ(WaitForText(w, kMessage, "样例应用 已经在手机上运行"), "样例应用 已经在手机上运行");
  EXPECT_TRUE(PaintedIn(w, skin::kSuccessColour));
  Lines log = adb.WaitForLog(3, 10000);
  Sleep(500);
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell pm list package",
                              "-s SER1 shell am start -n 'org.fixture.sample/.MainActivity'"}));
}

// Run now waits off the window's thread: a hung package listing leaves the
// window answering (an install runs meanwhile, closing waits) and ends with
// the no-answer text; the hung tool is ended.
TEST_F(MainWindowTest, RunNowOnAHungPhoneKeepsTheWindowAnsweringAndEndsAtItsTimeOut) {
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell getprop ro.build.version.sdk\nout 19\\r\\n\n"
                    "match -s SER1 install *\nout Success\\r\\n\nmatch -s SER1 shell pm list package\nhang\n");
  test::ScopedEnvironment environment;
  environment.Set("VANTARO_ANSWER_TIMEOUT_MS", "8000");
  HANDLE process = program.Start(Fixture("sample.apk"));
  HWND w = MainWindowOf(GetProcessId(process));
  ASSERT_TRUE(w);
  Click(w, kRun);
  EXPECT_EQ(WaitForText(w, kMessage, kStartingText), kStartingText);
  Click(w, kInstall);
  EXPECT_EQ(WaitForText(w, kMessage, kSuccess, 6000), kSuccess);
  Click(w, kExit);
  EXPECT_EQ(WaitForText(w, kMessage, app::kCloseWhileRunningText, 3000), app::kCloseWhileRunningText);
  EXPECT_EQ(WaitForText(w, kMessage, kNoResponseText), kNoResponseText);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_FALSE(test::ProcessAlive(adb.Lingering()[0]));
  Click(w, kExit);
  EXPECT_EQ(WaitForExit(process), 0u);
}

TEST_F(MainWindowTest, RunNowShowsThePhonesRefusalInRed) {
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell pm list package\nout package:org.fixture.sample\\r\\n\n"
                    "match -s SER1 shell am start *\nout Starting: Intent { cmp=org.fixture.sample/.MainActivity }\\r\\n"
                    "Error type 3\\r\\nError: Activity class {org.fixture.sample/org.fixture.sample.MainActivity} does "
                    "not exist.\\r\\n\n");
  HWND w = Open(Fixture("sample.apk"));
  ASSERT_TRUE(w);
  Click(w, kRun);
  EXPECT_EQ(WaitForText(w, kMessage, kNoSuchActivityText), kNoSuchActivityText);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
}

TEST_F(MainWindowTest, RunNowWithTwoPhonesOpensTheChooserAndCancellingChoosesNone) {
  test::FakeAdb adb(test::DeviceListingRule({"SER1", "SER2"}));
  HWND w = Open(Fixture("sample.apk"));
  ASSERT_TRUE(w);
  Click(w, kRun);
  HWND chooser = nullptr;
  for (int i = 0; i < 600 && !chooser; ++i, Sleep(50)) chooser = FindWindowW(L"#32770", L"Vantaro 3.0 \u8bbe\u5907\u7ba1\u7406");
  ASSERT_TRUE(chooser);
  // "取消" does nothing while the chooser lists the phones.
  for (int i = 0; i < 100 && IsWindow(chooser); ++i, Sleep(100)) Click(chooser, 1014);
  const std::string none = "【错误】没有选择任何设备，单击【设备管理】重新选择";
  EXPECT_EQ(WaitForText(w, kMessage, none), none);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  for (const std::string& line : adb.Log()) EXPECT_EQ(line.find("pm list package"), std::string::npos) << line;
}

// The split sample as the window shows it: the base's findings (with the
// feature module's) and what the bundle is made of; "#" stands for a size.
const Tree kSplitSampleTree{{0, "请求权限 ", 2, true},
                            {1, "[!] --- 访问互联网,将产生GRPS流量", kLeaf, false},
                            {1, "[!] --- 使用摄像头拍照或扫描条码", kLeaf, false},
                            {0, "广告检测", 0, true},
                            {1, "多盟广告", kLeaf, false},
                            {0, "统计信息", 1, true},
                            {1, "友盟统计", kLeaf, false},
                            {0, "兼容性", 4, true},
                            {1, "目标版本：Android 11（API 30）", kLeaf, false},
                            {1, "处理器架构：arm64-v8a、armeabi-v7a、x86_64", kLeaf, false},
                            {1, "#内存页：未适配，lib/arm64-v8a/libsample.so 在安装包中的存放位置未按#对齐", kLeaf, false},
                            {1, "硬件要求：无特别要求", kLeaf, false},
                            {1, "语言：2 种", kLeaf, false},
                            {0, "安装包组成", 3, true},
                            {1, "基础包，#", kLeaf, false},
                            {1, "语言 en，#", kLeaf, false},
                            {1, "语言 zh，#", kLeaf, false},
                            {1, "屏幕密度 xhdpi，#", kLeaf, false},
                            {1, "屏幕密度 xxhdpi，#", kLeaf, false},
                            {1, "处理器架构 arm64-v8a，#", kLeaf, false},
                            {1, "处理器架构 armeabi-v7a，#", kLeaf, false},
                            {1, "处理器架构 x86_64，#", kLeaf, false},
                            {1, "功能模块 camera，#", kLeaf, false},
                            {1, "数据文件 main.7.org.fixture.bundle.obb，#", kLeaf, false},
                            {1, "数据文件复制到 /sdcard/Android/obb/org.fixture.bundle/", kLeaf, false}};

// The tree of a window with every size ("8.40 KB", "35 字节") as "#".
Tree TreeWithoutSizes(HWND window) {
  // Digits, dots and spaces are never part of a GBK character.
  static const std::regex size("[0-9.]+ (KB|MB|字节)");
  Tree tree = WithoutSignature(SettledTree(window));
  for (TreeLine& line : tree) line.text = std::regex_replace(line.text, size, "#");
  return tree;
}

// An .xapk on the command line shows its base's summary, its own size and
// its composition; Run now starts the base's launcher.
TEST_F(MainWindowTest, BundleFromTheCommandLineShowsItsBaseAndRunNowStartsIt) {
  test::FakeAdb adb(test::DeviceListingRule({"SER1"}) +
                    "match -s SER1 shell pm list package\nout package:com.android.phone\\r\\npackage:org.fixture.bundle\\r\\n\n"
                    "match -s SER1 shell am start *\nout Starting: Intent { cmp=org.fixture.bundle/.MainActivity }\\r\\n\n");
  const std::string xapk = BundleFixture("sample.xapk");
  HWND w = Open(Quoted(xapk));
  ASSERT_TRUE(w);
  EXPECT_EQ(Text(w, kLabel), "Split sample");
  EXPECT_EQ(Text(w, kVersion), "7.0");
  EXPECT_EQ(Text(w, kPackageName), "org.fixture.bundle");
  EXPECT_EQ(Text(w, kMinRelease), "Android 5.0");
  EXPECT_EQ(Text(w, kSdCard), "该应用支持");
  EXPECT_EQ(Text(w, kFileSize), formatFileSize(fileLength(xapk)));  // the whole bundle's
  EXPECT_EQ(Text(w, kMessage), "Split sample就绪");
  EXPECT_EQ(TreeWithoutSizes(w), kSplitSampleTree);
  std::vector<uint8_t> icon = IconBytesOf(xapk);
  ASSERT_FALSE(icon.empty());
  std::vector<COLORREF> picture = IconPicture(icon);
  EXPECT_EQ(ShownIcon(w, picture), picture);
  EXPECT_TRUE(adb.Log().empty());

  Click(w, kRun);
  EXPECT_EQ(WaitForText(w, kMessage, "Split sample 已经在手机上运行"), "Split sample 已经在手机上运行");
  adb.WaitForLog(3, 10000);
  Sleep(500);
  EXPECT_EQ(adb.Log(), (Lines{"devices", "-s SER1 shell pm list package",
                              "-s SER1 shell am start -n 'org.fixture.bundle/.Main'"}));
}

// A second start hands bundles over as it hands over packages, whatever the
// letter case of the extension; an encrypted .apkm says what it is, in red.
TEST_F(MainWindowTest, BundlesAreHandedOverAndAnEncryptedApkmSaysSo) {
  HANDLE first = program.Start(Fixture("sample.apk"));
  HWND w = MainWindowOf(GetProcessId(first));
  ASSERT_TRUE(w);
  ASSERT_EQ(Text(w, kLabel), "样例应用");

  const std::string renamed = program.folder() + "拆分 样例.XAPK";
  ASSERT_TRUE(CopyFileW(W(BundleFixture("sample.xapk")).c_str(), W(renamed).c_str(), FALSE));
  HANDLE second = program.Start(Quoted(renamed));
  EXPECT_EQ(WaitForExit(second), 0u);
  EXPECT_EQ(WaitForText(w, kLabel, "Split sample"), "Split sample");
  EXPECT_EQ(Text(w, kPackageName), "org.fixture.bundle");
  EXPECT_EQ(Text(w, kFileSize), formatFileSize(fileLength(renamed)));
  EXPECT_EQ(TreeWithoutSizes(w), kSplitSampleTree);

  HANDLE third = program.Start(BundleFixture("encrypted.apkm"));
  EXPECT_EQ(WaitForExit(third), 0u);
  EXPECT_EQ(WaitForText(w, kMessage, kEncryptedApkmMessage), kEncryptedApkmMessage);
  EXPECT_TRUE(PaintedIn(w, skin::kErrorColour));
  for (int id : {kLabel, kVersion, kPackageName, kMinRelease, kSdCard}) EXPECT_EQ(Text(w, id), "") << id;
  EXPECT_TRUE(ReadTree(GetDlgItem(w, kTree)).empty());
  EXPECT_EQ(MarkedWindows(), std::vector<HWND>{w});
}

TEST_F(MainWindowTest, EnterAndEscapeNeverCloseTheWindow) {
  HANDLE process = program.Start("");
  HWND w = MainWindowOf(GetProcessId(process));
  ASSERT_TRUE(w);
  for (int id : {kInstall, kTree, kSdBox}) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
      PostMessageW(GetDlgItem(w, id), WM_KEYDOWN, key, 1);
      PostMessageW(GetDlgItem(w, id), WM_KEYUP, key, 0xC0000001);
    }
  }
  PostMessageW(w, WM_COMMAND, IDOK, 0);
  PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(WaitForExit(process, 1500), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_TRUE(IsWindow(w));
  PostMessageW(w, WM_CLOSE, 0, 0);  // a close request from the system
  EXPECT_EQ(WaitForExit(process), 0u);
}

// A package with native code for three processors, an old target level and
// a test-only, debuggable build: the compatibility section under its own
// picture, as the CLI gives it.
TEST_F(MainWindowTest, CompatibilitySectionShowsTheFactsThatDecideAnInstall) {
  test::FakeAdb adb("");
  const std::string compat = Fixture("compat.apk");
  HWND w = Open(Quoted(compat));
  ASSERT_TRUE(w);
  Tree tree = SettledTree(w);
  auto root = std::find_if(tree.begin(), tree.end(), [](const TreeLine& l) { return l.depth == 0 && l.text == "兼容性"; });
  ASSERT_NE(root, tree.end());
  EXPECT_EQ(root->image, kImageCompatibility);
  EXPECT_TRUE(root->expanded);
  const Lines expected{"目标版本：Android 5.1（API 22）", "处理器架构：arm64-v8a、armeabi-v7a、x86_64", "16 KB内存页：已适配",
                       "硬件要求：android.hardware.camera、OpenGL ES 3.0", "可调试版本（debuggable）",
                       "仅供测试（testOnly），安装时会加上 -t 选项", "语言：2 种"};
  EXPECT_EQ(SectionLines(tree, "兼容性"), expected);
  EXPECT_EQ(ReferenceLines(compat, "兼容性"), expected);

}

// The signature section appears with the report and its check's lines say
// kVerifying until the worker has hashed the file; a package whose signature
// fails asks before it is installed, and Cancel sends nothing.
TEST_F(MainWindowTest, SignatureCheckUpdatesItsLinesAndAFailedOneAsksBeforeInstalling) {
  test::FakeAdb adb(OnePhone("Success\\r\\n"));
  const std::string sample = Fixture("sample.apk");
  const std::string big = program.folder() + "large-media.apk";
  WriteFile(big, test::buildZip({{"AndroidManifest.xml", MemberOf(sample, "AndroidManifest.xml"), true},
                                 {"resources.arsc", MemberOf(sample, "resources.arsc"), false},
                                 {"assets/media.bin", test::Bytes(192u << 20, 0x5a), false}}));
  HWND w = Open(Quoted(big));
  ASSERT_TRUE(w);
  Lines pending = SectionLines(ReadTree(GetDlgItem(w, kTree)), kSignatureSection);
  EXPECT_EQ(pending, (Lines{"签名方案：无（未签名）", "签名校验：正在校验…", "MD5：正在校验…", "SHA-1：正在校验…",
                            "SHA-256：正在校验…"}));
  Lines done = SectionLines(SettledTree(w, 120000), kSignatureSection);
  ASSERT_EQ(done.size(), 5u);
  EXPECT_EQ(done[1], "签名校验：未签名");
  auto file = FileSource::Open(big);
  Checksums sums;
  ASSERT_TRUE(file && computeChecksums(*file, sums));
  EXPECT_EQ(done[4], "SHA-256：" + sums.sha256);

  HANDLE next = program.Start(Quoted(test::NativePath(VANTARO_FIXTURE_DIR "/signed/v1v2-signed-data.apk")));
  EXPECT_EQ(WaitForExit(next), 0u);
  Tree tree;
  for (int i = 0; i < 600; ++i, Sleep(50)) {
    tree = SettledTree(w);
    if (SectionLines(tree, kSignatureSection).size() > 1 && SectionLines(tree, kSignatureSection)[0] == "签名方案：v1、v2") break;
  }
  Lines lines = SectionLines(tree, kSignatureSection);
  const std::string failed = "签名校验：未通过（v2，签名与签名数据不符）";
  ASSERT_NE(std::find(lines.begin(), lines.end(), failed), lines.end()) << testing::PrintToString(lines);
  for (const TreeLine& line : tree) {
    if (line.text == failed) {
      EXPECT_EQ(line.image, kImageWarning);
    }
  }

  DWORD id = ProcessOf(w);
  auto boxOf = [id] {
    for (int i = 0; i < 300; ++i, Sleep(50))
      if (HWND box = probe::findMessageBox(); box && ProcessOf(box) == id) return box;
    return HWND{};
  };
  Click(w, kInstall);
  HWND box = boxOf();
  ASSERT_TRUE(box);
  EXPECT_NE(probe::messageBoxText(box).find(W(failed)), std::wstring::npos);
  PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  Sleep(500);
  EXPECT_EQ(adb.Log(), Lines{});  // nothing was sent

  Click(w, kInstall);
  box = boxOf();
  ASSERT_TRUE(box);
  probe::pressOk(box);
  EXPECT_EQ(WaitForText(w, kMessage, kSuccess), kSuccess);
  ASSERT_EQ(adb.Log().size(), 3u);
  EXPECT_EQ(InstallCommand(adb.Log()[2]), "-s SER1 install -r -s COPY");
}

// The SDKs of the code show once the scan on the worker ends, as the CLI
// gives them; a package whose code cannot be read says so under both.
TEST_F(MainWindowTest, CodeScanFillsTheFindingSectionsAsTheCliDoes) {
  test::FakeAdb adb("");
  HWND w = Open(Quoted(Fixture("sdk-cn.apk")));
  ASSERT_TRUE(w);
  Tree tree = SettledTree(w);
  EXPECT_EQ(SectionLines(tree, kAdvertisingSection), (Lines{"穿山甲广告", "腾讯广点通", "快手联盟广告"}));
  EXPECT_EQ(SectionLines(tree, kAnalyticsSection), (Lines{"极光推送", "个推推送", "小米推送"}));

  // A damaged classes.dex beside the sample's manifest and table.
  const std::string sample = Fixture("sample.apk");
  const std::string damaged = program.folder() + "damaged-code.apk";
  WriteFile(damaged, test::buildZip({{"AndroidManifest.xml", MemberOf(sample, "AndroidManifest.xml"), true},
                                     {"resources.arsc", MemberOf(sample, "resources.arsc"), false},
                                     {"classes.dex", test::Bytes(4096, 0x5A), true}}));
  for (const std::string& path : {Fixture("sdk-global.apk"), damaged}) {
    SCOPED_TRACE(path);
    HANDLE next = program.Start(Quoted(path));
    EXPECT_EQ(WaitForExit(next), 0u);
    for (int i = 0; i < 200 && SectionLines(SettledTree(w), kAdvertisingSection) !=
                                  ReferenceLines(path, kAdvertisingSection); ++i)
      Sleep(50);
    tree = SettledTree(w);
    EXPECT_EQ(SectionLines(tree, kAdvertisingSection), ReferenceLines(path, kAdvertisingSection));
    EXPECT_EQ(SectionLines(tree, kAnalyticsSection), ReferenceLines(path, kAnalyticsSection));
  }
  EXPECT_EQ(SectionLines(tree, kAdvertisingSection), (Lines{"没有找到", kCodeUnreadable}));
  EXPECT_EQ(SectionLines(tree, kAnalyticsSection), (Lines{"友盟统计", kCodeUnreadable}));
}

// A package with much code: while its scan runs the sections say so, Run now
// still answers, a newer package's findings replace it and are never
// overwritten by the old scan, and the window closes at once.
TEST_F(MainWindowTest, ASlowScanGivesWayToTheNextPackageAndToClosing) {
  test::FakeAdb adb(test::DeviceListingRule({}));
  const std::string global = Fixture("sdk-global.apk");
  std::vector<test::ZipMember> members{{"AndroidManifest.xml", MemberOf(global, "AndroidManifest.xml"), true},
                                       {"resources.arsc", MemberOf(global, "resources.arsc"), false}};
  test::Bytes dex = MemberOf(global, "classes.dex");
  ASSERT_FALSE(dex.empty());
  members.push_back({"classes.dex", dex, true});
  for (int n = 2; n <= 4000; ++n) members.push_back({"classes" + std::to_string(n) + ".dex", dex, true});
  const std::string big = program.folder() + "much-code.apk";
  WriteFile(big, test::buildZip(members));

  HWND w = Open(Quoted(big));
  ASSERT_TRUE(w);
  Tree tree = ReadTree(GetDlgItem(w, kTree));
  ASSERT_EQ(SectionLines(tree, kAdvertisingSection), Lines{kAnalysing});
  EXPECT_EQ(SectionLines(tree, kAnalyticsSection), Lines{kAnalysing});
  // The window's thread is free: Run now answers during the scan.
  Click(w, kRun);
  const std::string noPhone = ResolveFailureText(ResolveResult::NoDevice);
  EXPECT_EQ(WaitForText(w, kMessage, noPhone, 5000), noPhone);
  EXPECT_EQ(SectionLines(ReadTree(GetDlgItem(w, kTree)), kAdvertisingSection), Lines{kAnalysing});

  HANDLE next = program.Start(Quoted(Fixture("sdk-cn.apk")));
  EXPECT_EQ(WaitForExit(next), 0u);
  tree = SettledTree(w);
  EXPECT_EQ(SectionLines(tree, kAdvertisingSection), (Lines{"穿山甲广告", "腾讯广点通", "快手联盟广告"}));
  Sleep(3000);  // long enough for the old scan to have ended, had it not stopped
  tree = ReadTree(GetDlgItem(w, kTree));
  EXPECT_EQ(SectionLines(tree, kAdvertisingSection), (Lines{"穿山甲广告", "腾讯广点通", "快手联盟广告"}));
  EXPECT_EQ(SectionLines(tree, kAnalyticsSection), (Lines{"极光推送", "个推推送", "小米推送"}));

  // Closing during a scan ends the program promptly and cleanly.
  next = program.Start(Quoted(big));
  EXPECT_EQ(WaitForExit(next), 0u);
  for (int i = 0; i < 100 && SectionLines(ReadTree(GetDlgItem(w, kTree)), kAdvertisingSection) != Lines{kAnalysing}; ++i)
    Sleep(20);
  ASSERT_EQ(SectionLines(ReadTree(GetDlgItem(w, kTree)), kAdvertisingSection), Lines{kAnalysing});
  DWORD process = ProcessOf(w);
  HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process);
  ASSERT_TRUE(handle);
  DWORD started = GetTickCount();
  PostMessageW(w, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(handle, 10000), 0u);
  EXPECT_LT(GetTickCount() - started, 3000u);
  CloseHandle(handle);
}

}  // namespace
}  // namespace vantaro::apptest
