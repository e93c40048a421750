// The signing block and the certificates in it: the bytes as a block on
// their own, and as a whole package whose signature is read and checked.
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
  return 0;
}
