#pragma once
// The CLI's commands. Each returns the process exit code.

#include <string>
#include <vector>

namespace vantaro::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct InfoOptions {
  bool json = false;
  bool verify = false;  // also verify the signature and compute the file's sums
  std::string file;  // UTF-8
};
int runInfo(const InfoOptions& options);

// The device commands; adb: the tool to run instead of AdbPath() (UTF-8).
struct DevicesOptions {
  bool json = false;
  std::string adb;
};
int runDevices(const DevicesOptions& options);

// Several files install in order, each on every phone named with -s (or on
// every ready phone with --all), one after the other; a summary follows.
struct InstallOptions {
  std::vector<std::string> serials;
  bool all = false;
  bool sd = false;
  bool dryRun = false;  // print what would be sent, send nothing
  bool force = false;   // install even when the signature does not verify
  std::vector<std::string> files;
  std::string adb;
};
int runInstall(const InstallOptions& options);

// Checks the signature of each file (a v4 .idsig beside it too); exit code
// 0 only when every file verified.
struct VerifyOptions {
  std::vector<std::string> files;  // UTF-8
};
int runVerify(const VerifyOptions& options);

struct ScanOptions {
  std::vector<std::string> folders;  // UTF-8
  int jobs = 0;                      // 0: one per processor
};
int runScan(const ScanOptions& options);

struct RunOptions {
  std::string serial;
  std::string file;
  std::string adb;
};
int runRun(const RunOptions& options);

// pair ADDRESS CODE, connect ADDRESS, disconnect SERIAL (UTF-8). Exit code 0
// on success, 1 when adb or the phone refused, 2 when a typed text was
// refused before anything was sent.
struct WirelessOptions {
  enum Command { Pair, Connect, Disconnect } command = Connect;
  std::string target;
  std::string code;
  std::string adb;
};
int runWireless(const WirelessOptions& options);

}  // namespace vantaro::cli
