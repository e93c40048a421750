#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "package/apk_archive.h"
#include "package/loader.h"
#include "package/recording_display.h"
#include "zip_builder.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::ZipMember;
using Result = ApkArchive::ReadResult;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string fixture(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/apk/" + name; }

Bytes member(const std::string& package, const std::string& name) {
  ApkArchive archive;
  std::vector<uint8_t> out;
  EXPECT_TRUE(archive.open(fixture(package)));
  EXPECT_EQ(archive.read(name, 64u << 20, out), Result::Ok);
  return out;
}

TEST(ApkArchive, NamesAreExactAmongManyAndNeverTwice) {
  std::vector<ZipMember> members;
  for (int i = 0; i < 3000; ++i) members.push_back({"assets/f" + std::to_string(i), text("x"), false});
  members.push_back({"AndroidManifest.XML", text("manifest"), true});
  members.push_back({"androidmanifest.xml", text("other"), true});  // another member, not the same one
  members.push_back({std::string(255, 'n'), text("long"), false});
  members.push_back({std::string(256, 'm'), text("too long"), false});
  test::TempFile file("vantaro-archive-many.apk", test::buildZip(members));
  ApkArchive archive;
  ASSERT_TRUE(archive.open(file.path()));
  EXPECT_EQ(archive.memberCount(), members.size());
  std::vector<uint8_t> out;
  EXPECT_EQ(archive.read("AndroidManifest.XML", 100, out), Result::Ok);
  EXPECT_EQ(std::string(out.begin(), out.end()), "manifest");
  EXPECT_EQ(archive.read("androidmanifest.xml", 100, out), Result::Ok);
  EXPECT_EQ(std::string(out.begin(), out.end()), "other");
  EXPECT_EQ(archive.read("ANDROIDMANIFEST.XML", 100, out), Result::Missing);
  EXPECT_EQ(archive.read("assets/f2999", 100, out), Result::Ok);
  EXPECT_TRUE(archive.contains("assets/f17"));
  EXPECT_FALSE(archive.contains("ASSETS/F17"));
  EXPECT_FALSE(archive.contains("assets/f3000"));
  EXPECT_TRUE(archive.contains(std::string(255, 'n')));
  EXPECT_FALSE(archive.contains(std::string(256, 'm')));

  // Members are decoded when first asked for: threads asking at once, each
  // in its own order, all see every member whole and as the archive has it.
  {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (size_t t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        for (size_t k = 0; k < members.size(); ++k) {
          size_t i = (k * (2 * t + 1) + t * 101) % members.size();
          const ApkArchive::Member& m = archive.member(i);
          bool findable = members[i].name.size() < 256;
          if (archive.name(m) != members[i].name || m.size != members[i].data.size() ||
              archive.find(members[i].name) != (findable ? &m : nullptr))
            ++wrong;
        }
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
  }

  // The same exact name twice, a name with a NUL, a name that is no UTF-8:
  // the phone refuses each archive, and so do we.
  for (const std::string& bad : {std::string("assets/f17"), std::string("a\0b", 3), std::string("\xFF.png")}) {
    auto more = members;
    more.push_back({bad, text("twice"), true});
    test::TempFile twice("vantaro-archive-twice.apk", test::buildZip(more));
    EXPECT_FALSE(archive.open(twice.path()));
  }

  // Names of every length up to 40 (the index reads them in words of
  // several sizes): each one found, and one byte changed anywhere is another
  // name; a NUL at the start, middle or end of any of them refuses the archive.
  std::vector<ZipMember> lengths;
  for (size_t n = 1; n <= 40; ++n) {
    std::string name;
    for (size_t i = 0; i < n; ++i) name += static_cast<char>('a' + (i * 7 + n) % 26);
    lengths.push_back({name, text(std::to_string(n)), false});
  }
  test::TempFile sized("vantaro-archive-lengths.apk", test::buildZip(lengths));
  ASSERT_TRUE(archive.open(sized.path()));
  for (const ZipMember& m : lengths) {
    EXPECT_EQ(archive.read(m.name, 100, out), Result::Ok) << m.name;
    EXPECT_EQ(out, m.data);
    for (size_t at : {size_t{0}, m.name.size() / 2, m.name.size() - 1}) {
      std::string other = m.name;
      other[at] = '_';
      EXPECT_FALSE(archive.contains(other)) << other;
      other[at] = '\0';
      auto more = lengths;
      more.push_back({other, text("nul"), false});
      test::TempFile nul("vantaro-archive-nul.apk", test::buildZip(more));
      ApkArchive refused;
      EXPECT_FALSE(refused.open(nul.path())) << m.name.size() << " " << at;
    }
  }
}

TEST(ApkArchive, LargeDirectoryReadInPlaceSurvivesTheFileShrinking) {
  // A directory of about 700 KB: large enough to be mapped rather than read.
  std::vector<ZipMember> members;
  for (int i = 0; i < 7000; ++i) {
    members.push_back({"assets/levels/world-" + std::to_string(i % 7) + "/stage-" + std::to_string(i) + ".json",
                       text(std::to_string(i)), false});
  }
  members.push_back({"res/\xE5\x9B\xBE.png", text("icon"), false});
  test::TempFile file("vantaro-archive-large.apk", test::buildZip(members));
  {
    ApkArchive archive;
    ASSERT_TRUE(archive.open(file.path()));
    ASSERT_EQ(archive.memberCount(), members.size());
    for (int i : {0, 1, 3499, 6999}) {
      const ApkArchive::Member* m = archive.find(members[i].name);
      ASSERT_NE(m, nullptr) << members[i].name;
      std::vector<uint8_t> out;
      EXPECT_EQ(archive.read(*m, 100, out), Result::Ok);
      EXPECT_EQ(std::string(out.begin(), out.end()), std::to_string(i));
    }
    EXPECT_TRUE(archive.contains("res/\xE5\x9B\xBE.png"));
    EXPECT_TRUE(archive.contains("assets/levels/world-0/stage-7.json"));
    EXPECT_FALSE(archive.contains("assets/levels/world-1/stage-7.json"));
    EXPECT_FALSE(archive.contains("assets/levels/world-6/stage-7000.json"));
  }
  // The same name twice, far apart in the directory: refused.
  {
    auto twice = members;
    twice.push_back(members[10]);
    test::TempFile again("vantaro-archive-large-twice.apk", test::buildZip(twice));
    ApkArchive archive;
    EXPECT_FALSE(archive.open(again.path()));
  }
  // Another program shortens the file while the archive is open: lookups
  // and reads fail plainly instead of ending the program.
  ApkArchive archive;
  ASSERT_TRUE(archive.open(file.path()));
  std::filesystem::resize_file(file.path(), 100);
  std::vector<uint8_t> out;
  EXPECT_NE(archive.read(members[6999].name, 100, out), Result::Ok);
  const ApkArchive::Member* m = archive.find(members[5000].name);
#ifndef _WIN32
  EXPECT_EQ(m, nullptr);  // the directory's pages now read as zeros
#endif
  if (m) {
    EXPECT_NE(archive.read(*m, 100, out), Result::Ok);
  }
}

TEST(ApkArchive, ReadAheadGivesWhatAReadGivesAndNothingOfARefusedArchive) {
  // Enough members for the manifest and the resource table to be read on a
  // second thread while the directory is indexed; the table is stored and
  // large, as on a real package, so it is seen in place.
  Bytes manifest = text(std::string(3000, 'm')), table(400000);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 7 + i / 251);
  std::vector<ZipMember> members{{"AndroidManifest.xml", manifest, true}};
  for (int i = 0; i < 17000; ++i)
    members.push_back({"assets/many/item" + std::to_string(i) + ".txt", text("x"), false});
  members.push_back({"resources.arsc", table, false});
  auto readBoth = [](const std::string& path, ApkArchive::ReadAhead ahead, Result& manifestResult, Bytes& manifestOut,
                     Result& tableResult, Bytes& tableOut) {
    ApkArchive archive;
    if (!archive.open(path, ahead)) return false;
    manifestResult = archive.read("AndroidManifest.xml", 1 << 20, manifestOut);
    ApkArchive::Contents contents;
    tableResult = archive.read("resources.arsc", 1 << 20, contents);
    tableOut.assign(contents.data(), contents.data() + contents.size());
    // A second read reads again and gives the same.
    Bytes again;
    return archive.read("resources.arsc", 1 << 20, again) == tableResult &&
           (tableResult != Result::Ok || again == tableOut);
  };
  using Ahead = ApkArchive::ReadAhead;
  {
    test::TempFile file("vantaro-archive-ahead.apk", test::buildZip(members));
    Result m = Result::Missing, t = Result::Missing;
    Bytes manifestOut, tableOut;
    ASSERT_TRUE(readBoth(file.path(), Ahead::Analysis, m, manifestOut, t, tableOut));
    EXPECT_EQ(m, Result::Ok);
    EXPECT_EQ(manifestOut, manifest);
    EXPECT_EQ(t, Result::Ok);
    EXPECT_EQ(tableOut, table);
    // Closed at once, many times over: the second thread is stopped, not waited for long.
    for (int i = 0; i < 20; ++i) {
      ApkArchive archive;
      EXPECT_TRUE(archive.open(file.path(), Ahead::Analysis));
    }
  }
  // A table whose checksum fails is Corrupt either way.
  {
    auto damaged = members;
    damaged.back().recordedCrc = 0x12345678;
    test::TempFile file("vantaro-archive-ahead-crc.apk", test::buildZip(damaged));
    for (Ahead ahead : {Ahead::None, Ahead::Analysis}) {
      Result m = Result::Missing, t = Result::Missing;
      Bytes manifestOut, tableOut;
      ASSERT_TRUE(readBoth(file.path(), ahead, m, manifestOut, t, tableOut));
      EXPECT_EQ(m, Result::Ok);
      EXPECT_EQ(t, Result::Corrupt);
      EXPECT_TRUE(tableOut.empty());
    }
  }
  // A decoy manifest after the real one: the archive is refused, whichever
  // of the two the second thread read.
  {
    auto decoy = members;
    decoy.push_back({"AndroidManifest.xml", text("decoy"), true});
    test::TempFile file("vantaro-archive-ahead-decoy.apk", test::buildZip(decoy));
    Result m = Result::Missing, t = Result::Missing;
    Bytes manifestOut, tableOut;
    EXPECT_FALSE(readBoth(file.path(), Ahead::Analysis, m, manifestOut, t, tableOut));
  }
  // Shortened while the second thread may still be mapping the directory or
  // reading the table: no crash, and the table is either what it was or not
  // read at all.
  {
    test::TempFile file("vantaro-archive-ahead-short.apk", test::buildZip(members));
    ApkArchive archive;
    ASSERT_TRUE(archive.open(file.path(), Ahead::Analysis));
    std::filesystem::resize_file(file.path(), 100);
    ApkArchive::Contents contents;
    if (archive.read("resources.arsc", 1 << 20, contents) == Result::Ok) {
      EXPECT_EQ(Bytes(contents.data(), contents.data() + contents.size()), table);
    }
    EXPECT_NE(archive.read("resources.arsc", 1 << 20, contents), Result::Ok);  // read again: gone
  }
}

TEST(ApkArchive, OneDirectoryOrNone) {
  // Two directories in one file: the end record names one, a zip64 end record
  // the other, each holding another manifest.
  Bytes real = text("real manifest"), decoy = text("decoy manifest");
  test::ZipParts first = test::buildZipParts({{"AndroidManifest.xml", real, true}});
  test::ZipParts second = test::buildZipParts({{"AndroidManifest.xml", decoy, true}}, first.entries.size());
  Bytes zip = first.entries;
  test::append(zip, second.entries);
  uint32_t firstAt = static_cast<uint32_t>(zip.size());
  test::append(zip, first.directory);
  uint32_t secondAt = static_cast<uint32_t>(zip.size());
  test::append(zip, second.directory);
  uint32_t size1 = static_cast<uint32_t>(first.directory.size()), size2 = static_cast<uint32_t>(second.directory.size());

  auto opens = [](const Bytes& bytes, std::string* manifest = nullptr) {
    test::TempFile file("vantaro-archive-ends.apk", bytes);
    ApkArchive archive;
    if (!archive.open(file.path())) return false;
    std::vector<uint8_t> out;
    if (manifest && archive.read("AndroidManifest.xml", 100, out) == Result::Ok) manifest->assign(out.begin(), out.end());
    return true;
  };
  auto withEnds = [&](uint32_t endCount, uint32_t endSize, uint32_t endOffset, bool zip64, uint32_t zip64Offset,
                      uint32_t zip64Size, const std::string& comment = "") {
    Bytes out = zip;
    if (zip64) test::append(out, test::zip64EndRecords(1, zip64Size, zip64Offset, out.size()));
    test::append(out, test::endRecord(endCount, endSize, endOffset, comment));
    return out;
  };
  std::string manifest;
  ASSERT_TRUE(opens(withEnds(1, size1, firstAt, false, 0, 0), &manifest));
  EXPECT_EQ(manifest, "real manifest");
  // Saturated fields: the zip64 record decides, and every member is read
  // through the directory it names.
  ASSERT_TRUE(opens(withEnds(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, true, secondAt, size2), &manifest));
  EXPECT_EQ(manifest, "decoy manifest");
  ASSERT_TRUE(opens(withEnds(1, size1, firstAt, true, firstAt, size1), &manifest));
  EXPECT_EQ(manifest, "real manifest");
  // Records that disagree, a saturated record without its zip64 record, bytes
  // after the end record (a comment that does not reach the end), or a stub
  // before the first member: no package.
  EXPECT_FALSE(opens(withEnds(1, size1, firstAt, true, secondAt, size2)));
  EXPECT_FALSE(opens(withEnds(0xFFFF, size1, firstAt, true, secondAt, size2)));
  EXPECT_FALSE(opens(withEnds(1, size1, 0xFFFFFFFF, false, 0, 0)));
  Bytes trailing = withEnds(1, size1, firstAt, false, 0, 0);
  trailing.push_back(0);
  EXPECT_FALSE(opens(trailing));
  EXPECT_TRUE(opens(withEnds(1, size1, firstAt, false, 0, 0, "a comment")));
  EXPECT_FALSE(opens(test::buildZip({{"AndroidManifest.xml", real, true}}, text("stub before the archive"))));
}

TEST(Loader, ShowsTheManifestThePhoneInstalls) {
  // A decoy that differs only in letter case comes first; the phone reads the
  // exact name, and so does the report.
  Bytes decoy = member("ads.apk", "AndroidManifest.xml");
  Bytes real = member("demo.apk", "AndroidManifest.xml");
  Bytes table = member("demo.apk", "resources.arsc");
  PermissionCatalog catalog;
  auto load = [&](const std::vector<ZipMember>& members, PackageInfo& info) {
    test::TempFile file("vantaro-decoy.apk", test::buildZip(members));
    RecordingDisplay display;
    PackageLoader(info, display, catalog).load(file.path(), false);
  };
  PackageInfo shown, expected;
  load({{"androidmanifest.xml", decoy, true}, {"AndroidManifest.xml", real, true}, {"resources.arsc", table, false}}, shown);
  load({{"AndroidManifest.xml", real, true}, {"resources.arsc", table, false}}, expected);
  EXPECT_TRUE(shown.analysisOk);
  EXPECT_EQ(shown.packageName, expected.packageName);
  EXPECT_EQ(shown.permissions, expected.permissions);
  // Without the exact name there is no manifest at all.
  PackageInfo upper;
  load({{"ANDROIDMANIFEST.XML", real, true}, {"resources.arsc", table, false}}, upper);
  EXPECT_FALSE(upper.analysisOk);
  EXPECT_EQ(upper.packageName, "");
}

TEST(ApkArchive, RefusesOversizedAndInconsistentMembers) {
  Bytes big(5000, 'a');
  test::TempFile file("vantaro-archive-lies.apk",
                      test::buildZip({
                          {"huge", text("tiny"), true, 300u << 20},    // claims 300 MiB
                          {"short", big, true, 6000},                  // inflates to less than recorded
                          {"long", big, false, 4000},                  // stored data longer than recorded
                          {"badcrc", big, true, -1, 0x12345678},
                          {"fake-encrypted", text("plain"), true, -1, -1, 0x0001},
                      }));
  ApkArchive archive;
  ASSERT_TRUE(archive.open(file.path()));
  std::vector<uint8_t> out;
  EXPECT_EQ(archive.read("huge", 64u << 20, out), Result::TooLarge);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(archive.read("short", 64u << 20, out), Result::Corrupt);
  EXPECT_EQ(archive.read("long", 64u << 20, out), Result::Corrupt);
  EXPECT_EQ(archive.read("badcrc", 64u << 20, out), Result::Corrupt);
  // The encryption flag is a packer's trick: the phone ignores it, and so do we.
  EXPECT_EQ(archive.read("fake-encrypted", 100, out), Result::Ok);
  EXPECT_EQ(std::string(out.begin(), out.end()), "plain");
}

TEST(ApkArchive, RejectsWhatIsNoZip) {
  ApkArchive archive;
  test::TempFile notZip("vantaro-archive-text.apk", text("PK\x03\x04 but nothing more"));
  EXPECT_FALSE(archive.open(notZip.path()));
  test::TempFile empty("vantaro-archive-empty.apk", Bytes{});
  EXPECT_FALSE(archive.open(empty.path()));
  EXPECT_FALSE(archive.open(notZip.path() + ".missing"));
}

TEST(Loader, RejectsPackagesWhoseMembersLie) {
  PermissionCatalog catalog;
  for (ZipMember manifest : {ZipMember{"AndroidManifest.xml", text("x"), true, 100u << 20},
                             ZipMember{"AndroidManifest.xml", Bytes(300, 'a'), true, 200}}) {
    test::TempFile file("vantaro-lying.apk", test::buildZip({manifest, {"resources.arsc", Bytes(64, 0)}}));
    PackageInfo info;
    RecordingDisplay display;
    PackageLoader(info, display, catalog).load(file.path(), false);
    EXPECT_FALSE(info.analysisOk);
    EXPECT_EQ(info.path, "");
    EXPECT_EQ(display.message, kInvalidPackageMessage);
    EXPECT_EQ(display.messageKind, StatusKind::Error);
    EXPECT_TRUE(display.items.empty());
  }
}

TEST(Loader, MissingFileSaysSoPlainly) {
  PermissionCatalog catalog;
  PackageInfo info;
  RecordingDisplay display;
  PackageLoader(info, display, catalog).load("no-such-package-anywhere.apk", false);
  EXPECT_FALSE(info.analysisOk);
  EXPECT_EQ(display.message, kUnreadableFileMessage);
  EXPECT_TRUE(display.items.empty());
}

}  // namespace
}  // namespace vantaro
