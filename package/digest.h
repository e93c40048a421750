#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantaro {

// The hash functions that package checks run over file contents. On Linux
// they are OpenSSL's (which uses the processor's SHA and vector
// instructions), on Windows the system's CNG.
enum class DigestKind { Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };

// One running hash. A failure anywhere (an algorithm the platform lacks,
// an error inside the library) makes finish() return an empty result.
class Digest {
 public:
  explicit Digest(DigestKind kind);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void update(const uint8_t* bytes, size_t length);
  // The hash; the object is spent afterwards.
  std::vector<uint8_t> finish();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

std::vector<uint8_t> digestOf(DigestKind kind, const uint8_t* bytes, size_t length);

}  // namespace vantaro
