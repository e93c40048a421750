#include <windows.h>

#include "base/text.h"

namespace vantaro {
namespace {
constexpr UINT kGbk = 936;
}

std::string wideToGbk(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(kGbk, 0, wide, length, nullptr, 0, "?", nullptr);
  if (needed <= 0) return std::string(text.size(), '?');
  out.resize(static_cast<size_t>(needed));
  WideCharToMultiByte(kGbk, 0, wide, length, out.data(), needed, "?", nullptr);
  return out;
}

std::u16string gbkToWide(std::string_view text) {
  std::u16string out;
  if (text.empty()) return out;
  int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(kGbk, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::u16string(text.size(), u'?');
  out.resize(static_cast<size_t>(needed));
  MultiByteToWideChar(kGbk, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
  return out;
}

}  // namespace vantaro
