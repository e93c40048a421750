#pragma once
// The facts of one analysed package as JSON with English keys, shared by
// `info --json` and `scan`.

#include <nlohmann/json.hpp>

#include "package/package_info.h"
#include "package/permissions.h"
#include "package/recording_display.h"

namespace vantaro::cli {

nlohmann::ordered_json packageJson(const PackageInfo& info, const RecordingDisplay& display,
                                   const PermissionCatalog& catalog);

}  // namespace vantaro::cli
