#pragma once
// The CLI's commands. Each returns the process exit code.

#include <string>

namespace vantaro::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct InfoOptions {
  bool json = false;
  std::string file;  // UTF-8
};
int runInfo(const InfoOptions& options);

}  // namespace vantaro::cli
