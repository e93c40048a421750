#include <openssl/evp.h>

#include "package/digest.h"

namespace vantaro {

struct Digest::State {
  EVP_MD_CTX* ctx = nullptr;
  bool ok = false;
};

namespace {

const EVP_MD* algorithm(DigestKind kind) {
  switch (kind) {
    case DigestKind::Md5: return EVP_md5();
    case DigestKind::Sha1: return EVP_sha1();
    case DigestKind::Sha224: return EVP_sha224();
    case DigestKind::Sha256: return EVP_sha256();
    case DigestKind::Sha384: return EVP_sha384();
    case DigestKind::Sha512: return EVP_sha512();
  }
  return nullptr;
}

}  // namespace

Digest::Digest(DigestKind kind) : state_(new State) {
  const EVP_MD* md = algorithm(kind);
  state_->ctx = EVP_MD_CTX_new();
  state_->ok = md && state_->ctx && EVP_DigestInit_ex(state_->ctx, md, nullptr) == 1;
}

Digest::~Digest() { EVP_MD_CTX_free(state_->ctx); }

void Digest::update(const uint8_t* bytes, size_t length) {
  if (state_->ok && length) state_->ok = EVP_DigestUpdate(state_->ctx, bytes, length) == 1;
}

std::vector<uint8_t> Digest::finish() {
  if (!state_->ok) return {};
  state_->ok = false;
  std::vector<uint8_t> out(EVP_MAX_MD_SIZE);
  unsigned length = 0;
  if (EVP_DigestFinal_ex(state_->ctx, out.data(), &length) != 1) return {};
  out.resize(length);
  return out;
}

std::vector<uint8_t> digestOf(DigestKind kind, const uint8_t* bytes, size_t length) {
  Digest d(kind);
  d.update(bytes, length);
  return d.finish();
}

}  // namespace vantaro
