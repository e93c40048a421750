#include "device/runner.h"

#include <algorithm>
#include <cstdlib>

#include "base/numbers.h"
#include "device/command_line.h"

namespace vantaro {

namespace {
constexpr int64_t kInstallStepBytes = int64_t{2} << 20;
constexpr uint64_t kLongestMs = 24ull * 3600 * 1000;  // no install runs a day
}  // namespace

unsigned CommandTimeouts::Install(int64_t packageBytes) const {
  if (installOverrideMs > 0) return installOverrideMs;
  uint64_t steps = packageBytes > 0 ? static_cast<uint64_t>((packageBytes + kInstallStepBytes - 1) / kInstallStepBytes) : 0;
  uint64_t ms = installFloorMs + steps * installStepMs;
  return static_cast<unsigned>(std::min(ms, kLongestMs));
}

CommandTimeouts CommandTimeouts::Standard() {
  CommandTimeouts timeouts;
  if (const char* value = std::getenv("VANTARO_INSTALL_TIMEOUT_MS")) {
    int32_t ms = ParseLeadingInt(value);
    if (ms > 0) timeouts.installOverrideMs = static_cast<unsigned>(ms);
  }
  if (const char* value = std::getenv("VANTARO_ANSWER_TIMEOUT_MS")) {
    int32_t ms = ParseLeadingInt(value);
    if (ms > 0) timeouts.answerMs = static_cast<unsigned>(ms);
  }
  return timeouts;
}

namespace detail {

std::string AbsoluteProgram(const std::string& commandLine) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  return !args.empty() && IsAbsolutePath(args.front()) ? args.front() : std::string();
}

}  // namespace detail

CommandRunner& CommandRunner::System() {
  static CommandRunner runner;
  return runner;
}

}  // namespace vantaro
