#pragma once
// The one message an install run's output earns.

#include <string>
#include <string_view>

#include "base/status.h"

namespace vantaro {

extern const char* const kInstallSuccessText;            // the main window's
extern const char* const kEssentialsInstallSuccessText;  // the essentials dialog's
extern const char* const kSupportAddress;                // ends the internal-error message

struct InstallOutcome {
  std::string message;
  StatusKind kind;
};

// output: the tool's text, trimmed. The first row whose text occurs in it
// (case-sensitive) decides; "Success" gives successText as Success, every
// other row and no row at all an Error text.
InstallOutcome ClassifyInstallOutput(std::string_view output, std::string_view successText);

}  // namespace vantaro
