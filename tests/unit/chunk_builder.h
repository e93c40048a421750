#pragma once
// Builds Android binary XML documents and resource tables byte by byte, so
// tests can make exactly the shapes (and the damage) that aapt never writes.

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"

namespace vantaro::test {

using Bytes = std::vector<uint8_t>;

// Pool strings are given in UTF-8; narrow literals in tests are GBK, so
// non-ASCII pool text is written as u8"..." and passed through this.
inline std::string u8s(const char8_t* s) { return reinterpret_cast<const char*>(s); }

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
inline void set16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void set32(Bytes& b, size_t at, uint32_t v) {
  set16(b, at, v & 0xFFFF);
  set16(b, at + 2, v >> 16);
}
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline void pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// A chunk: type, header size, total size, then header fields and body.
inline Bytes chunk(uint16_t type, const Bytes& headerFields, const Bytes& body) {
  Bytes b;
  put16(b, type);
  put16(b, static_cast<uint32_t>(8 + headerFields.size()));
  put32(b, static_cast<uint32_t>(8 + headerFields.size() + body.size()));
  append(b, headerFields);
  append(b, body);
  return b;
}

// A string pool; strings are UTF-8 source text. Long strings use the
// two-unit length forms.
inline Bytes stringPool(const std::vector<std::string>& strings, bool utf8, uint32_t extraFlags = 0) {
  Bytes offsets, data;
  for (const std::string& s : strings) {
    put32(offsets, static_cast<uint32_t>(data.size()));
    if (utf8) {
      size_t units = utf8ToWide(s).size();
      if (units > 0x7F) data.push_back(static_cast<uint8_t>(0x80 | (units >> 8)));
      data.push_back(static_cast<uint8_t>(units & 0xFF));
      if (s.size() > 0x7F) data.push_back(static_cast<uint8_t>(0x80 | (s.size() >> 8)));
      data.push_back(static_cast<uint8_t>(s.size() & 0xFF));
      data.insert(data.end(), s.begin(), s.end());
      data.push_back(0);
    } else {
      std::u16string w = utf8ToWide(s);
      if (w.size() > 0x7FFF) {
        put16(data, 0x8000 | static_cast<uint32_t>(w.size() >> 16));
        put16(data, static_cast<uint32_t>(w.size() & 0xFFFF));
      } else {
        put16(data, static_cast<uint32_t>(w.size()));
      }
      for (char16_t c : w) put16(data, c);
      put16(data, 0);
    }
  }
  pad4(data);
  Bytes header;
  put32(header, static_cast<uint32_t>(strings.size()));
  put32(header, 0);                                    // styles
  put32(header, (utf8 ? 0x100u : 0u) | extraFlags);    // flags
  put32(header, static_cast<uint32_t>(28 + offsets.size()));  // strings start
  put32(header, 0);                                    // styles start
  Bytes body = offsets;
  append(body, data);
  return chunk(0x0001, header, body);
}

struct XmlAttribute {
  std::string name;
  uint8_t type;
  uint32_t data;        // the value, or a string index for type 0x03
  uint16_t size = 8;
  uint8_t reserved = 0;
};

// Binary XML: strings are registered on first use; resource ids map the
// first strings of the pool.
class XmlBuilder {
 public:
  bool utf8 = false;
  std::vector<std::string> strings;
  std::vector<uint32_t> resourceIds;
  Bytes body;
  uint16_t attributeStart = 20;
  uint16_t attributeSize = 20;

  uint32_t str(const std::string& s) {
    for (size_t i = 0; i < strings.size(); ++i)
      if (strings[i] == s) return static_cast<uint32_t>(i);
    strings.push_back(s);
    return static_cast<uint32_t>(strings.size() - 1);
  }
  XmlAttribute string(const std::string& name, const std::string& value) { return {name, 0x03, str(value)}; }

