#pragma once
// Reads the XML text of a decoded manifest and fills PackageInfo: package id,
// version, minimum SDK, SD-card support, permissions, advertising and
// analytics keys, launcher activity, label and icon (literal or referenced).

#include <string>

#include "package/display.h"
#include "package/package_info.h"

namespace vantaro {

// Shows the version (1026), package id (1027), minimum release (1028) and a
// literal label (1032) on display as it learns them. False when the analysis
// failed as a whole.
bool analyzeManifest(const std::string& xml, PackageInfo& info, PackageDisplay& display);

// A feature split's manifest: adds the permissions it requests (those not
// yet listed) and the advertising and analytics keys it carries.
bool analyzeFeatureManifest(const std::string& xml, PackageInfo& info);

}  // namespace vantaro
