#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <mutex>

#include "base/text.h"
#include "device/async_command.h"
#include "device/runner.h"
#include "install/system.h"
#include "support.h"

namespace vantaro {
namespace {

using test::FakeAdb;

TEST(RunCaptured, JoinsOutputAndError) {
  FakeAdb adb("match devices\nout first\\n\nerr second\\n\n");
  CapturedOutput run = CommandRunner::System().RunCaptured(adb.path() + " devices", kListingLimit);
  EXPECT_EQ(run.status, RunStatus::Started);
  EXPECT_EQ(run.output, "first\nsecond\n");
}

TEST(RunCaptured, KeepsOnlyTheLimitOfLargeOutput) {
  // Far more than a pipe holds: the child must not block on a full pipe.
  FakeAdb adb("match devices\nbytes 300000 a\nout tail\n");
  CapturedOutput run = CommandRunner::System().RunCaptured(adb.path() + " devices", kInstallLimit);
  EXPECT_EQ(run.output, std::string(kInstallLimit, 'a'));
  FakeAdb nul("match devices\nout ab\\x00cd\n");
  EXPECT_EQ(CommandRunner::System().RunCaptured(nul.path() + " devices", kListingLimit).output, "ab");
}

TEST(RunCaptured, ReturnsWhileADescendantHoldsThePipe) {
  // As adb's server does when the first listing of a session starts it.
  FakeAdb adb("match devices\nhold 30000\nout * daemon started successfully\\nList of devices attached\\n\\n\n");
  std::time_t before = std::time(nullptr);
  CapturedOutput run = CommandRunner::System().RunCaptured(adb.path() + " devices", kListingLimit);
  EXPECT_LT(std::time(nullptr) - before, 15);
  EXPECT_EQ(run.output, "* daemon started successfully\nList of devices attached\n\n");
  ASSERT_EQ(adb.Lingering().size(), 1u);
  EXPECT_TRUE(test::ProcessAlive(adb.Lingering()[0]));
}

TEST(RunCaptured, LongCommandLineRunsInFull) {
  FakeAdb adb("match *\nout ok\n");
  std::string argument(600, 'x');
  CapturedOutput run = CommandRunner::System().RunCaptured(adb.path() + " shell echo " + argument, kListingLimit);
  EXPECT_EQ(run.output, "ok");
  EXPECT_EQ(adb.Log(), std::vector<std::string>{"shell echo " + argument});
}

TEST(RunCaptured, MissingToolIsAStartFailure) {
  test::TempFolder folder;
  CapturedOutput run = CommandRunner::System().RunCaptured(folder.path() + "no-such-adb devices", kListingLimit);
  EXPECT_EQ(run.status, RunStatus::StartFailed);
  EXPECT_TRUE(run.output.empty());
}

TEST(RunCaptured, UnquotedToolPathWithSpaces) {
  FakeAdb adb("match devices\nout listed\n");
  test::TempFolder folder("tool folder");
  std::string tool = folder.path() + "sub dir" + test::PathSeparator();
  ASSERT_TRUE(test::MakeFolder(tool));
  std::string source = adb.path();
  tool += source.substr(source.find_last_of("\\/") + 1);
  ASSERT_EQ(CopyToNewFile(source, tool), CopyResult::Copied);
  test::MakeExecutable(tool);
  EXPECT_EQ(CommandRunner::System().RunCaptured(tool + " devices", kListingLimit).output, "listed");
}

TEST(AdbPath, BesideTheProgramElseTheBareWord) {
  std::string beside = ProgramFolder() + test::AdbFileName();
  RemoveFile(beside);
  EXPECT_EQ(AdbPath(), "adb");
  FakeAdb adb("");
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
Calls Stream(const std::string& scenario, const std::string& arguments) {
  FakeAdb adb(scenario);
  RecordingSink sink;
  AsyncCommand command(&sink);
  EXPECT_TRUE(command.Start(adb.path() + " " + arguments));
  EXPECT_TRUE(sink.WaitForEnd(10000));
  command.Close();
  return sink.calls;
}

TEST(AsyncCommand, PiecesOfAtMost255Bytes) {
  EXPECT_EQ(Stream("match shell getprop\nbytes 300 p\n", "shell getprop"),
            (Calls{{std::string(255, 'p'), OutputStatus::Chunk},
                   {std::string(45, 'p'), OutputStatus::Chunk},
                   {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, NoOutputGivesOnlyFinished) {
  EXPECT_EQ(Stream("match shell getprop\nexit 3\n", "shell getprop"), (Calls{{"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, FinishesWhileADescendantHoldsThePipe) {
  EXPECT_EQ(Stream("match shell pm list package\nhold 30000\nout package:android\\n\n", "shell pm list package"),
            (Calls{{"package:android\n", OutputStatus::Chunk}, {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, CloseDuringEndlessOutputThenStartAgain) {
  FakeAdb adb("match shell endless\nout line of endless output\\n\nendless\nmatch shell short\nout short\n");
  RecordingSink sink;
  AsyncCommand command(&sink);
  ASSERT_TRUE(command.Start(adb.path() + " shell endless"));
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
  ASSERT_TRUE(command.Start(adb.path() + " shell short"));
  ASSERT_TRUE(sink.WaitForEnd(10000));
  EXPECT_EQ(sink.calls, (Calls{{"short", OutputStatus::Chunk}, {"", OutputStatus::Finished}}));
}

TEST(AsyncCommand, CloseFromInsideTheSink) {
  FakeAdb adb("match shell endless\nout x\\n\nendless\n");
  RecordingSink sink;
  AsyncCommand command(&sink);
  sink.closeOnFirstChunk = true;
  sink.command = &command;
  ASSERT_TRUE(command.Start(adb.path() + " shell endless"));
  for (int i = 0; i < 500 && sink.Count() < 1; ++i) test::SleepMs(10);
  test::SleepMs(300);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(AsyncCommand, StartFailureDeliversNothing) {
  test::TempFolder folder;
  RecordingSink sink;
  AsyncCommand command(&sink);
  EXPECT_FALSE(command.Start(folder.path() + "no-such-adb shell getprop"));
  command.Close();
  EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
}  // namespace vantaro
