#pragma once
// The window side speaks UTF-16; the program's texts are GBK. These helpers
// convert at each call, always through code page 936.

#include <windows.h>

#include <string>
#include <string_view>

namespace vantaro::ui {

std::wstring toWide(std::string_view gbk);
std::string fromWide(std::wstring_view text);

// A window's text as GBK, at most maxBytes - 1 bytes (a double-byte character
// that would be cut in half is left out).
std::string windowText(HWND window, size_t maxBytes = 260);
void setWindowText(HWND window, std::string_view gbk);

// The longest prefix of text that fits in maxBytes bytes without splitting a
// double-byte character.
std::string_view gbkPrefix(std::string_view text, size_t maxBytes);

}  // namespace vantaro::ui
