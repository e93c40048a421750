#include "package/signing_block.h"

#include <cstring>

namespace vantaro {
namespace {

constexpr char kMagic[] = "APK Sig Block 42";
constexpr size_t kMagicSize = 16;
constexpr size_t kFooterSize = 8 + kMagicSize;  // the second size field and the magic
// Signers, digests, certificates... per block; more is no real package.
constexpr size_t kMaxItems = 64;

// A stretch of bytes read front to back; every read is checked against what
// is left, and a failed read leaves the cursor failed for good.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  bool empty() const { return at_ == size_; }

  bool u32(uint32_t& value) {
    if (!take(4)) return false;
    const uint8_t* p = data_ + at_ - 4;
    value = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return true;
  }
  bool u64(uint64_t& value) {
    uint32_t low = 0, high = 0;
    if (!u32(low) || !u32(high)) return false;
    value = uint64_t{high} << 32 | low;
    return true;
  }
  // A part prefixed by its 32-bit length.
  bool part(Cursor& inner) {
    uint32_t length = 0;
    if (!u32(length)) return false;
    inner = sub(length);
    return ok_;
  }
  // The next count bytes as a cursor of their own (empty when they are not there).
  Cursor sub(uint64_t count) {
    if (!take(count)) return Cursor(nullptr, 0);
    return Cursor(data_ + at_ - count, static_cast<size_t>(count));
  }
  bool bytes(Bytes& out) {
    Cursor inner(nullptr, 0);
    if (!part(inner)) return false;
    out.assign(inner.data_, inner.data_ + inner.size_);
    return true;
  }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  bool take(uint64_t count) {
    if (!ok_ || count > size_ - at_) return ok_ = false;
    at_ += static_cast<size_t>(count);
    return true;
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

// A sequence of length-prefixed (id, bytes) pairs: digests, signatures,
// attributes.
template <typename Pair>
bool readPairs(Cursor list, std::vector<Pair>& out, bool valueIsPart) {
  while (!list.empty()) {
    Cursor item(nullptr, 0);
    if (out.size() >= kMaxItems || !list.part(item)) return false;
    Pair pair;
    uint32_t id = 0;
    if (!item.u32(id)) return false;
    if (valueIsPart) {
      if (!item.bytes(pair.value) || !item.empty()) return false;
    } else {
      pair.value.assign(item.data() + 4, item.data() + item.size());
    }
    if constexpr (requires { pair.algorithm; }) pair.algorithm = id;
    else pair.id = id;
    out.push_back(std::move(pair));
  }
  return list.ok();
}

bool readSigner(Cursor signer, bool v3, BlockSigner& out) {
  Cursor signedData(nullptr, 0), digests(nullptr, 0), certificates(nullptr, 0), attributes(nullptr, 0),
      signatures(nullptr, 0);
  if (!signer.part(signedData)) return false;
  out.signedData.assign(signedData.data(), signedData.data() + signedData.size());
  if (!signedData.part(digests) || !readPairs(digests, out.digests, true)) return false;
  if (!signedData.part(certificates)) return false;
  while (!certificates.empty()) {
    Bytes certificate;
    if (out.certificates.size() >= kMaxItems || !certificates.bytes(certificate)) return false;
    out.certificates.push_back(std::move(certificate));
  }
  if (v3 && (!signedData.u32(out.signedMinSdk) || !signedData.u32(out.signedMaxSdk))) return false;
  if (!signedData.part(attributes) || !readPairs(attributes, out.attributes, false)) return false;
  // What follows the attributes inside the signed data is left alone, as the
  // phone does (room for later fields).
  if (v3 && (!signer.u32(out.minSdk) || !signer.u32(out.maxSdk))) return false;
  if (!signer.part(signatures) || !readPairs(signatures, out.signatures, true)) return false;
  if (!signer.bytes(out.publicKey)) return false;
  return true;
}

void readScheme(Cursor value, SchemeBlock& scheme) {
  Cursor signers(nullptr, 0);
  if (!value.part(signers)) {
    scheme.problem = "签名块数据不完整";
    return;
  }
  bool v3 = scheme.id != kV2BlockId;
  while (!signers.empty()) {
    Cursor signer(nullptr, 0);
    BlockSigner parsed;
    if (scheme.signers.size() >= kMaxItems || !signers.part(signer) || !readSigner(signer, v3, parsed)) {
      scheme.problem = "签名者数据不完整";
      return;
    }
    scheme.signers.push_back(std::move(parsed));
  }
  if (scheme.signers.empty()) scheme.problem = "签名块中没有签名者";
}

}  // namespace

SigningBlock parseSigningBlock(const uint8_t* bytes, size_t length) {
  SigningBlock block;
  if (length < 8 + kFooterSize || std::memcmp(bytes + length - kMagicSize, kMagic, kMagicSize) != 0) return block;
  Cursor whole(bytes, length);
  uint64_t leading = 0, trailing = 0;
  Cursor(bytes + length - kFooterSize, 8).u64(trailing);
  whole.u64(leading);
  if (leading != trailing || leading != length - 8) {
    block.problem = "签名块的两个长度不一致，视为没有签名块";
    return block;
  }
  block.present = true;
  Cursor pairs(bytes + 8, length - 8 - kFooterSize);
  while (!pairs.empty()) {
    uint64_t pairLength = 0;
    uint32_t id = 0;
    if (!pairs.u64(pairLength) || pairLength < 4 || !pairs.u32(id)) {
      block = SigningBlock();
      block.problem = "签名块的条目长度越界，视为没有签名块";
      return block;
    }
    Cursor value = pairs.sub(pairLength - 4);
    if (!pairs.ok()) {
      block = SigningBlock();
      block.problem = "签名块的条目长度越界，视为没有签名块";
      return block;
    }
    if (id == kV2BlockId || id == kV3BlockId || id == kV31BlockId) {
      SchemeBlock scheme;
      scheme.id = id;
      readScheme(value, scheme);
      block.schemes.push_back(std::move(scheme));
    }
  }
  return block;
}

SigningBlock readSigningBlock(const ByteSource& source, uint64_t directoryOffset) {
  SigningBlock block;
  uint8_t footer[kFooterSize];
  if (directoryOffset < kFooterSize + 8 || !source.read(directoryOffset - kFooterSize, footer, sizeof footer) ||
      std::memcmp(footer + 8, kMagic, kMagicSize) != 0) {
    return block;
  }
  uint64_t size = 0;
  Cursor(footer, 8).u64(size);
  // size counts everything after the leading size field.
  if (size < kFooterSize || size > directoryOffset - 8) {
    block.problem = "签名块的长度越过了文件开头或目录，视为没有签名块";
    return block;
  }
  if (size + 8 > kMaxSigningBlockSize) {
    block.problem = "签名块过大，视为没有签名块";
    return block;
  }
  uint64_t start = directoryOffset - size - 8;
  Bytes bytes(static_cast<size_t>(size + 8));
  if (!source.read(start, bytes.data(), bytes.size())) {
    block.problem = "签名块无法读取";
    return block;
  }
  block = parseSigningBlock(bytes.data(), bytes.size());
  block.offset = start;
  return block;
}

}  // namespace vantaro
