#pragma once
// Text inside the program is GBK (code page 936). These are the only places
// where it is converted, always naming code page 936 explicitly, never the
// system's ANSI code page. Characters GBK lacks become "?".

#include <string>
#include <string_view>

namespace vantaro {

// UTF-16 (host byte order) <-> GBK. gbkToWide also turns the escapes of
// the path conversions below back into the characters they stand for.
std::string wideToGbk(std::u16string_view text);
std::u16string gbkToWide(std::string_view text);

// Names the file system gives us may hold characters that GBK lacks (or, on
// Linux, bytes that are no UTF-8 at all). Where such a name enters the
// program (command line, dropped files, temporary and program folders) it is
// converted with these: what GBK has stays as it is, and each other
// character (or stray byte) becomes an escape of two characters from GBK's
// user-defined areas. gbkToWide, gbkToUtf8 and nativePath undo the escapes,
// so the path opens, copies and runs as the name it came from, and the user
// reads it with the right characters.
std::string wideToGbkPath(std::u16string_view name);
std::string nativeToGbkPath(std::string_view bytes);  // a Linux name: UTF-8, or any bytes
// The GBK path back as Linux bytes: escapes of stray bytes give those bytes.
std::string gbkPathToNativeBytes(std::string_view gbkPath);

namespace detail {
// The platform's own conversions, without escapes.
std::string plainWideToGbk(std::u16string_view text);
std::u16string plainGbkToWide(std::string_view text);
}  // namespace detail

// UTF-8 <-> UTF-16, portable. Invalid UTF-8 becomes U+FFFD; lone surrogates
// in UTF-16 become U+FFFD in UTF-8. Three-byte encodings of surrogates (as
// some Android tools write them) are decoded to the surrogate unit.
std::u16string utf8ToWide(std::string_view text);
std::string wideToUtf8(std::u16string_view text);

inline std::string utf8ToGbk(std::string_view text) { return wideToGbk(utf8ToWide(text)); }
inline std::string gbkToUtf8(std::string_view text) { return wideToUtf8(gbkToWide(text)); }

// Case-insensitive comparison of GBK texts: ASCII letters fold, double-byte
// characters compare as whole units (their trail bytes may be ASCII letters
// and must not be folded). Result < 0, 0 or > 0.
int compareNoCase(std::string_view a, std::string_view b);
inline bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && compareNoCase(a, b) == 0;
}

// True when byte c starts a double-byte GBK character.
inline bool isGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The file name of a GBK path: what follows the last separator that is not
// the second byte of a double-byte character.
std::string gbkFileName(const std::string& path);

}  // namespace vantaro
