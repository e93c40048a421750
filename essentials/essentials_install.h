#pragma once
// The essentials dialog's install run: every ticked row that is not yet on
// the phone, then the base framework whenever it is missing, each through
// the install job with the essentials differences, from the package files in
// the program's folder.

#include <string>
#include <vector>

#include "install/install_job.h"

namespace vantaro {

extern const char* const kNothingChosenText;     // something is missing and nothing is ticked
extern const char* const kComponentMissingText;  // a package file was not found

// One row of the list as the run sees it, taken when "立即安装" is pressed.
struct EssentialsChoice {
  std::string packageId;  // the row's package-identifier column
  bool installed = false;
  bool ticked = true;
};

enum class EssentialsRunEnd {
  NothingChosen,     // kNothingChosenText was shown, nothing was installed
  Done,              // every chosen package was tried (each showed its outcome)
  ComponentMissing,  // as Done, but a package file was absent
};

// The package file of an identifier: programFolder (ending with a path
// separator), the identifier and ".apk"; empty when the path would not fit in
// 260 characters.
std::string EssentialsPackagePath(const std::string& programFolder, const std::string& packageId);

// Installs rows in order, then row 0 when it is missing and was not ticked.
// The phone is resolved once, before the first package file that exists,
// and every package goes to it; when none is chosen the run says so once
// and installs nothing. Absent package files are skipped and reported only
// by the result.
EssentialsRunEnd InstallEssentials(const std::vector<EssentialsChoice>& rows, const std::string& programFolder,
                                   const InstallServices& services, MessageLine& line);

}  // namespace vantaro
