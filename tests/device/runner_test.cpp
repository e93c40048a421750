#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <mutex>

#include "base/text.h"
#include "device/async_command.h"
#include "device/command_line.h"
#include "device/resolve.h"
#include "device/runner.h"
#include "install/system.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;
using Lines = std::vector<std::string>;

CapturedOutput RunTool(const std::string& tool, std::initializer_list<std::string_view> arguments,
                   size_t limit = kListingLimit, unsigned timeoutMs = 15000) {
  return CommandRunner::System().RunCaptured(ToolCommand(tool, arguments), limit, timeoutMs);
}

long long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(RunCaptured, JoinsOutputAndError) {
  FakeAdb adb("match devices\nout first\\n\nerr second\\n\n");
  CapturedOutput run = RunTool(adb.path(), {"devices"});
  EXPECT_EQ(run.status, RunStatus::Started);
  EXPECT_EQ(run.output, "first\nsecond\n");
}

TEST(RunCaptured, KeepsOnlyTheLimitOfLargeOutput) {
  // Far more than a pipe holds: the child must not block on a full pipe.
  FakeAdb adb("match devices\nbytes 300000 a\nout tail\n");
  CapturedOutput run = RunTool(adb.path(), {"devices"}, kInstallLimit);
  EXPECT_EQ(run.output, std::string(kInstallLimit, 'a'));
  FakeAdb nul("match devices\nout ab\\x00cd\n");
  EXPECT_EQ(RunTool(nul.path(), {"devices"}).output, "ab");
}

TEST(RunCaptured, ReturnsWhileADescendantHoldsThePipe) {
  // As adb's server does when the first listing of a session starts it.
  FakeAdb adb("match devices\nhold 30000\nout * daemon started successfully\\nList of devices attached\\n\\n\n");
  auto before = std::chrono::steady_clock::now();
  CapturedOutput run = RunTool(adb.path(), {"devices"});
  EXPECT_LT(ElapsedMs(before), 10000);
  EXPECT_EQ(run.status, RunStatus::Started);
  EXPECT_EQ(run.output, "* daemon started successfully\nList of devices attached\n\n");
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_TRUE(test::ProcessAlive(adb.Lingering()[0]));
}

TEST(RunCaptured, LongCommandLineRunsInFull) {
  FakeAdb adb("match *\nout ok\n");
  std::string argument(600, 'x');
  CapturedOutput run = RunTool(adb.path(), {"shell", "echo", argument});
  EXPECT_EQ(run.output, "ok");
  EXPECT_EQ(adb.Log(), Lines{"shell echo " + argument});
}

TEST(RunCaptured, HungChildIsEndedAtItsTimeOut) {
  FakeAdb adb("match -s SER1 shell *\nhang\n");
  auto before = std::chrono::steady_clock::now();
  CapturedOutput run = RunTool(adb.path(), {"-s", "SER1", "shell", "sleep", "60"}, kInstallLimit, 3000);
  // The runner's clock counts whole milliseconds, so it may end a hair
  // before the test's finer clock reaches the limit.
  EXPECT_GE(ElapsedMs(before), 2990);
  EXPECT_LT(ElapsedMs(before), 10000);
  EXPECT_EQ(run.status, RunStatus::TimedOut);
  // The hanging child is gone, not left behind.
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_FALSE(test::ProcessAlive(adb.Lingering()[0]));
}

TEST(RunCaptured, ToolInAFolderWithSpacesGetsItsExactArguments) {
  FakeAdb adb("match *\nargs\n");
  test::TempFolder folder("tool folder");
  std::string tool = folder.path() + "sub dir" + test::PathSeparator();
  ASSERT_TRUE(test::MakeFolder(tool));
  tool += test::AdbFileName();
  ASSERT_EQ(CopyToNewFile(adb.path(), tool), CopyResult::Copied);
  test::MakeExecutable(tool);

  CapturedOutput run = RunTool(tool, {"shell", "echo", "a \"b\" c\\", "d\\\\e", "", "x\ty", "C:\\dir with space\\"});
  EXPECT_EQ(run.status, RunStatus::Started);
  EXPECT_EQ(run.output, "[shell]\n[echo]\n[a \"b\" c\\]\n[d\\\\e]\n[]\n[x\ty]\n[C:\\dir with space\\]\n");
  // The very line the child was given: the tool's path in quotes, on
  // Windows as GetCommandLineW shows it.
  EXPECT_EQ(adb.RawLog(), Lines{test::InQuotes(gbkToUtf8(tool)) +
                                " shell echo \"a \\\"b\\\" c\\\\\" d\\\\e \"\" \"x\ty\" \"C:\\dir with space\\\\\""});
}

