#pragma once
// Runs the real tool (fake-adb) and notes, before each install, what the
// temporary copy holds: the stand-in packages name their identifiers, so
// tests see which package went to the phone, and in which order.

#include <mutex>
#include <string>
#include <vector>

#include "device/command_line.h"
#include "device/runner.h"
#include "support.h"

namespace vantaro::test {

class PeekingRunner : public CommandRunner {
 public:
  CapturedOutput RunCaptured(const std::string& commandLine, size_t limit, unsigned timeoutMs) override {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.size() >= 2 && args[args.size() - 2] == "install") {
      std::lock_guard<std::mutex> lock(mutex_);
      copies_.push_back(ReadFile(args.back()));
    }
    return CommandRunner::System().RunCaptured(commandLine, limit, timeoutMs);
  }
  std::vector<std::string> copies() {
    std::lock_guard<std::mutex> lock(mutex_);
    return copies_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    copies_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> copies_;
};

inline std::string StandIn(const std::string& id) { return "stand-in " + id; }

}  // namespace vantaro::test
