#pragma once
// Test support for the device and install tests: fake-adb with a scenario
// per test, and the few platform services the tests need themselves.

#include <cstdio>
#include <ostream>
#include <ctime>
#include <string>
#include <vector>

#include "base/text.h"
#include "install/install_job.h"

namespace vantaro::test {

// Platform services (support_posix.cpp / support_win32.cpp). Paths are GBK.
void SetEnvironment(const std::string& name, const std::string& value);
bool MakeFolder(const std::string& path);
void RemoveTree(const std::string& path);
// The names in a folder (not "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& path);
bool ProcessAlive(long pid);
void KillProcess(long pid);
// Runs a command line (GBK, split as the runner splits it) with standard
// output and error into the file at outputPath; waits for it and returns its
// exit code, -1 when it did not start.
int RunForExitCode(const std::string& commandLine, const std::string& outputPath);
// A path from the build system as the platform writes it.
std::string NativePath(const std::string& path);
char PathSeparator();
// "adb.exe" on Windows, "adb" elsewhere.
std::string AdbFileName();
void MakeExecutable(const std::string& path);
// Sets or clears the file's read-only state (Windows attribute, POSIX mode).
void MakeReadOnly(const std::string& path, bool readOnly);
// The process's current folder; set it, returning the one it had.
std::string ChangeFolder(const std::string& path);
// An environment variable as the platform holds it (GBK path form), and
// whether it was set.
bool GetEnvironment(const std::string& name, std::string& value);
void UnsetEnvironment(const std::string& name);

// Environment variables set for one test and put back afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  void Set(const std::string& name, const std::string& value);

 private:
  struct Saved {
    std::string name, value;
    bool wasSet;
  };
  std::vector<Saved> saved_;
};

// The variables that name the system's temporary folder: TMP and TEMP on
// Windows, TMPDIR elsewhere.
std::vector<std::string> TemporaryFolderVariables();

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::string& leaf = "vantaro-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder, ending with a path separator.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A file opened by its GBK path (escapes included) with fopen's mode.
FILE* OpenFile(const std::string& path, const char* mode);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// fake-adb with its own scenario and log. The environment points every
// fake-adb the test starts (also through vantaro-cli) at them. Processes it
// leaves running (holders, endless writers) are ended at destruction.
class FakeAdb {
 public:
  explicit FakeAdb(const std::string& scenario);
  ~FakeAdb();

  // The tool's path, as the first element of command lines.
  std::string path() const;
  // The command lines it received, in order (UTF-8, arguments only).
  std::vector<std::string> Log() const;
  // The whole command lines it received, program first, as the process got
  // them (UTF-8; see tools/fake-adb).
  std::vector<std::string> RawLog() const;
  // Waits up to ms for the log to hold count lines.
  std::vector<std::string> WaitForLog(size_t count, unsigned ms) const;
  // The files it was given to send to the phone, in order: "VERB SIZE CRC
  // NAME" (see tools/fake-adb).
  std::vector<std::string> Sent() const;
  // Process ids of holders and endless writers it started.
  std::vector<long> Lingering() const;
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  std::string log_;
};

// text in double quotes, as a command line writes a tool's path.
std::string InQuotes(const std::string& text);

// 2011-05-03 09:05:07, the clock the install tests run at.
std::tm FixedLocalTime();

// A listing of adb "devices" with the given ready serials.
std::string DeviceListingRule(const std::vector<std::string>& serials);

void SleepMs(unsigned ms);

// A message line that keeps every text shown on it, in order.
struct Message {
  std::string text;
  StatusKind kind;
  bool operator==(const Message& o) const { return text == o.text && kind == o.kind; }
};
inline void PrintTo(const Message& m, std::ostream* out) {
  *out << "{\"" << gbkToUtf8(m.text) << "\", kind " << static_cast<int>(m.kind) << "}";
}

class RecordingLine : public MessageLine {
 public:
  void ShowMessage(const std::string& text, StatusKind kind) override { messages.push_back({text, kind}); }
  std::vector<Message> messages;
};

}  // namespace vantaro::test