TEST(RunCaptured, OnlyAnAbsoluteToolPathIsRun) {
  test::TempFolder folder;
  EXPECT_EQ(RunTool(folder.path() + "no-such-adb", {"devices"}).status, RunStatus::StartFailed);
  EXPECT_EQ(RunTool("", {"devices"}).status, RunStatus::StartFailed);

  // A tool in the current folder, named without a path in every way a
  // command line can: none of them starts it.
  FakeAdb planted("match *\nout planted\n");
  ASSERT_EQ(CopyToNewFile(planted.path(), folder.path() + test::AdbFileName()), CopyResult::Copied);
  test::MakeExecutable(folder.path() + test::AdbFileName());
  std::string previous = test::ChangeFolder(folder.path());
  ASSERT_FALSE(previous.empty());
  CapturedOutput bare = CommandRunner::System().RunCaptured("adb devices", kListingLimit, 15000);
  CapturedOutput relative = RunTool(test::AdbFileName(), {"devices"});
  CommandRunner::System().LaunchDetached("adb shell am start -n x/.Y");
  AsyncCommand command;
  EXPECT_FALSE(command.Start("adb shell getprop"));
  test::ChangeFolder(previous);
  EXPECT_EQ(bare.status, RunStatus::StartFailed);
  EXPECT_EQ(relative.status, RunStatus::StartFailed);
  test::SleepMs(500);
  EXPECT_TRUE(planted.Log().empty());
}

TEST(AdbPath, OurOwnToolByItsFullPathNeverTheCurrentFolder) {
  std::string beside = ProgramFolder() + test::AdbFileName();
  RemoveFile(beside);
  bool posix = test::PathSeparator() == '/';
  // Empty and relative search-path entries would mean the current folder,
  // where a tool is planted.
  FakeAdb adb("match devices\nout List of devices attached\\nSER1\\tdevice\\n\\n\n");
  test::TempFolder planted("planted");
  ASSERT_EQ(CopyToNewFile(adb.path(), planted.path() + test::AdbFileName()), CopyResult::Copied);
  test::MakeExecutable(planted.path() + test::AdbFileName());
  test::ScopedEnvironment environment;
  std::string list = posix ? ":" : ";";
  environment.Set("PATH", list + "." + list + "bin" + list);
  std::string previous = test::ChangeFolder(planted.path());
  ASSERT_FALSE(previous.empty());
  EXPECT_EQ(AdbPath(), "");
  DeviceBridge bridge;
  EXPECT_EQ(ResolveTargetDevice(bridge, ChooseNoDevice), ResolveResult::StartFailed);
  EXPECT_EQ(ResolveFailureText(ResolveResult::StartFailed), kStartFailedText);
  test::ChangeFolder(previous);
  EXPECT_TRUE(adb.Log().empty());

  // Linux takes the system's adb from an absolute folder of PATH; Windows
  // never searches.
  test::TempFolder system("system");
  ASSERT_EQ(CopyToNewFile(adb.path(), system.path() + test::AdbFileName()), CopyResult::Copied);
  test::MakeExecutable(system.path() + test::AdbFileName());
  environment.Set("PATH", list + "relative" + list + system.path());
  EXPECT_EQ(AdbPath(), posix ? system.path() + "adb" : "");

  ASSERT_EQ(CopyToNewFile(adb.path(), beside), CopyResult::Copied);
  test::MakeExecutable(beside);
  EXPECT_EQ(AdbPath(), beside);
  RemoveFile(beside);
}

