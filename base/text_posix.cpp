#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "base/text.h"

namespace vantaro {
namespace {

// One conversion descriptor per direction and thread: iconv_t is not safe to
// share, and opening one per call is slow.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  iconv_t get() const { return cd_; }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

 private:
  iconv_t cd_;
};

iconv_t toGbk() {
  thread_local Converter c("CP936", "UTF-16LE");
  return c.ok() ? c.get() : nullptr;
}

iconv_t fromGbk() {
  thread_local Converter c("UTF-16LE", "CP936");
  return c.ok() ? c.get() : nullptr;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

}  // namespace

namespace detail {

std::string plainWideToGbk(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  iconv_t cd = toGbk();
  if (!cd) {
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // iconv reads bytes; the text is in host order, which is little-endian on
  // every machine this builds for.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
  size_t inLeft = text.size() * 2;
  out.resize(text.size() * 2 + 8);
  size_t written = 0;
  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    size_t outLeft = out.size() - written;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // A character GBK lacks, a lone surrogate, or a pair cut at the end:
    // one "?" for the whole character.
    if (out.size() - written < 1) out.resize(out.size() * 2);
    out[written++] = '?';
    size_t index = text.size() - inLeft / 2;
    size_t skip = 1;
    if (index + 1 < text.size() && isHighSurrogate(text[index]) && isLowSurrogate(text[index + 1])) skip = 2;
    in += skip * 2;
    inLeft -= skip * 2;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(written);
  return out;
}

std::u16string plainGbkToWide(std::string_view text) {
  std::u16string out;
  if (text.empty()) return out;
  iconv_t cd = fromGbk();
  if (!cd) {
    for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : u'?');
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  std::string buffer(text.size() * 2 + 8, '\0');
  size_t written = 0;
  while (inLeft > 0) {
    char* outPtr = buffer.data() + written;
    size_t outLeft = buffer.size() - written;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    written = buffer.size() - outLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    // An invalid byte or a lead byte without its trail: "?" and go on.
    if (buffer.size() - written < 2) buffer.resize(buffer.size() * 2);
    buffer[written++] = '?';
    buffer[written++] = '\0';
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(written / 2);
  std::memcpy(out.data(), buffer.data(), written & ~size_t{1});
  return out;
}

}  // namespace detail

}  // namespace vantaro
