// Children through posix_spawn. Every pipe end is created close-on-exec, so a
// child started by one thread never inherits another thread's pipe; the
// spawn file actions give the child its own copies as 0, 1 and 2.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/text.h"
#include "device/command_line.h"
#include "device/runner.h"
#include "device/streamed_child.h"

extern char** environ;

namespace vantaro {
namespace {

// Children nobody waits for any more (detached launches, streamed children
// whose reader was stopped first); reaped whenever another child starts.
std::mutex abandonedMutex;
std::vector<pid_t> abandoned;

void Abandon(pid_t pid) {
  std::lock_guard<std::mutex> lock(abandonedMutex);
  abandoned.push_back(pid);
}

void ReapAbandoned() {
  std::lock_guard<std::mutex> lock(abandonedMutex);
  std::vector<pid_t> still;
  for (pid_t pid : abandoned) {
    if (waitpid(pid, nullptr, WNOHANG) == 0) still.push_back(pid);
  }
  abandoned.swap(still);
}

// path: Linux bytes.
bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The arguments as the child gets them: each one's GBK text back to the
// bytes it came from (a path keeps the exact name it has on disk).
std::vector<std::string> Arguments(const std::string& gbkCommandLine) {
  std::vector<std::string> args = SplitCommandLine(gbkCommandLine);
  for (std::string& arg : args) arg = gbkPathToNativeBytes(arg);
  return args;
}

// The first file named name in an absolute folder of PATH (Linux bytes);
// empty and relative entries, which would mean the current folder, are
// skipped.
std::string SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string entries = path ? path : "";
  for (size_t start = 0; start <= entries.size();) {
    size_t end = entries.find(':', start);
    if (end == std::string::npos) end = entries.size();
    std::string folder = entries.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder.front() != '/') continue;
    if (folder.back() != '/') folder += '/';
    if (IsExecutableFile(folder + name)) return folder + name;
  }
  return std::string();
}

long long NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// posix_spawn set-up shared by all three ways of starting a child.
class Spawn {
 public:
  Spawn() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attr_);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr_, &none);
    posix_spawnattr_setsigdefault(&attr_, &defaults);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~Spawn() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  Spawn(const Spawn&) = delete;
  Spawn& operator=(const Spawn&) = delete;

  void Redirect(int fd, int target) { posix_spawn_file_actions_adddup2(&actions_, fd, target); }
  void NullDevice(int target) {
    posix_spawn_file_actions_addopen(&actions_, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  // The child leads a process group of its own (as a console of its own on
  // Windows keeps it apart from the terminal's signals), which a time-out
  // ends as a whole.
  void OwnGroup() {
    posix_spawnattr_setpgroup(&attr_, 0);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  }

  // The child's pid, or -1 when it did not start. Only a program named by
  // its absolute path is started; nothing is searched for.
  pid_t Run(const std::string& gbkCommandLine) {
    ReapAbandoned();
    if (detail::AbsoluteProgram(gbkCommandLine).empty()) return -1;
    std::vector<std::string> args = Arguments(gbkCommandLine);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions_, &attr_, argv.data(), environ) != 0) return -1;
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
};

// How long RunCaptured sleeps between looks at the pipe and the child.
constexpr int kCaptureTickMs = 10;
// After the child has ended, at most this much more is read: everything the
// child wrote fits in the pipe, anything beyond comes from its descendants.
constexpr size_t kAfterExitReadLimit = 1 << 20;

class PosixStreamedChild : public detail::StreamedChild {
 public:
  PosixStreamedChild(pid_t pid, int output, int input, int stopRead, int stopWrite)
      : pid_(pid), output_(output), input_(input), stopRead_(stopRead), stopWrite_(stopWrite) {}
  ~PosixStreamedChild() override {
    if (reader_.joinable()) reader_.detach();
    Release();
  }

  Read ReadAvailable(char* buffer, size_t capacity, size_t& got) override {
    got = 0;
    for (;;) {
      ssize_t n = ::read(output_, buffer, capacity);
      if (n > 0) {
        got = static_cast<size_t>(n);
        return Read::Data;
      }
      if (n == 0) return Read::Ended;
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? Read::Empty : Read::Failed;
    }
  }

  Wake Wait(unsigned ms) override {
    // The child's end is looked for every few milliseconds; the stop request
    // wakes the wait at once.
    long long deadline = NowMs() + ms;
    for (;;) {
      if (ChildEnded()) return Wake::ChildEnded;
      long long left = deadline - NowMs();
      if (left <= 0) return Wake::TimeOut;
      pollfd pfd{stopRead_, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, kCaptureTickMs))) > 0) return Wake::Stop;
    }
  }

  void RequestStop() override {
    if (stop_.exchange(true)) return;
    // The reader may be releasing the pipes right now: write only while they
    // are open, or the write would meet a closed reading end (SIGPIPE) or a
    // descriptor number already given to someone else.
    std::lock_guard<std::mutex> lock(releaseMutex_);
    if (stopWrite_ < 0 || stopRead_ < 0) return;
    char byte = 1;
    ssize_t ignored = ::write(stopWrite_, &byte, 1);
    (void)ignored;
  }
  bool StopRequested() const override { return stop_.load(); }

  void Release() override {
    std::lock_guard<std::mutex> lock(releaseMutex_);
    CloseFd(output_);
    CloseFd(input_);
    CloseFd(stopRead_);
    CloseFd(stopWrite_);
    if (pid_ > 0 && !ChildEnded()) Abandon(pid_);
    pid_ = -1;
  }

  bool StartReader(std::function<void()> body) override {
    try {
      reader_ = std::thread(std::move(body));
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  bool OnReaderThread() const override { return std::this_thread::get_id() == reader_.get_id(); }
  // The reader never blocks for longer than one poll, so a stop request
  // ends it promptly; no forced end is needed.
  void FinishReader() override {
    if (reader_.joinable()) reader_.join();
  }
  void DetachReader() override {
    if (reader_.joinable()) reader_.detach();
  }

 private:
  bool ChildEnded() {
    if (reaped_) return true;
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) reaped_ = true;
    return reaped_;
  }

  pid_t pid_;
  bool reaped_ = false;
  int output_, input_, stopRead_, stopWrite_;
  std::atomic<bool> stop_{false};
  std::mutex releaseMutex_;
  std::thread reader_;
};

}  // namespace

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::string();
  std::string path(buffer.data(), static_cast<size_t>(n));
  return nativeToGbkPath(path.substr(0, path.rfind('/') + 1));
}