// Records what a run delivers and lets the test wait for its end.
class RecordingSink : public OutputSink {
 public:
  void OnOutput(const std::string& text, OutputStatus status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back({text, status});
    if (closeOnFirstChunk && command) {
      command->Close();
      command = nullptr;
    }
    changed_.notify_all();
  }
  // Waits up to ms for a Finished or Failed call.
  bool WaitForEnd(unsigned ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] {
      return !calls.empty() && calls.back().second != OutputStatus::Chunk;
    });
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls.size();
  }
  std::string Text() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (auto& c : calls) all += c.first;
    return all;
  }

  std::vector<std::pair<std::string, OutputStatus>> calls;
  bool closeOnFirstChunk = false;
  AsyncCommand* command = nullptr;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

using Calls = std::vector<std::pair<std::string, OutputStatus>>;

// One streamed run of fake-adb with the scenario, to its end.
Calls Stream(const std::string& scenario, std::initializer_list<std::string_view> arguments) {
  FakeAdb adb(scenario);
  RecordingSink sink;
  AsyncCommand command(&sink);
  EXPECT_TRUE(command.Start(ToolCommand(adb.path(), arguments)));
  EXPECT_TRUE(sink.WaitForEnd(10000));
  command.Close();
  return sink.calls;
}

TEST(AsyncCommand, PiecesOfAtMost255Bytes) {
  EXPECT_EQ(Stream("match shell getprop\nbytes 300 p\n", {"shell", "getprop"}),
            (Calls{{std::string(255, 'p'), OutputStatus::Chunk},
                   {std::string(45, 'p'), OutputStatus::Chunk},
                   {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, NoOutputGivesOnlyFinished) {
  EXPECT_EQ(Stream("match shell getprop\nexit 3\n", {"shell", "getprop"}), (Calls{{"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, FinishesWhileADescendantHoldsThePipe) {
  EXPECT_EQ(Stream("match shell pm list package\nhold 30000\nout package:android\\n\n", {"shell", "pm", "list", "package"}),
            (Calls{{"package:android\n", OutputStatus::Chunk}, {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, CloseDuringEndlessOutputThenStartAgain) {
  FakeAdb adb("match shell endless\nout line of endless output\\n\nendless\nmatch shell short\nout short\n");
  RecordingSink sink;
  AsyncCommand command(&sink);
  ASSERT_TRUE(command.Start(ToolCommand(adb.path(), {"shell", "endless"})));
  for (int i = 0; i < 500 && sink.Count() < 3; ++i) test::SleepMs(10);
  ASSERT_GE(sink.Count(), 3u);

  std::time_t before = std::time(nullptr);
  command.Close();
  EXPECT_LE(std::time(nullptr) - before, 6);
  size_t delivered = sink.Count();
  test::SleepMs(300);
  EXPECT_EQ(sink.Count(), delivered);  // nothing after Close
  EXPECT_NE(sink.calls.back().second, OutputStatus::Finished);

  // The writer ends once nobody reads its pipe.
  ASSERT_EQ(adb.Lingering().size(), 1u);
  long writer = adb.Lingering()[0];
  for (int i = 0; i < 250 && test::ProcessAlive(writer); ++i) test::SleepMs(20);
  EXPECT_FALSE(test::ProcessAlive(writer));

  sink.calls.clear();
  ASSERT_TRUE(command.Start(ToolCommand(adb.path(), {"shell", "short"})));
  ASSERT_TRUE(sink.WaitForEnd(10000));
  EXPECT_EQ(sink.calls, (Calls{{"short", OutputStatus::Chunk}, {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, CloseFromInsideTheSink) {
  FakeAdb adb("match shell endless\nout x\\n\nendless\n");
  RecordingSink sink;
  AsyncCommand command(&sink);
  sink.closeOnFirstChunk = true;
  sink.command = &command;
  ASSERT_TRUE(command.Start(ToolCommand(adb.path(), {"shell", "endless"})));
  for (int i = 0; i < 500 && sink.Count() < 1; ++i) test::SleepMs(10);
  test::SleepMs(300);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(AsyncCommand, StartFailureDeliversNothing) {
  test::TempFolder folder;
  RecordingSink sink;
  AsyncCommand command(&sink);
  EXPECT_FALSE(command.Start(ToolCommand(folder.path() + "no-such-adb", {"shell", "getprop"})));
  command.Close();
  EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
}  // namespace vantaro
