#pragma once
// The APK Signing Block: the block between the last member and the central
// directory that carries the v2, v3 and v3.1 signatures. Read the way the
// phone reads it: the block ends with the magic "APK Sig Block 42" right
// before the directory, its size is written at both ends and the two must
// agree, and it may not reach before the start of the file. Every length
// inside is checked against the part that holds it; a block that breaks a
// rule is treated as absent and the reason kept.

#include <cstdint>
#include <string>
#include <vector>

#include "package/byte_source.h"

namespace vantaro {

// Identifiers of the signature blocks inside the signing block.
constexpr uint32_t kV2BlockId = 0x7109871a;
constexpr uint32_t kV3BlockId = 0xf05368c0;
constexpr uint32_t kV31BlockId = 0x1b93ad61;
// The v3 signed-data attribute that holds the proof-of-rotation lineage.
constexpr uint32_t kRotationLineageAttribute = 0x3ba06f8c;

// Largest signing block read; real ones hold a few certificates and keys.
constexpr uint64_t kMaxSigningBlockSize = 16u << 20;

using Bytes = std::vector<uint8_t>;

// One signer of a v2/v3/v3.1 block.
struct BlockSigner {
  Bytes signedData;  // the bytes the signatures cover
  struct Digest {
    uint32_t algorithm = 0;
    Bytes value;
  };
  std::vector<Digest> digests;
  std::vector<Bytes> certificates;  // DER, the signer's own first
  struct Attribute {
    uint32_t id = 0;
    Bytes value;
  };
  std::vector<Attribute> attributes;
  // v3 and v3.1: the platform levels the signer serves, as the signed data
  // and the signer both record them (they must agree).
  uint32_t minSdk = 0, maxSdk = 0;
  uint32_t signedMinSdk = 0, signedMaxSdk = 0;
  std::vector<Digest> signatures;  // algorithm and signature bytes
  Bytes publicKey;                 // SubjectPublicKeyInfo, DER
};

struct SchemeBlock {
  uint32_t id = 0;
  std::vector<BlockSigner> signers;
  std::string problem;  // GBK; set when the block's contents are malformed
};

struct SigningBlock {
  bool present = false;
  uint64_t offset = 0;  // where the block starts (its first size field)
  std::vector<SchemeBlock> schemes;  // v2, v3 and v3.1 blocks, in file order
  // GBK; why a block that seemed to be there was not taken (size fields
  // disagree, it runs past the directory, too large, ...). Empty otherwise.
  std::string problem;

  const SchemeBlock* scheme(uint32_t id) const {
    for (const SchemeBlock& s : schemes)
      if (s.id == id) return &s;
    return nullptr;
  }
};

// Reads the signing block that ends at directoryOffset in source.
SigningBlock readSigningBlock(const ByteSource& source, uint64_t directoryOffset);

// The signing block's pairs from its bytes (the whole block, both size fields
// and the magic included); what readSigningBlock does after reading them.
SigningBlock parseSigningBlock(const uint8_t* bytes, size_t length);

}  // namespace vantaro