std::string UserToolFolder() { return std::string(); }

std::string AdbPath() {
  std::string folder = ProgramFolder();
  if (!folder.empty() && IsExecutableFile(gbkPathToNativeBytes(folder) + "adb")) return folder + "adb";
  std::string found = SearchPath("adb");
  return found.empty() ? std::string() : nativeToGbkPath(found);
}

std::string NamedToolPath(const std::string& name) {
  std::string native = gbkPathToNativeBytes(name);
  if (native.empty()) return std::string();
  if (native.find('/') == std::string::npos) {
    std::string found = SearchPath(native);
    return found.empty() ? std::string() : nativeToGbkPath(found);
  }
  if (native.front() != '/') {
    std::vector<char> cwd(4096);
    if (!getcwd(cwd.data(), cwd.size())) return std::string();
    native = std::string(cwd.data()) + "/" + native;
  }
  return IsExecutableFile(native) ? nativeToGbkPath(native) : std::string();
}

namespace detail {

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

}  // namespace detail

CapturedOutput CommandRunner::RunCaptured(const std::string& commandLine, size_t limit, unsigned timeoutMs) {
  CapturedOutput result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result.status = RunStatus::PipeFailed;
    return result;
  }
  pid_t pid;
  {
    Spawn spawn;
    spawn.Redirect(fds[1], 1);
    spawn.Redirect(fds[1], 2);
    spawn.OwnGroup();
    pid = spawn.Run(commandLine);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    result.status = RunStatus::StartFailed;
    return result;
  }
  result.status = RunStatus::Started;
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);

  long long deadline = NowMs() + timeoutMs;
  bool exited = false, timedOut = false;
  // Waits for the child's exit until the deadline; false when it has not
  // ended by then.
  auto waitForExit = [&]() {
    for (;;) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
      if (NowMs() >= deadline) return false;
      ::poll(nullptr, 0, kCaptureTickMs);
    }
  };
  std::string kept;
  char buffer[4096];
  size_t afterExit = 0;
  for (;;) {
    if (!exited && NowMs() >= deadline) {
      timedOut = true;
      break;
    }
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      if (kept.size() < limit) kept.append(buffer, std::min(static_cast<size_t>(n), limit - kept.size()));
      if (exited && (afterExit += static_cast<size_t>(n)) >= kAfterExitReadLimit) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      // Every writer has closed the pipe (or it failed): only the exit is
      // left to wait for.
      if (!exited) timedOut = !waitForExit();
      break;
    }
    if (exited) break;  // ended, and nothing more is available
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      exited = true;  // one more pass reads what it wrote last
      continue;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(std::min<long long>(kCaptureTickMs, std::max<long long>(deadline - NowMs(), 0))));
  }
  if (timedOut) {
    // The child leads its group: whatever it started there ends with it.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    result.status = RunStatus::TimedOut;
  }
  ::close(fds[0]);
  result.output = kept.substr(0, kept.find('\0'));
  return result;
}

void CommandRunner::LaunchDetached(const std::string& commandLine) {
  Spawn spawn;
  spawn.NullDevice(0);
  spawn.NullDevice(1);
  spawn.NullDevice(2);
  spawn.OwnGroup();
  pid_t pid = spawn.Run(commandLine);
  if (pid > 0) Abandon(pid);
}

namespace detail {

std::shared_ptr<StreamedChild> StartStreamedChild(const std::string& commandLine) {
  int output[2], input[2], stop[2];
  if (pipe2(output, O_CLOEXEC) != 0) return nullptr;
  if (pipe2(input, O_CLOEXEC) != 0) {
    ::close(output[0]);
    ::close(output[1]);
    return nullptr;
  }
  if (pipe2(stop, O_CLOEXEC) != 0) {
    for (int fd : {output[0], output[1], input[0], input[1]}) ::close(fd);
    return nullptr;
  }
  pid_t pid;
  {
    Spawn spawn;
    spawn.Redirect(output[1], 1);
    spawn.Redirect(output[1], 2);
    spawn.Redirect(input[0], 0);
    spawn.OwnGroup();
    pid = spawn.Run(commandLine);
  }
  // The parent keeps only its own ends, so the output pipe breaks once the
  // child and its descendants have closed theirs.
  ::close(output[1]);
  ::close(input[0]);
  if (pid < 0) {
    for (int fd : {output[0], input[1], stop[0], stop[1]}) ::close(fd);
    return nullptr;
  }
  fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);
  return std::make_shared<PosixStreamedChild>(pid, output[0], input[1], stop[0], stop[1]);
}

}  // namespace detail

}  // namespace vantaro
