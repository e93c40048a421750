#pragma once
// Running adb as a child process and capturing its console text. Commands
// and output are GBK byte strings; the runner never writes to the child's
// input, never reads its exit code and never kills it.

#include <cstddef>
#include <string>

namespace vantaro {

// The tool beside the program ("adb.exe" on Windows, "adb" elsewhere) when
// that file exists, otherwise the bare word "adb" for the search path. Never
// quoted.
std::string AdbPath();

// The program's own folder, ending with a path separator.
std::string ProgramFolder();

enum class RunStatus { Started, PipeFailed, StartFailed };

struct CapturedOutput {
  RunStatus status = RunStatus::StartFailed;
  std::string output;  // the first bytes up to the limit, cut at a zero byte
};

// Capture limits of the callers.
constexpr size_t kListingLimit = 4096;
constexpr size_t kInstallLimit = 4095;

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;

  // Starts the command line with a hidden window, standard output and error
  // joined into one pipe, and waits for the child to exit while draining
  // that pipe. Keeps the first limit bytes. Returns once the child has
  // exited and the pipe holds nothing more, even when a process the child
  // started still holds the pipe open. Command lines of any length run in
  // full.
  virtual CapturedOutput RunCaptured(const std::string& commandLine, size_t limit);

  // Starts the command line hidden and returns at once; nothing is waited
  // for or looked at.
  virtual void LaunchDetached(const std::string& commandLine);

  // The runner that starts real processes.
  static CommandRunner& System();
};

}  // namespace vantaro
