// The start-up roads of vantaro.exe: the missing tool and the crash restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "probe.h"
#include "program.h"

namespace vantaro::apptest {
namespace {

// The visible message box of a process, waiting up to ms.
HWND MessageBoxOf(DWORD processId, unsigned ms) {
  return probe::waitFor(ms, [processId]() -> HWND {
    HWND box = probe::findMessageBox();
    return box && ProcessOf(box) == processId ? box : nullptr;
  });
}

std::string Gbk(const std::wstring& text) { return wideToGbk(std::u16string(text.begin(), text.end())); }

TEST(StartUp, MissingToolIsReportedOnceAndTheWindowWorks) {
  Program program(/*withAdb=*/false);
  HANDLE process = program.Start("");
  DWORD id = GetProcessId(process);
  HWND box = MessageBoxOf(id, 30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(Gbk(probe::windowText(box)), "错误 - 【vantaro.example】");
  EXPECT_EQ(Gbk(probe::messageBoxText(box)),
            "【Vantaro】组件丢失：没有找到 adb.exe。\n\n现在从 Google 下载它吗？（以后也可以在“更多设置”中单击“一键修复”）");
  EXPECT_TRUE(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO));  // it offers the download
  // In front of the main window, which stays above other windows.
  EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
  HWND top = GetTopWindow(nullptr);
  while (top && !IsWindowVisible(top)) top = GetWindow(top, GW_HWNDNEXT);
  EXPECT_EQ(top, box);
  probe::pressButton(box, IDNO);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  EXPECT_FALSE(MessageBoxOf(id, 1500));

  HWND w = MainWindowOf(id);
  ASSERT_TRUE(w);
  Click(w, 1011);  // Run now: the tool does not start
  const std::string missing = "【组件丢失，请重新安装“Vantaro”";
  EXPECT_EQ(WaitForText(w, 1000, missing), missing);
  EXPECT_FALSE(MessageBoxOf(id, 500));
}

TEST(StartUp, CrashRestartsExactlyOneFreshInstance) {
  Program program(true, VANTARO_CRASH_EXE);
  HANDLE crashing = program.Start(Fixture("sample.apk"));
  DWORD id = GetProcessId(crashing);
  HWND first = MainWindowOf(id);
  ASSERT_TRUE(first);
  ASSERT_EQ(Text(first, 1032), "样例应用");

  std::wstring name = L"Local\\Vantaro.TestCrash." + std::to_wstring(id);
  HANDLE trigger = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
  ASSERT_TRUE(trigger);
  SetEvent(trigger);
  CloseHandle(trigger);

  HWND box = MessageBoxOf(id, 30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(Gbk(probe::windowText(box)), "出错了 - 【vantaro.example】");
  EXPECT_EQ(Gbk(probe::messageBoxText(box)), "很抱歉，出现点小状况，【Vantaro】需要重新启动");
  probe::pressOk(box);
  EXPECT_NE(WaitForExit(crashing), static_cast<DWORD>(STILL_ACTIVE));

  // One new instance, without a file; no second one follows.
  HWND restarted = probe::waitFor(30000, [id]() -> HWND {
    for (HWND w : MarkedWindows())
      if (ProcessOf(w) != id) return w;
    return nullptr;
  });
  ASSERT_TRUE(restarted);
  DWORD newId = ProcessOf(restarted);
  HANDLE fresh = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, newId);
  Sleep(1500);
  EXPECT_EQ(MarkedWindows(), std::vector<HWND>{restarted});
  EXPECT_EQ(Text(restarted, 1032), "");
  if (fresh) {
    Program::End(fresh);
    CloseHandle(fresh);
  }
}

// A program that fails at every start is restarted once: the restarted
// process fails within the minute, shows the notice and starts nothing.
TEST(StartUp, CrashAtEveryStartRestartsOnlyOnce) {
  Program program(true, VANTARO_CRASH_EXE);
  SetEnvironmentVariableW(L"VANTARO_TEST_CRASH_AT_START", L"1");
  HANDLE first = program.Start("");
  SetEnvironmentVariableW(L"VANTARO_TEST_CRASH_AT_START", nullptr);
  ASSERT_TRUE(first);
  const DWORD firstId = GetProcessId(first);

  // Every process this test did not start itself is ended by its id.
  std::vector<HANDLE> others;
  struct EndOthers {
    std::vector<HANDLE>& list;
    ~EndOthers() {
      for (HANDLE process : list) {
        Program::End(process);
        CloseHandle(process);
      }
    }
  } endOthers{others};
  std::vector<DWORD> seen{firstId};
  // A crash box, or a main window, of a process not seen before.
  auto newcomer = [&seen]() -> HWND {
    std::vector<HWND> candidates = MarkedWindows();
    if (HWND box = probe::findMessageBox()) candidates.push_back(box);
    for (HWND w : candidates)
      if (std::find(seen.begin(), seen.end(), ProcessOf(w)) == seen.end()) return w;
    return nullptr;
  };

  HWND box = MessageBoxOf(firstId, 30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(Gbk(probe::messageBoxText(box)), "很抱歉，出现点小状况，【Vantaro】需要重新启动");
  probe::pressOk(box);
  EXPECT_NE(WaitForExit(first), static_cast<DWORD>(STILL_ACTIVE));

  HWND restarted = probe::waitFor(30000, newcomer);
  ASSERT_TRUE(restarted);
  const DWORD secondId = ProcessOf(restarted);
  seen.push_back(secondId);
  HANDLE second = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, secondId);
  ASSERT_TRUE(second);
  others.push_back(second);
  box = MessageBoxOf(secondId, 30000);
  ASSERT_TRUE(box);
  EXPECT_EQ(Gbk(probe::messageBoxText(box)), "很抱歉，出现点小状况，【Vantaro】需要重新启动");
  // On a busy machine the box may take its time: press again while it stays.
  for (int i = 0; i < 500 && IsWindow(box); ++i) {
    if (i % 50 == 0) probe::pressOk(box);
    Sleep(20);
  }
  EXPECT_FALSE(IsWindow(box));
  EXPECT_NE(WaitForExit(second), static_cast<DWORD>(STILL_ACTIVE));

  // No third start (a restart takes a second or two to show its window).
  HWND third = probe::waitFor(8000, newcomer);
  EXPECT_FALSE(third);
  if (HANDLE process = third ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(third)) : nullptr)
    others.push_back(process);
}

}  // namespace
}  // namespace vantaro::apptest
