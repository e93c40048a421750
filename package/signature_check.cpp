// The full check of a package file, as the window's worker and the CLI run it.

#include "package/bundle.h"
#include "package/signature.h"

namespace vantaro {

SignatureCheck checkPackageFile(const std::string& gbkPath, bool checksums, const std::atomic<bool>* cancel) {
  SignatureCheck check;
  std::shared_ptr<FileSource> file = FileSource::Open(gbkPath);
  auto verify = [&] {
    ApkArchive outer, base;
    const ApkArchive* apk = &outer;
    std::string idsig = gbkPath + ".idsig";  // a v4 signature belongs to the file beside it, never to a bundle's part
    bool opened = file && outer.open(file);
    if (opened && !outer.contains("AndroidManifest.xml")) {
      BundleResult bundle = readBundle(outer);
      if (bundle.status == BundleStatus::Ok) {
        uint64_t inflated = 0;
        opened = openNestedArchive(outer, bundle.bundle.base().member, kMaxNestedInflate, inflated, base);
        apk = &base;
        idsig.clear();
      }
    }
    if (opened) {
      check.verify = verifySignature(*apk, cancel, idsig);
    } else {
      check.verify.status = VerifyResult::Status::Failed;
      check.verify.step = "file";
      check.verify.reason = "文件无法重新打开";
    }
  };
  // With the sums: the check runs first on this thread while a helper
  // hashes MD5, then this thread hashes SHA-1 and SHA-256 (two threads).
  if (checksums && file)
    check.checksumsOk = computeChecksums(*file, check.sums, cancel, verify);
  else
    verify();
  return check;
}

}  // namespace vantaro
