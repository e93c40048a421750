#include <gtest/gtest.h>

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

TEST(ApkArchive, LooksUpMembersIgnoringCaseAmongMany) {
  std::vector<ZipMember> members;
  for (int i = 0; i < 3000; ++i) members.push_back({"assets/f" + std::to_string(i), text("x"), false});
  members.push_back({"AndroidManifest.XML", text("manifest"), true});
  members.push_back({"androidmanifest.xml", text("second"), true});  // a later duplicate is never found
  members.push_back({std::string(255, 'n'), text("long"), false});
  members.push_back({std::string(256, 'm'), text("too long"), false});
  test::TempFile file("vantaro-archive-many.apk", test::buildZip(members, text("stub before the archive")));
  ApkArchive archive;
  ASSERT_TRUE(archive.open(file.path()));
  std::vector<uint8_t> out;
  EXPECT_EQ(archive.read("ANDROIDMANIFEST.XML", 100, out), Result::Ok);
  EXPECT_EQ(std::string(out.begin(), out.end()), "manifest");
  EXPECT_EQ(archive.read("assets/f2999", 100, out), Result::Ok);
  EXPECT_TRUE(archive.contains("ASSETS/F17"));
  EXPECT_FALSE(archive.contains("assets/f3000"));
  EXPECT_TRUE(archive.contains(std::string(255, 'N')));
  EXPECT_FALSE(archive.contains(std::string(256, 'm')));
  EXPECT_EQ(archive.read("missing", 100, out), Result::Missing);
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