  void startNamespace() { node(0x0100, {str("android"), str("http://schemas.android.com/apk/res/android")}); }
  void endNamespace() { node(0x0101, {str("android"), str("http://schemas.android.com/apk/res/android")}); }
  void text(const std::string& s) {
    Bytes ext;
    put32(ext, str(s));
    put32(ext, 0x00000008);
    put32(ext, 0);
    body_node(0x0104, ext);
  }
  void endElement(const std::string& name) {
    Bytes ext;
    put32(ext, 0xFFFFFFFF);
    put32(ext, str(name));
    body_node(0x0103, ext);
  }
  void startElement(const std::string& name, const std::vector<XmlAttribute>& attributes) {
    Bytes ext;
    put32(ext, 0xFFFFFFFF);
    put32(ext, str(name));
    put16(ext, attributeStart);
    put16(ext, attributeSize);
    put16(ext, static_cast<uint32_t>(attributes.size()));
    put16(ext, 0);
    put16(ext, 0);
    put16(ext, 0);
    while (ext.size() < attributeStart) ext.push_back(0xEE);
    for (const XmlAttribute& a : attributes) {
      Bytes attr;
      put32(attr, 0xFFFFFFFF);
      put32(attr, str(a.name));
      put32(attr, a.type == 0x03 ? a.data : 0xFFFFFFFF);
      put16(attr, a.size);
      attr.push_back(a.reserved);
      attr.push_back(a.type);
      put32(attr, a.data);
      while (attr.size() < attributeSize) attr.push_back(0xEE);
      append(ext, attr);
    }
    body_node(0x0102, ext);
  }
  // Any chunk, such as one the decoder does not know.
  void raw(const Bytes& c) { append(body, c); }

  Bytes build() const {
    Bytes inner = stringPool(strings, utf8);
    if (!resourceIds.empty()) {
      Bytes ids;
      for (uint32_t id : resourceIds) put32(ids, id);
      append(inner, chunk(0x0180, {}, ids));
    }
    append(inner, body);
    return chunk(0x0003, {}, inner);
  }

 private:
  void node(uint16_t type, std::vector<uint32_t> fields) {
    Bytes ext;
    for (uint32_t f : fields) put32(ext, f);
    body_node(type, ext);
  }
  void body_node(uint16_t type, const Bytes& ext) {
    Bytes header;
    put32(header, 1);           // line number
    put32(header, 0xFFFFFFFF);  // comment
    append(body, chunk(type, header, ext));
  }
};

// One value of a resource type in one configuration.
struct TableValue {
  uint16_t entry;
  uint8_t type;   // 0x03 string (data = global string index), others as given
  uint32_t data;
  bool complex = false;
};

struct TableConfig {
  std::string language;  // "" or two letters
  std::string country;
  uint16_t density = 0;
};

class TableBuilder {
 public:
  std::vector<std::string> strings;
  bool utf8 = true;
  uint32_t packageId = 0x7F;
  uint16_t packageHeaderSize = 288;
  Bytes packageChunks;      // specs and types of the package, in order
  Bytes before;             // chunks (e.g. another package) before the application package

  uint32_t str(const std::string& s) {
    for (size_t i = 0; i < strings.size(); ++i)
      if (strings[i] == s) return static_cast<uint32_t>(i);
    strings.push_back(s);
    return static_cast<uint32_t>(strings.size() - 1);
  }

  static Bytes typeSpec(uint8_t id, uint32_t entryCount) {
    Bytes header;
    header.push_back(id);
    header.push_back(0);
    put16(header, 0);
    put32(header, entryCount);
    Bytes flags;
    for (uint32_t i = 0; i < entryCount; ++i) put32(flags, 0);
    return chunk(0x0202, header, flags);
  }

