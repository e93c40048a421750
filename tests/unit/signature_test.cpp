#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "chunk_builder.h"
#include "zip_builder.h"
#include "package/apk_archive.h"
#include "package/digest.h"
#include "package/signature.h"
#include "package/signing_block.h"

namespace vantaro {
namespace {

std::string signedFixture(const std::string& name) { return std::string(VANTARO_FIXTURE_DIR) + "/signed/" + name; }

// 2030-01-01: the RSA and EC test certificates are valid then, the rotated-to
// certificate (2001-2010) is not.
constexpr std::time_t kNow = 1893456000;

struct Expected {
  const char* file;
  std::vector<std::string> schemes;
  const char* subject;
  const char* sha256;  // the certificate's fingerprint
  const char* key;
  bool debug, expired;
  VerifyResult::Status status;
  const char* scheme;  // the scheme checked
  const char* step;    // the failing step
};

// Schemes, subjects and fingerprints as `apksigner verify --print-certs -v`
// (Debian's apksigner 0.9; `--min-sdk-version 24` for the packages without
// v1) printed them for these files; the damaged copies fail there at the
// same step (v1-entry: "SHA-1 digest of assets/data.bin does not match",
// v1v2-entry: "CHUNKED_SHA256 digest mismatch", v1v2-signed-data: "signature
// over signed-data did not verify").
const char kRsa[] = "b4ccbe9dfeca574d7b8f8c1d7bd14017fba682b23b2d69c91fbef637dac9944f";
const char kRotated[] = "cf5c72893a61273fc5cafc5bdd57f1bd5622d1718d0ba4025669d4ed165bad09";
const char kEc[] = "026e03943f10ba926bdddfe78c161e42ed6a80dd22bf60310f529ae6e70c2f5a";
const char kRsaName[] = "CN=Vantaro Test, O=Vantaro Fixtures";
using S = VerifyResult::Status;
const Expected kFixtures[] = {
    {"v1.apk", {"v1"}, kRsaName, kRsa, "RSA 2048", false, false, S::Passed, "v1", ""},
    {"v1v2.apk", {"v1", "v2"}, kRsaName, kRsa, "RSA 2048", false, false, S::Passed, "v2", ""},
    {"v2v3-ec.apk", {"v2", "v3"}, "CN=Android Debug, O=Android", kEc, "EC 256", true, false, S::Passed, "v3", ""},
    {"rotated.apk", {"v2", "v3"}, "CN=Vantaro Rotated, O=Vantaro Fixtures", kRotated, "RSA 2048", false, true,
     S::Passed, "v3", ""},
    {"v4.apk", {"v2", "v3", "v4"}, kRsaName, kRsa, "RSA 2048", false, false, S::Passed, "v3", ""},
    {"v1-entry.apk", {"v1"}, kRsaName, kRsa, "RSA 2048", false, false, S::Failed, "v1", "digest"},
    {"v1v2-entry.apk", {"v1", "v2"}, kRsaName, kRsa, "RSA 2048", false, false, S::Failed, "v2", "digest"},
    {"v1v2-signed-data.apk", {"v1", "v2"}, kRsaName, kRsa, "RSA 2048", false, false, S::Failed, "v2", "signature"},
};

TEST(Signature, SignedPackagesAgreeWithApksignerAndDamageFailsAtItsStep) {
  for (const Expected& e : kFixtures) {
    SCOPED_TRACE(e.file);
    ApkArchive archive;
    ASSERT_TRUE(archive.open(signedFixture(e.file)));
    SignatureFacts facts = readSignatureFacts(archive, signedFixture(e.file), kNow);
    EXPECT_EQ(facts.schemeNames(), e.schemes);
    EXPECT_EQ(facts.problem, "");
    ASSERT_EQ(facts.signers.size(), 1u);
    const CertificateFacts& c = facts.signers[0];
    EXPECT_TRUE(c.parsed);
    EXPECT_EQ(c.subject, e.subject);
    EXPECT_EQ(c.issuer, e.subject);  // self-signed
    EXPECT_EQ(c.sha256, e.sha256);
    EXPECT_EQ(c.key, e.key);
    EXPECT_EQ(c.debug, e.debug);
    EXPECT_EQ(c.expired, e.expired);
    EXPECT_EQ(facts.rotated, std::string(e.file) == "rotated.apk");

    VerifyResult r = verifySignature(archive);
    EXPECT_EQ(r.status, e.status) << r.reason;
    EXPECT_EQ(r.scheme, e.scheme);
    EXPECT_EQ(r.step, e.step);
  }
  ApkArchive rotated;
  ASSERT_TRUE(rotated.open(signedFixture("rotated.apk")));
  EXPECT_EQ(readSignatureFacts(rotated, "", kNow).signers[0].notAfter, "2010-12-30T03:56:42Z");
}

// The v2 block cut out of a v1 + v2 package (the directory offset mended):
// the v1 signature file says it was signed with v2 too, so the v1 check that
// is left refuses the downgrade.
TEST(Signature, StrippedNewerSchemeFailsTheOlderOne) {
  std::ifstream in(signedFixture("v1v2.apk"), std::ios::binary);
  test::Bytes apk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ApkArchive signedArchive;
  ASSERT_TRUE(signedArchive.open(std::make_shared<MemorySource>(apk)));
  uint64_t directory = signedArchive.directoryOffset(), end = signedArchive.endRecordOffset();
  uint64_t start = readSigningBlock(*signedArchive.source(), directory).offset;
  ASSERT_LT(start, directory);
  test::Bytes stripped(apk.begin(), apk.begin() + static_cast<ptrdiff_t>(start));
  stripped.insert(stripped.end(), apk.begin() + static_cast<ptrdiff_t>(directory), apk.end());
  size_t at = static_cast<size_t>(end - (directory - start)) + 16;
  for (int i = 0; i < 4; ++i) stripped[at + static_cast<size_t>(i)] = static_cast<uint8_t>(start >> (8 * i));
  ApkArchive archive;
  ASSERT_TRUE(archive.open(std::make_shared<MemorySource>(stripped)));
  EXPECT_EQ(readSignatureFacts(archive, "", kNow).schemeNames(), std::vector<std::string>{"v1"});
  VerifyResult r = verifySignature(archive);
  EXPECT_EQ(r.status, S::Failed);
  EXPECT_EQ(r.scheme, "v1");
  EXPECT_EQ(r.step, "signature") << r.reason;
}

// The .idsig beside v4.apk, checked with the package: `apksigner verify -v
// --min-sdk-version 28 --v4-signature-file` says "Verified using v4 scheme:
// true" for the fixture and false (the package still verifying by v3) for
// each damaged copy here, as this check does.
TEST(Signature, V4FileIsCheckedBesideTheNewerScheme) {
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return test::Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  const test::Bytes apk = read(signedFixture("v4.apk")), idsig = read(signedFixture("v4.apk.idsig"));
  auto check = [](const test::Bytes& package, const test::Bytes& v4) {
    test::TempFile file("vantaro-v4-check.apk", package), sidecar("vantaro-v4-check.apk.idsig", v4);
    ApkArchive archive;
    EXPECT_TRUE(archive.open(file.path()));
    return verifySignature(archive, nullptr, file.path() + ".idsig");
  };
  VerifyResult good = check(apk, idsig);
  EXPECT_EQ(good.status, S::Passed);
  EXPECT_TRUE(good.v4.checked && good.v4.passed) << good.v4.reason;
  EXPECT_EQ(v4Line(good), "v4 签名（.idsig）：通过");

  // A byte of the signing block's padding, which no v2/v3 digest covers but
  // the Merkle tree does; a byte of the v4 signature; a byte of its tree.
  ApkArchive archive;
  ASSERT_TRUE(archive.open(signedFixture("v4.apk")));
  test::Bytes padding = apk;
  padding[static_cast<size_t>(archive.directoryOffset()) - 24 - 100] ^= 1;
  test::Bytes signature = idsig, tree = idsig;
  signature[idsig.size() - 4096 - 4 - 1] ^= 1;
  tree[idsig.size() - 100] ^= 1;
  for (const auto& [package, v4, step] : {std::tuple{padding, idsig, "digest"}, std::tuple{apk, signature, "signature"},
                                          std::tuple{apk, tree, "digest"}}) {
    VerifyResult r = check(package, v4);
    EXPECT_EQ(r.status, S::Passed) << r.reason;
    EXPECT_TRUE(r.v4.checked);
    EXPECT_FALSE(r.v4.passed);
    EXPECT_EQ(r.v4.step, step) << r.v4.reason;
  }
  // Cut short anywhere: refused, never read past.
  for (size_t length : {size_t{3}, size_t{40}, size_t{60}, idsig.size() - 4097})
    EXPECT_EQ(check(apk, test::Bytes(idsig.begin(), idsig.begin() + static_cast<ptrdiff_t>(length))).v4.step, "block");
}

// Debian's apksigner cannot write a v3.1 block (a v3 block under its own id
// for Android 13 and later), so one is made here: rotated.apk's v3 pair
// copied under the v3.1 id into its signing block. The signed data does not
// name the block, and the digests do not cover the block, so the copy
// verifies as the original does; a changed signature byte in it does not.
TEST(Signature, V31BlockIsFoundAndChecked) {
  std::ifstream in(signedFixture("rotated.apk"), std::ios::binary);
  const test::Bytes apk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ApkArchive original;
  ASSERT_TRUE(original.open(std::make_shared<MemorySource>(apk)));
  const size_t directory = static_cast<size_t>(original.directoryOffset());
  const size_t start = static_cast<size_t>(readSigningBlock(*original.source(), directory).offset);
  auto u64 = [&](size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | apk[at + static_cast<size_t>(i)];
    return v;
  };
  // The v3 pair, found among the pairs.
  test::Bytes v3;
  for (size_t at = start + 8; at + 12 <= directory - 24; at += 8 + static_cast<size_t>(u64(at))) {
    if (apk[at + 8] == 0xc0 && apk[at + 9] == 0x68 && apk[at + 10] == 0x53 && apk[at + 11] == 0xf0)
      v3.assign(apk.begin() + static_cast<ptrdiff_t>(at), apk.begin() + static_cast<ptrdiff_t>(at + 8 + u64(at)));
  }
  ASSERT_FALSE(v3.empty());
  auto withV31 = [&](const test::Bytes& pair) {
    test::Bytes out(apk.begin(), apk.begin() + static_cast<ptrdiff_t>(start));
    uint64_t size = u64(start) + pair.size();
    auto put64 = [&out](uint64_t v) {
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put64(size);
    out.insert(out.end(), apk.begin() + static_cast<ptrdiff_t>(start + 8), apk.begin() + static_cast<ptrdiff_t>(directory - 24));
    out.insert(out.end(), pair.begin(), pair.end());
    put64(size);
    out.insert(out.end(), apk.begin() + static_cast<ptrdiff_t>(directory - 16), apk.end());
    size_t end = out.size() - (apk.size() - static_cast<size_t>(original.endRecordOffset()));
    uint32_t moved = static_cast<uint32_t>(directory + pair.size());
    for (int i = 0; i < 4; ++i) out[end + 16 + static_cast<size_t>(i)] = static_cast<uint8_t>(moved >> (8 * i));
    return out;
  };
  test::Bytes v31 = v3;
  const uint8_t id[] = {0x61, 0xad, 0x93, 0x1b};
  std::copy(std::begin(id), std::end(id), v31.begin() + 8);

  ApkArchive archive;
  ASSERT_TRUE(archive.open(std::make_shared<MemorySource>(withV31(v31))));
  SignatureFacts facts = readSignatureFacts(archive, "", kNow);
  EXPECT_EQ(facts.schemeNames(), (std::vector<std::string>{"v2", "v3", "v3.1"}));
  ASSERT_EQ(facts.signers.size(), 1u);
  EXPECT_EQ(facts.signers[0].sha256, kRotated);
  VerifyResult r = verifySignature(archive);
  EXPECT_EQ(r.status, S::Passed) << r.reason;

  v31[v31.size() - 300] ^= 1;  // inside the signature or the public key after it
  ApkArchive damaged;
  ASSERT_TRUE(damaged.open(std::make_shared<MemorySource>(withV31(v31))));
  r = verifySignature(damaged);
  EXPECT_EQ(r.status, S::Failed);
  EXPECT_EQ(r.scheme, "v3.1");
}

TEST(Signature, UnsignedPackageAndChecksums) {
  ApkArchive archive;
  ASSERT_TRUE(archive.open(std::string(VANTARO_FIXTURE_DIR) + "/apk/demo.apk"));
  EXPECT_FALSE(readSignatureFacts(archive, "", kNow).any());
  EXPECT_EQ(verifySignature(archive).status, S::Unsigned);
  EXPECT_EQ(verifyLine(verifySignature(archive)), "签名校验：未签名");

  // md5sum, sha1sum and sha256sum of the file.
  auto file = FileSource::Open(signedFixture("v1.apk"));
  ASSERT_TRUE(file);
  Checksums sums;
  ASSERT_TRUE(computeChecksums(*file, sums));
  EXPECT_EQ(sums.md5, "c43d8988a8ac537e7eccfa6dca62ef3a");
  EXPECT_EQ(sums.sha1, "b882009893286c6b6504de7ffa26954e8df02e55");
  EXPECT_EQ(sums.sha256, "b7e083ab0cd24206c7ac8f834c95713474905eba52929b0cc105d5567af52ab3");
  // The same with other work on the calling thread first.
  Checksums again;
  bool ran = false;
  ASSERT_TRUE(computeChecksums(*file, again, nullptr, [&] { ran = true; }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(again.md5 + again.sha1 + again.sha256, sums.md5 + sums.sha1 + sums.sha256);
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(computeChecksums(*file, sums, &cancel));
}

// Every hash the platform's library provides, whole and fed in pieces.
TEST(Signature, DigestsKnownAnswers) {
  const std::pair<DigestKind, const char*> cases[] = {
      {DigestKind::Md5, "900150983cd24fb0d6963f7d28e17f72"},
      {DigestKind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {DigestKind::Sha224, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
      {DigestKind::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {DigestKind::Sha384,
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
      {DigestKind::Sha512,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
  };
  auto hexOf = [](const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) out += "0123456789abcdef"[b >> 4], out += "0123456789abcdef"[b & 15];
    return out;
  };
  const uint8_t abc[] = {'a', 'b', 'c'};
  for (const auto& [kind, expected] : cases) {
    EXPECT_EQ(hexOf(digestOf(kind, abc, 3)), expected);
    Digest pieces(kind);
    pieces.update(abc, 1);
    pieces.update(abc + 1, 0);
    pieces.update(abc + 1, 2);
    EXPECT_EQ(hexOf(pieces.finish()), expected);
    EXPECT_TRUE(pieces.finish().empty());  // spent
  }
}

// ---------------------------------------------------------------- hostile blocks

using test::Bytes;

void put64(Bytes& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A signing block around the given pairs, with both size fields as given
// (or the right one for -1).
Bytes block(const Bytes& pairs, int64_t leading = -1, int64_t trailing = -1) {
  uint64_t size = pairs.size() + 24;
  Bytes b;
  put64(b, leading == -1 ? size : static_cast<uint64_t>(leading));
  b.insert(b.end(), pairs.begin(), pairs.end());
  put64(b, trailing == -1 ? size : static_cast<uint64_t>(trailing));
  const char magic[] = "APK Sig Block 42";
  b.insert(b.end(), magic, magic + 16);
  return b;
}

Bytes pair(uint64_t length, uint32_t id, const Bytes& value) {
  Bytes b;
  put64(b, length);
  test::put32(b, id);
  b.insert(b.end(), value.begin(), value.end());
  return b;
}

// A v2 value with one signer whose parts are all empty but one length.
Bytes v2Value(uint32_t certificateLength) {
  Bytes certificates;
  test::put32(certificates, certificateLength);  // one certificate, claimed this long
  certificates.insert(certificates.end(), 3, 0x30);
  Bytes signedData;
  test::put32(signedData, 0);  // digests
  test::put32(signedData, static_cast<uint32_t>(certificates.size()));
  signedData.insert(signedData.end(), certificates.begin(), certificates.end());
  test::put32(signedData, 0);  // attributes
  Bytes signer;
  test::put32(signer, static_cast<uint32_t>(signedData.size()));
  signer.insert(signer.end(), signedData.begin(), signedData.end());
  test::put32(signer, 0);  // signatures
  test::put32(signer, 0);  // public key
  Bytes signers;
  test::put32(signers, static_cast<uint32_t>(signer.size()));
  signers.insert(signers.end(), signer.begin(), signer.end());
  Bytes value;
  test::put32(value, static_cast<uint32_t>(signers.size()));
  value.insert(value.end(), signers.begin(), signers.end());
  return value;
}

TEST(SigningBlock, HostileSizesAreRefusedWithoutReadingPastThem) {
  Bytes good = v2Value(3);
  Bytes pairs = pair(good.size() + 4, kV2BlockId, good);
  SigningBlock ok = parseSigningBlock(block(pairs).data(), block(pairs).size());
  ASSERT_TRUE(ok.present);
  ASSERT_NE(ok.scheme(kV2BlockId), nullptr);
  EXPECT_EQ(ok.scheme(kV2BlockId)->problem, "");
  EXPECT_EQ(ok.scheme(kV2BlockId)->signers.at(0).certificates.at(0).size(), 3u);

  // Size fields that disagree: no block, and said so.
  Bytes disagree = block(pairs, static_cast<int64_t>(pairs.size() + 24), static_cast<int64_t>(pairs.size() + 25));
  SigningBlock b = parseSigningBlock(disagree.data(), disagree.size());
  EXPECT_FALSE(b.present);
  EXPECT_NE(b.problem, "");
  // A pair claiming more than the block holds, even 2^64 - 1.
  for (uint64_t length : {uint64_t{good.size() + 5}, ~uint64_t{0}, uint64_t{3}}) {
    Bytes lying = block(pair(length, kV2BlockId, good));
    b = parseSigningBlock(lying.data(), lying.size());
    EXPECT_FALSE(b.present) << length;
    EXPECT_NE(b.problem, "");
  }
  // A certificate claiming 4 GiB inside an intact block: that scheme is malformed.
  Bytes huge = v2Value(0xFFFFFFF0u);
  Bytes hugeBlock = block(pair(huge.size() + 4, kV2BlockId, huge));
  b = parseSigningBlock(hugeBlock.data(), hugeBlock.size());
  ASSERT_NE(b.scheme(kV2BlockId), nullptr);
  EXPECT_NE(b.scheme(kV2BlockId)->problem, "");
  EXPECT_TRUE(b.scheme(kV2BlockId)->signers.empty());

  // In a file: a block whose size runs past the start of the file, or
  // claims 2^64 - 1; a block larger than the cap. None is taken.
  for (uint64_t size : {uint64_t{1000}, ~uint64_t{1}, uint64_t{kMaxSigningBlockSize + 1}}) {
    Bytes file(64, 0);
    Bytes tail = block(pairs, -1, static_cast<int64_t>(size));
    file.insert(file.end(), tail.begin(), tail.end());
    if (size > kMaxSigningBlockSize) file.insert(file.begin(), kMaxSigningBlockSize + 64, 0);
    MemorySource source(file);
    b = readSigningBlock(source, file.size());
    EXPECT_FALSE(b.present) << size;
    EXPECT_NE(b.problem, "") << size;
  }

  // Only a DSA signature (its algorithm id put into the v2 signature record,
  // which follows the signed data): no check possible, which is no failure.
  {
    std::ifstream file(signedFixture("v1v2.apk"), std::ios::binary);
    Bytes dsa{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ApkArchive original;
    ASSERT_TRUE(original.open(std::make_shared<MemorySource>(dsa)));
    const uint8_t id[] = {0x03, 0x01, 0x00, 0x00};  // RSA PKCS #1 with SHA-256
    auto at = std::find_end(dsa.begin(), dsa.begin() + static_cast<ptrdiff_t>(original.directoryOffset()), id, id + 4);
    ASSERT_NE(at, dsa.begin() + static_cast<ptrdiff_t>(original.directoryOffset()));
    at[0] = 0x01;
    at[1] = 0x03;  // 0x0301: DSA with SHA-256
    ApkArchive archive;
    ASSERT_TRUE(archive.open(std::make_shared<MemorySource>(dsa)));
    VerifyResult r = verifySignature(archive);
    EXPECT_EQ(r.status, S::Unsupported) << r.reason;
    EXPECT_EQ(r.step, "algorithm");
  }

  // Every cut of a real block: never a read past its end.
  std::ifstream in(signedFixture("v1v2.apk"), std::ios::binary);
  Bytes apk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ApkArchive archive;
  ASSERT_TRUE(archive.open(std::make_shared<MemorySource>(apk)));
  SigningBlock real = readSigningBlock(*archive.source(), archive.directoryOffset());
  ASSERT_TRUE(real.present);
  Bytes whole(apk.begin() + static_cast<ptrdiff_t>(real.offset), apk.begin() + static_cast<ptrdiff_t>(archive.directoryOffset()));
  ASSERT_EQ(real.schemes.size(), 1u);
  uint64_t pairLength = 0;
  for (int i = 7; i >= 0; --i) pairLength = pairLength << 8 | whole[8 + static_cast<size_t>(i)];
  ASSERT_LE(pairLength + 8, whole.size() - 32);
  Bytes value(whole.begin() + 20, whole.begin() + 16 + static_cast<ptrdiff_t>(pairLength));  // the first pair's value
  for (size_t cut = 0; cut < value.size(); ++cut) {
    Bytes shorter(value.begin(), value.begin() + static_cast<ptrdiff_t>(cut));
    Bytes bytes = block(pair(shorter.size() + 4, kV2BlockId, shorter));
    SigningBlock parsed = parseSigningBlock(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed.present);
    EXPECT_NE(parsed.scheme(kV2BlockId)->problem, "") << cut;
  }
}

}  // namespace
}  // namespace vantaro
