// The signing block and the certificates in it: the bytes as a block on
// their own, as a whole package whose signature is read and checked, and
// as a v4 signature file.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "package/apk_archive.h"
#include "package/signature.h"
#include "package/signing_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantaro;
  SigningBlock block = parseSigningBlock(data, size);
  for (const SchemeBlock& scheme : block.schemes)
    for (const BlockSigner& signer : scheme.signers)
      for (const Bytes& certificate : signer.certificates) (void)describeCertificate(certificate.data(), certificate.size(), 0);

  ApkArchive archive;
  if (archive.open(std::make_shared<MemorySource>(std::vector<uint8_t>(data, data + size)))) {
    (void)readSignatureFacts(archive, "", 0);
    (void)verifySignature(archive);
  }
  // The same bytes as a v4 .idsig for a small package and a signer.
  static const MemorySource package(std::vector<uint8_t>(10000, 0x5a));
  BlockSigner signer;
  signer.digests.push_back({0x0103, std::vector<uint8_t>(32, 1)});
  signer.certificates.push_back(std::vector<uint8_t>(data, data + std::min<size_t>(size, 64)));
  (void)verifyV4Signature(package, std::vector<uint8_t>(data, data + size), signer);
  return 0;
}
