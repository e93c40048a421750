#include "base/text.h"

namespace vantaro {

namespace {

// Path escapes: two units, each one of GBK's user-defined double-byte
// characters (area 1: lead 0xAA-0xAF, area 2: lead 0xF8-0xFE; trail
// 0xA1-0xFE), give 1222 * 1222 values, enough for every code point and the
// 256 stray bytes (0x110000 + byte) that a Linux name may hold.
constexpr unsigned kUnitTrails = 94;
constexpr unsigned kArea1Units = 6 * kUnitTrails;
constexpr unsigned kUnits = kArea1Units + 7 * kUnitTrails;
constexpr char32_t kStrayByteBase = 0x110000;
constexpr char32_t kEscapeLimit = kStrayByteBase + 0x100;

bool unitAt(std::string_view s, size_t i, unsigned& unit) {
  if (i + 1 >= s.size()) return false;
  auto lead = static_cast<unsigned char>(s[i]);
  auto trail = static_cast<unsigned char>(s[i + 1]);
  if (trail < 0xA1 || trail > 0xFE) return false;
  if (lead >= 0xAA && lead <= 0xAF) {
    unit = (lead - 0xAA) * kUnitTrails + (trail - 0xA1);
  } else if (lead >= 0xF8 && lead <= 0xFE) {
    unit = kArea1Units + (lead - 0xF8) * kUnitTrails + (trail - 0xA1);
  } else {
    return false;
  }
  return true;
}

void appendUnit(std::string& out, unsigned unit) {
  unsigned lead = unit < kArea1Units ? 0xAA + unit / kUnitTrails : 0xF8 + (unit - kArea1Units) / kUnitTrails;
  out.push_back(static_cast<char>(lead));
  out.push_back(static_cast<char>(0xA1 + unit % kUnitTrails));
}

void appendEscape(std::string& out, char32_t value) {
  appendUnit(out, value / kUnits);
  appendUnit(out, value % kUnits);
}

// The escape at i, if there is one.
bool escapeAt(std::string_view s, size_t i, char32_t& value) {
  unsigned high, low;
  if (!unitAt(s, i, high) || !unitAt(s, i + 2, low)) return false;
  value = high * kUnits + low;
  return value < kEscapeLimit;
}

// Calls plain(run) for each stretch of ordinary GBK and escaped(value) for
// each escape, stepping over GBK's double-byte characters whole.
template <typename Plain, typename Escaped>
void splitEscapes(std::string_view s, Plain plain, Escaped escaped) {
  size_t runStart = 0, i = 0;
  while (i < s.size()) {
    char32_t value;
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
    } else if (escapeAt(s, i, value)) {
      if (i > runStart) plain(s.substr(runStart, i - runStart));
      escaped(value);
      i += 4;
      runStart = i;
    } else {
      i += 2;
    }
  }
  if (runStart < s.size()) plain(s.substr(runStart));
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// One character: as GBK when it survives the trip there and back and is not
// itself an escape unit, else as an escape.
void appendPathCharacter(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return;
  }
  if (cp < 0x10000 && (cp < 0xD800 || cp >= 0xE000)) {
    std::u16string one(1, static_cast<char16_t>(cp));
    std::string gbk = detail::plainWideToGbk(one);
    unsigned unit;
    if (gbk.size() == 2 && !unitAt(gbk, 0, unit) && detail::plainGbkToWide(gbk) == one) {
      out += gbk;
      return;
    }
  }
  appendEscape(out, cp);
}

}  // namespace

std::string wideToGbk(std::u16string_view text) { return detail::plainWideToGbk(text); }

std::u16string gbkToWide(std::string_view text) {
  std::u16string out;
  splitEscapes(
      text, [&](std::string_view run) { out += detail::plainGbkToWide(run); },
      [&](char32_t value) { appendUtf16(out, value < kStrayByteBase ? value : 0xFFFD); });
  return out;
}

std::string wideToGbkPath(std::u16string_view name) {
  std::string plain = detail::plainWideToGbk(name);
  std::string escapeFree;
  splitEscapes(plain, [&](std::string_view run) { escapeFree += run; }, [&](char32_t) {});
  if (escapeFree.size() == plain.size() && detail::plainGbkToWide(plain) == name) return plain;
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t cp = name[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    }
    appendPathCharacter(out, cp);  // a lone surrogate is escaped as it is
  }
  return out;
}

std::string nativeToGbkPath(std::string_view bytes) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  auto continuation = [&](size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    char32_t cp = 0;
    size_t len = 0;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if (c >= 0xC2 && c < 0xE0 && continuation(i + 1)) {
      cp = ((c & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
      cp = ((c & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
      len = 3;
      if (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000)) len = 0;  // overlong or a surrogate
    } else if (c >= 0xF0 && c < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
      cp = ((c & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) len = 0;
    }
    if (len == 0) {
      appendEscape(out, kStrayByteBase + c);
      ++i;
      continue;
    }
    appendPathCharacter(out, cp);
    i += len;
  }
  return out;
}

std::string gbkPathToNativeBytes(std::string_view gbkPath) {
  std::string out;
  splitEscapes(
      gbkPath, [&](std::string_view run) { out += wideToUtf8(detail::plainGbkToWide(run)); },
      [&](char32_t value) {
        if (value >= kStrayByteBase) {
          out.push_back(static_cast<char>(value - kStrayByteBase));
        } else {
          std::u16string one;
          appendUtf16(one, value);
          out += wideToUtf8(one);
        }
      });
  return out;
}

std::u16string utf8ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  auto continuation = [&](size_t i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
  while (p < end) {
    unsigned char c = *p;
    char32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if (c >= 0xC2 && c < 0xE0 && continuation(1)) {
      cp = ((c & 0x1Fu) << 6) | (p[1] & 0x3Fu);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && continuation(1) && continuation(2)) {
      cp = ((c & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
      len = 3;
      if (cp < 0x800) cp = 0xFFFD;  // overlong
    } else if (c >= 0xF0 && c < 0xF5 && continuation(1) && continuation(2) && continuation(3)) {
      cp = ((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    } else {
      cp = 0xFFFD;
      len = 1;
    }
    p += len;
    appendUtf16(out, cp);
  }
  return out;
}

std::string wideToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

int compareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[j]);
    bool wideA = isGbkLeadByte(ca) && i + 1 < a.size();
    bool wideB = isGbkLeadByte(cb) && j + 1 < b.size();
    if (wideA || wideB) {
      unsigned ua = wideA ? (ca << 8) | static_cast<unsigned char>(a[i + 1]) : ca;
      unsigned ub = wideB ? (cb << 8) | static_cast<unsigned char>(b[j + 1]) : cb;
      if (ua != ub) return ua < ub ? -1 : 1;
      i += wideA ? 2 : 1;
      j += wideB ? 2 : 1;
      continue;
    }
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::string gbkFileName(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (isGbkLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
      ++i;
    else if (path[i] == '\\' || path[i] == '/')
      start = i + 1;
  }
  return path.substr(start);
}

}  // namespace vantaro
