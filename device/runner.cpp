#include "device/runner.h"

namespace vantaro {

CommandRunner& CommandRunner::System() {
  static CommandRunner runner;
  return runner;
}

}  // namespace vantaro
