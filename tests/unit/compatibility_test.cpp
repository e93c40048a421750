// Compatibility facts: the ELF header reader on hand-made headers (hostile
// ones too), the manifest's part on manifest texts, and the whole section on
// the fixture packages, whose libraries clang and lld built (readelf -l shows
// their PT_LOAD alignments: 0x4000, and 0x1000 for the 4 KB build).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chunk_builder.h"
#include "package/elf.h"
#include "package/loader.h"
#include "package/manifest.h"
#include "package/recording_display.h"
#include "package/report.h"

namespace vantaro {
namespace {

using test::Bytes;

void putBig(Bytes& b, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putLittle(Bytes& b, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 64-bit little-endian ELF header with program headers right after it:
// one entry per (type, alignment).
Bytes elf64(const std::vector<std::pair<uint32_t, uint64_t>>& segments, uint16_t entrySize = 56) {
  Bytes b = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  putLittle(b, 3, 2);     // e_type: shared object
  putLittle(b, 183, 2);   // e_machine: AArch64
  putLittle(b, 1, 4);
  putLittle(b, 0, 8);     // e_entry
  putLittle(b, 64, 8);    // e_phoff
  putLittle(b, 0, 8);     // e_shoff
  putLittle(b, 0, 4);
  putLittle(b, 64, 2);    // e_ehsize
  putLittle(b, entrySize, 2);
  putLittle(b, segments.size(), 2);
  putLittle(b, 64, 2);
  putLittle(b, 0, 2);
  putLittle(b, 0, 2);
  for (const auto& [type, align] : segments) {
    size_t start = b.size();
    putLittle(b, type, 4);
    b.resize(start + 48, 0);
    putLittle(b, align, 8);
    b.resize(start + entrySize, 0);
  }
  return b;
}

TEST(Elf, LoadAlignmentsReadWithinTheBytesGiven) {
  // PT_PHDR, two PT_LOAD (16 KB and 64 KB), PT_DYNAMIC with a small alignment.
  Bytes ok = elf64({{6, 8}, {1, 0x4000}, {1, 0x10000}, {2, 8}});
  EXPECT_EQ(elfHeadersEnd(ok.data(), ok.size()), 64u + 4 * 56);
  ElfHeaders h = readElfHeaders(ok.data(), ok.size());
  EXPECT_EQ(h.status, ElfHeaders::Status::Ok);
  EXPECT_TRUE(h.is64);
  EXPECT_EQ(h.machine, 183);
  EXPECT_EQ(h.loadSegments, 2u);
  EXPECT_EQ(h.smallestLoadAlign, 0x4000u);
  // Larger entries than the standard are stepped over by their own size.
  Bytes wide = elf64({{1, 0x1000}, {1, 0x4000}}, 64);
  EXPECT_EQ(readElfHeaders(wide.data(), wide.size()).smallestLoadAlign, 0x1000u);

  // A 32-bit big-endian header: class, byte order and the 32-bit layout.
  Bytes big = {0x7F, 'E', 'L', 'F', 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  putBig(big, 3, 2), putBig(big, 8, 2), putBig(big, 1, 4), putBig(big, 0, 4), putBig(big, 52, 4), putBig(big, 0, 4);
  putBig(big, 0, 4), putBig(big, 52, 2), putBig(big, 32, 2), putBig(big, 1, 2), putBig(big, 40, 2), putBig(big, 0, 2);
  putBig(big, 0, 2);
  putBig(big, 1, 4), putBig(big, 0, 4 * 6), putBig(big, 0x10000, 4);
  h = readElfHeaders(big.data(), big.size());
  EXPECT_EQ(h.status, ElfHeaders::Status::Ok);
  EXPECT_FALSE(h.is64);
  EXPECT_EQ(h.machine, 8);
  EXPECT_EQ(h.smallestLoadAlign, 0x10000u);
  // Without program headers the header itself must still be whole.
  Bytes bare(big.begin(), big.begin() + 52);
  bare[44] = bare[45] = 0;                              // no entries
  std::fill(bare.begin() + 28, bare.begin() + 32, 0);  // and so no table offset
  EXPECT_EQ(readElfHeaders(bare.data(), bare.size()).loadSegments, 0u);
  EXPECT_EQ(readElfHeaders(bare.data(), bare.size()).status, ElfHeaders::Status::Ok);
  EXPECT_EQ(readElfHeaders(bare.data(), 46).status, ElfHeaders::Status::Truncated);

  // Cut anywhere inside the table: never Ok, never a read past the bytes.
  for (size_t n = 0; n < ok.size(); ++n) {
    Bytes cut(ok.begin(), ok.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_NE(readElfHeaders(cut.data(), cut.size()).status, ElfHeaders::Status::Ok) << n;
  }
  EXPECT_EQ(readElfHeaders(ok.data(), 100).status, ElfHeaders::Status::Truncated);
  EXPECT_EQ(readElfHeaders(ok.data() + 1, ok.size() - 1).status, ElfHeaders::Status::NotElf);
  EXPECT_EQ(readElfHeaders(nullptr, 0).status, ElfHeaders::Status::NotElf);

  auto withField = [&ok](size_t at, uint64_t value, int bytes) {
    Bytes b = ok;
    for (int i = 0; i < bytes; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  for (const Bytes& hostile : {withField(56, 0xFFFF, 2),                 // PN_XNUM
                               withField(56, kMaxElfProgramHeaders + 1, 2),
                               withField(54, 20, 2),                     // entries smaller than the standard
                               withField(32, 0xFFFFFFFFFFFFFFC0u, 8),    // a table offset that would wrap
                               withField(32, 8, 8),                      // a table inside the header
                               withField(4, 3, 1)}) {                    // no such class
    EXPECT_EQ(elfHeadersEnd(hostile.data(), hostile.size()), 0u);
    EXPECT_EQ(readElfHeaders(hostile.data(), hostile.size()).status, ElfHeaders::Status::Malformed);
  }
  // A table placed far away is only as far as it says, and reported cut short.
  Bytes far = withField(32, 1u << 20, 8);
  EXPECT_EQ(elfHeadersEnd(far.data(), far.size()), (1u << 20) + 4 * 56);
  EXPECT_EQ(readElfHeaders(far.data(), far.size()).status, ElfHeaders::Status::Truncated);
}

TEST(Compatibility, ManifestFacts) {
  PackageInfo info;
  RecordingDisplay display;
  ASSERT_TRUE(analyzeManifest(
      "<manifest package=\"p\" requiredSplitTypes=\"language,density\">\n"
      "<uses-sdk minSdkVersion=\"24\">\n</uses-sdk>"
      "<uses-feature name=\"android.hardware.camera\">\n</uses-feature>"
      "<uses-feature name=\"android.hardware.nfc\" required=\"false\">\n</uses-feature>"
      "<uses-feature name=\"android.hardware.camera\" required=\"true\">\n</uses-feature>"
      "<uses-feature glEsVersion=\"0x00030001\">\n</uses-feature>"
      "<uses-feature glEsVersion=\"0x00020000\">\n</uses-feature>"
      "<uses-feature glEsVersion=\"0x00030002\" required=\"false\">\n</uses-feature>"
      "<application debuggable=\"@0x7f020001\" testOnly=\"false\" isSplitRequired=\"true\">\n</application>"
      "</manifest>",
      info, display));
  const Compatibility& c = info.compat;
  EXPECT_EQ(c.targetSdk, -1);
  EXPECT_EQ(c.effectiveTarget(info.minSdk), 24);  // no target: the minimum, as Android takes it
  EXPECT_EQ(c.effectiveTarget(-1), 1);
  EXPECT_EQ(c.features, std::vector<std::string>{"android.hardware.camera"});
  EXPECT_EQ(c.glEsVersion, 0x00030001u);
  EXPECT_FALSE(c.debuggable);  // a reference to a resource is not known to be true
  EXPECT_FALSE(c.testOnly);
  EXPECT_TRUE(c.splitRequired);
  EXPECT_EQ(c.requiredSplitTypes, "language,density");

  buildCompatibilitySection(info, display);
  std::vector<std::string> lines;
  for (ReportItem line : display.children(display.children(kReportRoot).back())) lines.push_back(display.item(line).text);
  EXPECT_EQ(lines, (std::vector<std::string>{"目标版本：Android 7.0（API 24），未声明，与最低版本相同", "处理器架构：无原生库",
                                             "硬件要求：android.hardware.camera、OpenGL ES 3.1",
                                             "必须与拆分包一起安装（language,density）"}));
}

std::vector<std::string> compatibilityLines(const std::string& fixture, PackageInfo& info) {
  RecordingDisplay display;
  PermissionCatalog catalog;
  PackageLoader(info, display, catalog).load(std::string(VANTARO_FIXTURE_DIR) + fixture, false);
  std::vector<std::string> lines;
  for (ReportItem root : display.children(kReportRoot)) {
    if (display.item(root).text != kCompatibilitySection) continue;
    EXPECT_EQ(display.item(root).image, kImageCompatibility);
    EXPECT_TRUE(display.item(root).expanded);
    for (ReportItem line : display.children(root)) lines.push_back(display.item(line).text);
  }
  return lines;
}

TEST(Compatibility, FixturePackagesShowTheirSection) {
  PackageInfo info;
  EXPECT_EQ(compatibilityLines("/apk/compat.apk", info),
            (std::vector<std::string>{"目标版本：Android 5.1（API 22）", "处理器架构：arm64-v8a、armeabi-v7a、x86_64",
                                      "16 KB内存页：已适配", "硬件要求：android.hardware.camera、OpenGL ES 3.0",
                                      "可调试版本（debuggable）", "仅供测试（testOnly），安装时会加上 -t 选项", "语言：2 种"}));
  EXPECT_EQ(info.compat.pages, PageReadiness::Ready);

  // One 4 KB library among ready ones (its deflated data read only as far as
  // its headers); a ready library stored 4 KB past a 16 KB boundary.
  std::vector<std::string> lines = compatibilityLines("/apk/pages-4k.apk", info);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "16 KB内存页：未适配，lib/x86_64/libcompat.so 的加载段未按16 KB对齐");
  lines = compatibilityLines("/apk/pages-offset.apk", info);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "16 KB内存页：未适配，lib/x86_64/libcompat.so 在安装包中的存放位置未按16 KB对齐");

  // A bundle: architectures from its splits (whose stand-in libraries are no
  // real ELF files, so not ready), languages from its language splits.
  compatibilityLines("/bundles/sample.apks", info);
  EXPECT_EQ(info.compat.abis, (std::vector<std::string>{"arm64-v8a", "armeabi-v7a", "x86_64"}));
  EXPECT_EQ(info.compat.pages, PageReadiness::NotReady);
  EXPECT_EQ(info.compat.languages, 2);
}

}  // namespace
}  // namespace vantaro
