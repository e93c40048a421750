#include "settings/digest.h"

#include <windows.h>
#include <bcrypt.h>

namespace vantaro {

Sha256::Sha256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  failed_ = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
            BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) < 0;
  algorithm_ = algorithm;
  hash_ = hash;
}

Sha256::~Sha256() {
  if (hash_) BCryptDestroyHash(hash_);
  if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::add(const void* bytes, size_t size) {
  auto* p = static_cast<UCHAR*>(const_cast<void*>(bytes));
  while (!failed_ && size > 0) {
    ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    failed_ = BCryptHashData(hash_, p, piece, 0) < 0;
    p += piece;
    size -= piece;
  }
}

std::string Sha256::hex() {
  UCHAR digest[32];
  if (failed_ || BCryptFinishHash(hash_, digest, sizeof digest, 0) < 0) {
    failed_ = true;
    return std::string();
  }
  failed_ = true;  // a finished hash takes no more data
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (UCHAR byte : digest) {
    text.push_back(digits[byte >> 4]);
    text.push_back(digits[byte & 15]);
  }
  return text;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 sha;
  sha.add(bytes.data(), bytes.size());
  return sha.hex();
}

}  // namespace vantaro
