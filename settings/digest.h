#pragma once
// SHA-256 of a stream of bytes (the system's cryptography provider), for
// checking a download against the digest its description announced.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantaro {

class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();

  void add(const void* bytes, size_t size);
  // The digest of everything added, as 64 lower-case hexadecimal digits;
  // empty when the provider failed at any point. Ends the stream.
  std::string hex();

 private:
  void* algorithm_ = nullptr;
  void* hash_ = nullptr;
  bool failed_ = false;
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace vantaro
