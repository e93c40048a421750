#include <windows.h>
// (bcrypt.h needs the types of windows.h first.)
#include <bcrypt.h>
#include <mbedtls/sha256.h>

#include <climits>

#include "package/digest.h"

namespace vantaro {

// CNG has no SHA-224, which only old v1 manifests name; that one comes
// from mbed TLS.
struct Digest::State {
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<uint8_t> object;  // the hash's working memory
  unsigned long size = 0;       // length of the result
  bool sha224 = false;
  mbedtls_sha256_context sha224Context;
  bool ok = false;
};

namespace {

// The providers, opened once for the process (opening one is slow) and
// shared by all threads, as CNG allows.
BCRYPT_ALG_HANDLE provider(DigestKind kind) {
  static BCRYPT_ALG_HANDLE handles[6] = {};
  static const bool opened = [] {
    const wchar_t* names[6] = {BCRYPT_MD5_ALGORITHM,    BCRYPT_SHA1_ALGORITHM,   nullptr,
                               BCRYPT_SHA256_ALGORITHM, BCRYPT_SHA384_ALGORITHM, BCRYPT_SHA512_ALGORITHM};
    for (int i = 0; i < 6; ++i)
      if (names[i] && !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handles[i], names[i], nullptr, 0))) handles[i] = nullptr;
    return true;
  }();
  (void)opened;
  return handles[static_cast<int>(kind)];
}

}  // namespace

Digest::Digest(DigestKind kind) : state_(new State) {
  State& s = *state_;
  if (kind == DigestKind::Sha224) {
    s.sha224 = true;
    s.size = 28;
    mbedtls_sha256_init(&s.sha224Context);
    s.ok = mbedtls_sha256_starts_ret(&s.sha224Context, 1) == 0;
    return;
  }
  BCRYPT_ALG_HANDLE alg = provider(kind);
  if (!alg) return;
  unsigned long objectLength = 0, got = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                        sizeof objectLength, &got, 0)) ||
      !BCRYPT_SUCCESS(BCryptGetProperty(alg, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&s.size), sizeof s.size,
                                        &got, 0))) {
    return;
  }
  s.object.resize(objectLength);
  s.ok = BCRYPT_SUCCESS(BCryptCreateHash(alg, &s.hash, s.object.data(), objectLength, nullptr, 0, 0));
}

Digest::~Digest() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
  if (state_->sha224) mbedtls_sha256_free(&state_->sha224Context);
}

void Digest::update(const uint8_t* bytes, size_t length) {
  State& s = *state_;
  while (s.ok && length) {
    // CNG takes at most 4 GiB at a time.
    unsigned long part = length > ULONG_MAX ? ULONG_MAX : static_cast<unsigned long>(length);
    s.ok = s.sha224 ? mbedtls_sha256_update_ret(&s.sha224Context, bytes, part) == 0
                    : BCRYPT_SUCCESS(BCryptHashData(s.hash, const_cast<PUCHAR>(bytes), part, 0));
    bytes += part;
    length -= part;
  }
}

std::vector<uint8_t> Digest::finish() {
  State& s = *state_;
  if (!s.ok) return {};
  s.ok = false;
  std::vector<uint8_t> out(s.sha224 ? 32 : s.size);
  bool done = s.sha224 ? mbedtls_sha256_finish_ret(&s.sha224Context, out.data()) == 0
                       : BCRYPT_SUCCESS(BCryptFinishHash(s.hash, out.data(), s.size, 0));
  if (!done) return {};
  out.resize(s.size);
  return out;
}

std::vector<uint8_t> digestOf(DigestKind kind, const uint8_t* bytes, size_t length) {
  Digest d(kind);
  d.update(bytes, length);
  return d.finish();
}

}  // namespace vantaro
