#pragma once
// Who signed a package and whether the signature holds: the schemes it
// carries (v1 JAR signature, v2, v3 and v3.1 blocks, a v4 .idsig beside the
// file), the signer certificates, the check of the newest scheme as the phone
// makes it, and the file's checksums. Cryptography and certificate parsing
// are mbed TLS's; texts are GBK.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "package/apk_archive.h"
#include "package/byte_source.h"

namespace vantaro {

struct CertificateFacts {
  bool parsed = false;   // false: the DER is no certificate mbed TLS reads (the fingerprint still holds)
  std::string subject;   // "CN=…, O=…" (UTF-8 from the certificate, turned to GBK)
  std::string issuer;
  std::string notBefore, notAfter;  // "2024-01-31T08:00:00Z"
  std::string sha256;    // of the DER, lowercase hex
  std::string key;       // "RSA 2048", "EC 256"
  bool debug = false;    // the well-known debug certificate
  bool expired = false;  // notAfter before the clock given
};

struct SignatureFacts {
  bool v1 = false, v2 = false, v3 = false, v31 = false, v4 = false;
  bool rotated = false;  // the v3 signer carries a proof-of-rotation lineage
  // Signers of the newest scheme present (v3.1, v3, v2, else v1).
  std::vector<CertificateFacts> signers;
  std::string problem;   // GBK: why a signing block or signature file was not taken

  bool any() const { return v1 || v2 || v3 || v31 || v4; }
  // "v1", "v2", "v3", "v3.1", "v4" for each scheme present.
  std::vector<std::string> schemeNames() const;
};

// The cheap facts: the signing block and the v1 signature files, no hashing
// of the contents. packagePath (GBK) finds a v4 "<file>.idsig"; empty for a
// package inside a bundle. now: the clock that decides "expired".
SignatureFacts readSignatureFacts(const ApkArchive& archive, const std::string& packagePath, std::time_t now);

// Facts of one DER certificate.
CertificateFacts describeCertificate(const uint8_t* der, size_t length, std::time_t now);

struct VerifyResult {
  // Unsupported: signed only with what mbed TLS cannot check (DSA keys).
  enum class Status { Passed, Failed, Unsigned, Cancelled, Unsupported } status = Status::Unsigned;
  // When it failed: the step ("block", "algorithm", "certificate",
  // "signature", "digest", "manifest", "entry") and a plain GBK reason.
  std::string step;
  std::string reason;
  std::string scheme;  // the scheme that was checked: "v3", "v2", "v1"
  // A v4 .idsig beside a package whose v2/v3 signature holds is checked
  // too. It decides only incremental installs, so it never changes status
  // (as apksigner reports it: the package verifies, v4 does not).
  struct V4 {
    bool checked = false;
    bool passed = false;
    std::string step, reason;  // when it did not pass
  } v4;
};

// Checks the newest scheme present (v3/v3.1, else v2, else v1) the way the
// phone does; then, when idsigPath (GBK) names a file, that v4 signature the
// way an incremental install checks it (its signer and content digest must
// be the package's, its Merkle tree the file's). cancel, when set, stops it
// between blocks of the file.
VerifyResult verifySignature(const ApkArchive& archive, const std::atomic<bool>* cancel = nullptr,
                             const std::string& idsigPath = {});

// The v4 signature file's bytes checked against the package in source
// whose verified v2/v3 signer is packageSigner (what verifySignature does
// with an .idsig).
struct BlockSigner;
VerifyResult verifyV4Signature(const ByteSource& source, const std::vector<uint8_t>& file,
                               const BlockSigner& packageSigner, const std::atomic<bool>* cancel = nullptr);

// The one line a report shows for a result: "签名校验：通过" and so on.
std::string verifyLine(const VerifyResult& result);
// The line of a checked v4 .idsig ("v4 签名（.idsig）：通过" or why not);
// empty when there was none to check.
std::string v4Line(const VerifyResult& result);

struct Checksums {
  std::string md5, sha1, sha256;  // lowercase hex
};
// The whole source read in large blocks, on the calling thread and one
// helper; first, when given, runs on the calling thread while the helper
// starts hashing (so other work shares the two threads). False when the
// source cannot be read or the work was cancelled.
bool computeChecksums(const ByteSource& source, Checksums& out, const std::atomic<bool>* cancel = nullptr,
                      const std::function<void()>& first = {});

}  // namespace vantaro

namespace vantaro {

// What a full check of a package file found.
struct SignatureCheck {
  VerifyResult verify;
  bool checksumsOk = false;  // false also when they were not asked for
  Checksums sums;
};

// Opens the file at gbkPath again (for a split bundle: its base package,
// while the checksums are the bundle file's) and checks the signature; with
// checksums, the whole-file sums are computed at the same time on a second
// thread. A file that no longer opens fails at the step "file".
SignatureCheck checkPackageFile(const std::string& gbkPath, bool checksums, const std::atomic<bool>* cancel = nullptr);

}  // namespace vantaro
