// vantaro-cli verify: only the signature check of each file, as a script or
// a build step wants it (no report, no whole-file sums): one line per file
// and an exit code that says whether every file verified.

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "install/system.h"
#include "package/signature.h"

namespace vantaro::cli {

int runVerify(const VerifyOptions& options) {
  int exitCode = kExitOk;
  for (const std::string& argument : options.files) {
    std::string path = argumentPath(argument);
    if (!IsExistingFile(path)) {
      writeGbk(stderr, gbkFileName(path) + "：找不到这个文件\n");
      exitCode = kExitFailed;
      continue;
    }
    SignatureCheck check = checkPackageFile(path, false);
    // A package without a signature, or with one that cannot be checked,
    // does not count as verified.
    if (check.verify.status != VerifyResult::Status::Passed) exitCode = kExitFailed;
    std::string v4 = v4Line(check.verify);
    writeGbk(stdout, gbkFileName(path) + "：" + verifyLine(check.verify) + (v4.empty() ? "" : "；" + v4) + "\n");
  }
  return exitCode;
}

}  // namespace vantaro::cli
