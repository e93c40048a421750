#include <windows.h>

#include <algorithm>

#include "base/text.h"

namespace vantaro {
namespace {
constexpr UINT kGbk = 936;
}

namespace detail {

std::string plainWideToGbk(std::u16string_view input) {
  std::string out;
  if (input.empty()) return out;
  // Code page 936 has no characters beyond the basic plane: a surrogate pair
  // (or a lone surrogate) is one missing character, one "?".
  auto isSurrogate = [](char16_t c) { return c >= 0xD800 && c < 0xE000; };
  std::u16string replaced;
  std::u16string_view text = input;
  if (std::any_of(input.begin(), input.end(), isSurrogate)) {
    for (size_t i = 0; i < input.size(); ++i) {
      char16_t c = input[i];
      if (!isSurrogate(c)) {
        replaced.push_back(c);
        continue;
      }
      if (c < 0xDC00 && i + 1 < input.size() && input[i + 1] >= 0xDC00 && input[i + 1] < 0xE000) ++i;
      replaced.push_back(u'?');
    }
    text = replaced;
  }
  auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(kGbk, 0, wide, length, nullptr, 0, "?", nullptr);
  if (needed <= 0) return std::string(text.size(), '?');
  out.resize(static_cast<size_t>(needed));
  WideCharToMultiByte(kGbk, 0, wide, length, out.data(), needed, "?", nullptr);
  return out;
}

std::u16string plainGbkToWide(std::string_view text) {
  std::u16string out;
  if (text.empty()) return out;
  int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(kGbk, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::u16string(text.size(), u'?');
  out.resize(static_cast<size_t>(needed));
  MultiByteToWideChar(kGbk, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
  return out;
}

}  // namespace detail

}  // namespace vantaro
