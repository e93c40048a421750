#pragma once
// What package analysis shows, and where. The main window implements this
// interface with its controls; the CLI and the tests record what they get.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

namespace vantaro {

// Control identifiers of the main window's summary column and message line.
enum ControlId : int {
  kMessageLine = 1000,
  kReportTree = 1001,
  kFileSizeField = 1025,
  kVersionField = 1026,
  kPackageNameField = 1027,
  kMinReleaseField = 1028,
  kSdCardField = 1031,
  kLabelField = 1032,
  kIconView = 1034,
};

// Images of the report tree's strip.
enum ReportImage : int { kImageNone = -1, kImageWarning = 0, kImageInformation = 1, kImageTick = 2, kImageBundle = 3,
                         kImageCompatibility = 4, kImageSignature = 5 };

using ReportItem = intptr_t;
constexpr ReportItem kReportRoot = 0;

class PackageDisplay {
 public:
  virtual ~PackageDisplay() = default;
  // Text of a summary control, by its identifier (GBK).
  virtual void setText(int controlId, const std::string& text) = 0;
  // The message line, in the colour of kind.
  virtual void setMessage(const std::string& text, StatusKind kind) = 0;
  // The package's icon bytes; no bytes show the default picture.
  virtual void setIcon(const uint8_t* bytes, size_t length) = 0;
  // Report tree: delete every item; insert after the last child of parent
  // (kReportRoot for a section); expand an item.
  virtual void clearReport() = 0;
  virtual ReportItem insertReportItem(ReportItem parent, const std::string& text, int image) = 0;
  virtual void expandReportItem(ReportItem item) = 0;
};

}  // namespace vantaro
