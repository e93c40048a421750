#pragma once
// Running adb as a child process and capturing its console text. Commands
// and output are GBK byte strings; the runner never writes to the child's
// input and never reads its exit code. Only a child that outlives its
// time-out is ended.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantaro {

// The full path of our own adb, the only one ever run: "adb.exe" beside the
// program on Windows, else in UserToolFolder() (where the program puts the
// adb it fetched when its own folder is not writable); on Linux "adb" beside the program, else the first
// "adb" in an absolute folder of PATH (the system's). Empty when there is
// none: device commands then report the component as missing and start
// nothing. Never a bare name, so never a file of the current folder.
std::string AdbPath();
// Windows: AdbPath() for a program living in programFolder (ending with a
// separator): "adb.exe" there, else in UserToolFolder().
std::string AdbPathIn(const std::string& programFolder);

// The tool a user named (vantaro-cli --adb; GBK), as an absolute path:
// relative to the current folder when it holds a path separator; on Linux a
// bare name is looked up on PATH as AdbPath does. Empty when it names no
// file.
std::string NamedToolPath(const std::string& name);

// Windows: the current user's folder for the adb the program fetched,
// "%LOCALAPPDATA%\Vantaro\", ending with a separator (it may not exist
// yet); empty when the system names no such folder. Empty on Linux.
std::string UserToolFolder();

// The program's own folder, ending with a path separator; its name as the
// system gives it (wideToGbkPath / nativeToGbkPath).
std::string ProgramFolder();

enum class RunStatus { Started, PipeFailed, StartFailed, TimedOut };

struct CapturedOutput {
  RunStatus status = RunStatus::StartFailed;
  std::string output;  // the first bytes up to the limit, cut at a zero byte
};

// Capture limits of the callers.
constexpr size_t kListingLimit = 4096;
constexpr size_t kInstallLimit = 4095;

// How long each captured adb call may take. An install's time scales with
// the package: the floor, and a step for every started 2 MiB.
struct CommandTimeouts {
  unsigned listingMs = 15000;        // "devices"
  unsigned propertyMs = 10000;       // "getprop ..."
  unsigned answerMs = 10000;         // each call of Run now, and the wireless commands
  unsigned installFloorMs = 120000;
  unsigned installStepMs = 1000;     // per 2 MiB of the package
  unsigned installOverrideMs = 0;    // when set, every install's time-out

  unsigned Install(int64_t packageBytes) const;

  // The values above; the environment variables VANTARO_INSTALL_TIMEOUT_MS
  // and VANTARO_ANSWER_TIMEOUT_MS (milliseconds, testing aids) set
  // installOverrideMs and answerMs.
  static CommandTimeouts Standard();
};

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;

  // Starts the command line with a hidden window, standard output and error
  // joined into one pipe, and waits for the child to exit while draining
  // that pipe. Keeps the first limit bytes. Returns once the child has
  // exited and the pipe holds nothing more, even when a process the child
  // started still holds the pipe open. A child still running after
  // timeoutMs is ended (on POSIX with its process group) and the result is
  // TimedOut with what it wrote until then. The program element must be an
  // absolute path (ToolCommand writes it); anything else is a StartFailed
  // without starting anything.
  virtual CapturedOutput RunCaptured(const std::string& commandLine, size_t limit, unsigned timeoutMs);

  // Starts the command line hidden and returns at once; nothing is waited
  // for or looked at. The same rule for the program element.
  virtual void LaunchDetached(const std::string& commandLine);

  // The runner that starts real processes.
  static CommandRunner& System();
};

namespace detail {
// The program element of a command line when it is an absolute path of the
// platform, else empty text.
std::string AbsoluteProgram(const std::string& commandLine);
bool IsAbsolutePath(const std::string& path);  // per platform
}  // namespace detail

}  // namespace vantaro
