#include "ui/wide.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace vantaro::ui {

std::wstring toWide(std::string_view gbk) {
  std::u16string wide = gbkToWide(gbk);
  return std::wstring(wide.begin(), wide.end());
}

std::string fromWide(std::wstring_view text) {
  return wideToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string_view gbkPrefix(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t step = isGbkLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
    if (end + step > maxBytes) break;
    end += step;
  }
  return text.substr(0, end);
}

std::string windowText(HWND window, size_t maxBytes) {
  if (!window || maxBytes == 0) return {};
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  // A GBK byte count never falls below the UTF-16 unit count, so reading
  // maxBytes units is always enough.
  size_t units = std::min<size_t>(static_cast<size_t>(length), maxBytes) + 1;
  std::vector<wchar_t> buffer(units);
  int got = GetWindowTextW(window, buffer.data(), static_cast<int>(units));
  std::string text = fromWide(std::wstring_view(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0));
  return std::string(gbkPrefix(text, maxBytes - 1));
}

void setWindowText(HWND window, std::string_view gbk) {
  SetWindowTextW(window, toWide(gbk).c_str());
}

}  // namespace vantaro::ui
