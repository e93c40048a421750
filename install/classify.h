#pragma once
// The one message an install run's output earns.

#include <string>
#include <string_view>

#include "base/status.h"

namespace vantaro {

extern const char* const kInstallSuccessText;            // the main window's
extern const char* const kEssentialsInstallSuccessText;  // the essentials dialog's
extern const char* const kSupportAddress;                // ends the internal-error message
extern const char* const kUnknownInstallText;            // an output no row knows

struct InstallOutcome {
  std::string message;
  StatusKind kind;
};

// output: the tool's text, trimmed. The first failure row whose text occurs
// in it (case-sensitive) decides, as an Error text. Without one, a line that
// is exactly "Success" (trimmed), and no other failure line, gives
// successText as Success; anything else is the unknown-error text.
InstallOutcome ClassifyInstallOutput(std::string_view output, std::string_view successText);

// Whether adb's push of one file succeeded: a line reports the file pushed
// ("1 file pushed", or older adb's "(N bytes in T s)"), and no line starts
// as adb's complaints do ("adb: ...", "error: ...", "failed to ...").
bool PushSucceeded(std::string_view output);

}  // namespace vantaro
