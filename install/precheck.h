#pragma once
// The checks every install passes once the phone is known and before
// anything is written for it or sent to it: whether the package can work on
// that phone at all (its level, processor architectures, and Android 14's
// refusal of old target levels). CheckBeforeSending is the one place single
// packages and bundles both go through; a check that asks the user belongs
// beside the ones here.

#include <cstdint>
#include <string>
#include <vector>

#include "install/install_job.h"
#include "install/split_select.h"
#include "package/compatibility.h"

namespace vantaro {

// The lowest target level Android 14 (level 34) and later install.
constexpr int32_t kLowestTargetOnAndroid14 = 23;
constexpr int32_t kAndroid14Level = 34;

// The package's side of the checks.
struct InstallFacts {
  bool known = false;  // false when the package could not be read: nothing is checked
  int32_t minSdk = -1;
  Compatibility compat;
};

// Reads the facts of a single package (apk) or a bundle (apk its base, outer
// the bundle).
InstallFacts ReadInstallFacts(const ApkArchive& apk, const ApkArchive* outer = nullptr, const Bundle* bundle = nullptr);

// The refusal text naming both sides, or empty when the package may go to
// the phone. A side the phone did not tell (level 0, no ABIs) is not checked.
std::string CompatibilityRefusal(const InstallFacts& package, const DeviceSpec& phone);

// Shows the refusal and returns false, or returns true when the install may
// go on.
bool CheckBeforeSending(const InstallFacts& package, const DeviceSpec& phone, const InstallServices& services,
                        MessageLine& line);

}  // namespace vantaro
