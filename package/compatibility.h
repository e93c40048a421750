#pragma once
// What decides whether a package can run on a phone: its target level,
// processor architectures, readiness for 16 KB memory pages, required
// hardware, the debuggable / testOnly / split-required flags and the number
// of languages. The manifest part comes from the decoded manifest, the rest
// from the archive's native libraries (read through the one archive reader)
// and the resource table.

#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace vantaro {

class ApkArchive;
struct Bundle;

// The memory page size that 64-bit phones are moving to.
constexpr uint64_t kLargePageSize = 16384;
// The ELF headers of one library are read only this far into its data.
constexpr size_t kMaxElfHeaderBytes = 64u << 10;
// ABI folders beyond this count are not listed (Android knows seven).
constexpr size_t kMaxAbiFolders = 32;
// Required features beyond this count are not listed.
constexpr size_t kMaxFeatures = 256;
// Libraries beyond this count are not checked (nor counted) for pages.
constexpr size_t kMaxCheckedLibraries = 4096;

enum class PageReadiness {
  NoLibraries,  // no library for a 64-bit processor
  Ready,        // every one is aligned for 16 KB pages
  NotReady,     // at least one is not (firstUnready says which and why)
};

struct Compatibility {
  int32_t targetSdk = -1;                      // as declared; -1 when the manifest names none
  std::vector<std::string> abis;               // folders under lib/ holding libraries, in archive order (UTF-8)
  PageReadiness pages = PageReadiness::NoLibraries;
  std::string firstUnready;                    // "lib/x86_64/libfoo.so", UTF-8
  bool unreadyByOffset = false;                // stored at an offset that is not 16 KB-aligned (else its ELF)
  std::vector<std::string> features;           // required hardware features, in manifest order
  uint32_t glEsVersion = 0;                    // the highest required, 0x00030001 = 3.1; 0 when none
  bool debuggable = false;
  bool testOnly = false;
  bool splitRequired = false;                  // isSplitRequired, or requiredSplitTypes is set
  std::string requiredSplitTypes;
  int languages = -1;                          // distinct languages of the resource table; -1 when not read
  std::vector<uint16_t> languageCodes;         // the table's packed codes ('z' | 'h' << 8 for zh)

  // The level the package targets: the declared one, else its minimum (as
  // Android does), else 1.
  int32_t effectiveTarget(int32_t minSdk) const;
};

// The manifest's part: uses-sdk's targetSdkVersion, uses-feature (required
// unless required="false"), application's debuggable, testOnly and
// isSplitRequired, manifest's requiredSplitTypes.
void readManifestCompatibility(const pugi::xml_document& manifest, Compatibility& facts);

// The native libraries of one package: adds its lib/ABI/ folders to abis and
// checks the libraries of 64-bit ABIs for 16 KB pages, merging with what
// facts already holds (so a bundle's base and splits add up).
void readNativeLibraries(const ApkArchive& archive, Compatibility& facts);

// A bundle's: the base's libraries, then those of every split that is not a
// standalone APK, a density or a language split (opened nested from outer);
// the languages of its language splits join those of the base's table.
void readBundleNativeLibraries(const ApkArchive& outer, const ApkArchive& base, const Bundle& bundle,
                               Compatibility& facts);

// For an install: reads the manifest of apk (its minimum level into minSdk
// and its compatibility facts) and, unless it is a bundle's base (bundle set,
// with outer the bundle), its native libraries; with a bundle, the base's and
// the splits' libraries. False when the manifest cannot be read.
bool readInstallCompatibility(const ApkArchive& apk, const ApkArchive* outer, const Bundle* bundle, int32_t& minSdk,
                              Compatibility& facts);

// Whether a library of this ABI folder runs on 64-bit processors.
bool is64BitAbi(const std::string& abi);

}  // namespace vantaro