  // A type chunk. flags: 0x01 sparse, 0x02 16-bit offsets.
  static Bytes type(uint8_t id, uint32_t entryCount, const TableConfig& config, const std::vector<TableValue>& values,
                    uint8_t flags = 0) {
    Bytes entries;
    std::vector<std::pair<uint16_t, uint32_t>> offsets;
    for (const TableValue& v : values) {
      offsets.emplace_back(v.entry, static_cast<uint32_t>(entries.size()));
      if (v.complex) {
        // A map entry: header of 16 bytes, then two 12-byte map items.
        put16(entries, 16);
        put16(entries, 0x0001);
        put32(entries, 0);
        put32(entries, 0);  // parent
        put32(entries, 2);  // count
        for (int i = 0; i < 2; ++i) {
          put32(entries, 0x01010000 + i);
          put16(entries, 8);
          entries.push_back(0);
          entries.push_back(0x03);
          put32(entries, 0);
        }
      } else {
        put16(entries, 8);
        put16(entries, 0);
        put32(entries, 0);
        put16(entries, 8);
        entries.push_back(0);
        entries.push_back(v.type);
        put32(entries, v.data);
      }
    }
    Bytes offsetArray;
    if (flags & 0x01) {
      for (auto& [e, o] : offsets) {
        put16(offsetArray, e);
        put16(offsetArray, o / 4);
      }
    } else if (flags & 0x02) {
      std::vector<uint16_t> dense(entryCount, 0xFFFF);
      for (auto& [e, o] : offsets) dense[e] = static_cast<uint16_t>(o / 4);
      for (uint16_t o : dense) put16(offsetArray, o);
    } else {
      std::vector<uint32_t> dense(entryCount, 0xFFFFFFFF);
      for (auto& [e, o] : offsets) dense[e] = o;
      for (uint32_t o : dense) put32(offsetArray, o);
    }
    Bytes configBytes(64, 0);
    set32(configBytes, 0, 64);
    for (size_t i = 0; i < config.language.size() && i < 2; ++i) configBytes[8 + i] = static_cast<uint8_t>(config.language[i]);
    for (size_t i = 0; i < config.country.size() && i < 2; ++i) configBytes[10 + i] = static_cast<uint8_t>(config.country[i]);
    set16(configBytes, 14, config.density);
    Bytes header;
    header.push_back(id);
    header.push_back(flags);
    put16(header, 0);
    put32(header, (flags & 0x01) ? static_cast<uint32_t>(values.size()) : entryCount);
    put32(header, 0);  // entries start, patched below
    append(header, configBytes);
    Bytes body = offsetArray;
    pad4(body);
    size_t entriesStart = 8 + header.size() + body.size();
    set32(header, 8, static_cast<uint32_t>(entriesStart));
    append(body, entries);
    return chunk(0x0201, header, body);
  }

  void add(const Bytes& c) { append(packageChunks, c); }

  Bytes package(uint32_t id) const {
    Bytes header;
    put32(header, id);
    std::u16string name = u"com.example";
    for (size_t i = 0; i < 128; ++i) put16(header, i < name.size() ? name[i] : 0);
    Bytes typeStrings = stringPool({"attr", "drawable", "string", "color"}, true);
    Bytes keyStrings = stringPool({"app_name", "icon", "version"}, true);
    size_t headerSize = packageHeaderSize;
    put32(header, static_cast<uint32_t>(headerSize));  // type strings
    put32(header, 0);
    put32(header, static_cast<uint32_t>(headerSize + typeStrings.size()));  // key strings
    put32(header, 0);
    if (header.size() + 8 > headerSize) header.resize(headerSize - 8);
    while (header.size() + 8 < headerSize) header.push_back(0);
    Bytes body = typeStrings;
    append(body, keyStrings);
    append(body, packageChunks);
    return chunk(0x0200, header, body);
  }

  Bytes build() const {
    Bytes header;
    put32(header, 1);
    Bytes body = stringPool(strings, utf8);
    append(body, before);
    append(body, package(packageId));
    return chunk(0x0002, header, body);
  }
};

}  // namespace vantaro::test
