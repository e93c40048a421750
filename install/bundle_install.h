#pragma once
// Installing a split bundle: the phone is asked what it is (one property
// listing), the splits it needs are chosen, only those are written into a
// fresh folder of our own under plain names (split0.apk, split1.apk, ...)
// and sent in one "install-multiple"; after a successful install each
// expansion file is pushed to the phone's obb folder. The folder and
// everything in it goes, whatever the outcome.

#include <cstddef>
#include <string>

#include "install/install_job.h"
#include "install/precheck.h"
#include "install/split_select.h"
#include "package/apk_archive.h"
#include "package/bundle.h"

namespace vantaro {

extern const char* const kPhoneUnreadableText;  // the property listing held nothing usable
extern const char* const kBundleDamagedText;    // a chosen member does not read back whole
extern const char* const kTemporaryWriteText;   // a file in the temporary folder could not be written
extern const char* const kTooManyFilesText;     // the command line would be too long for the system

// The most a property listing may bring; real listings are well below it.
constexpr size_t kPropertyListingLimit = 1u << 20;

// What the phone is, for the split choice.
struct PhoneQuery {
  bool ok = false;
  DeviceSpec traits;
  std::string failure;  // the Error text when not ok
};

// "-s SERIAL shell getprop": not ok only when adb is missing or the phone
// does not answer; a listing without usable properties gives empty traits
// (the sides the phone did not tell are then not checked).
PhoneQuery QueryPhoneProperties(const DeviceBridge& bridge, const std::string& serial);

// The bundle's query: the property listing must tell the phone's level or
// processors, and "-s SERIAL shell wm density" follows only when the listing
// has no screen density and the choice needs one: the bundle has density
// splits and the phone installs splits (Android 5.0 or later).
PhoneQuery QueryPhone(const DeviceBridge& bridge, const std::string& serial, const Bundle& bundle);

// What the checks before sending read of a chosen set of splits: a whole APK
// alone, else the base with the other splits. Not known when the first
// chosen split cannot be opened.
InstallFacts ReadSelectionFacts(const ApkArchive& outer, const Bundle& bundle, const SplitSelection& selection);

enum class ExtractResult { Ok, Corrupt, WriteFailed };

// Writes a member of archive to a new file at path (created exclusively): a
// stored member is copied from its stretch of the archive, any other one is
// inflated piece by piece, so that memory does not grow with the member.
// What is written must have the directory's size and checksum (Corrupt
// otherwise). A file that is not Ok is left for the caller to remove.
ExtractResult ExtractMember(const ApkArchive& archive, const ApkArchive::Member& member, const std::string& path);

// Where an expansion file goes on the phone: "/sdcard/" and its install
// path. Empty when that path holds anything but ASCII letters, digits, '.',
// '_', '-' and '/', or an empty, "." or ".." part.
std::string ExpansionPhonePath(const BundleExpansion& expansion);

// "正在复制数据文件 1/2…"
std::string ExpansionProgressText(size_t number, size_t count);
// The application is on the phone, its data file is not.
std::string ExpansionFailedText(const std::string& name);

// The job for a bundle, once the device is chosen (InstallStep calls it for
// a package file that is a bundle). True when it ended with the success text.
bool InstallBundle(const InstallRequest& request, const InstallServices& services, MessageLine& line,
                   const ApkArchive& outer, const Bundle& bundle);

}  // namespace vantaro
