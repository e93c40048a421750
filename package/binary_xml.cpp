#include "package/binary_xml.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "base/bytes.h"
#include "package/chunk.h"
#include "package/string_pool.h"

namespace vantaro {
namespace {

constexpr uint16_t kResourceMapType = 0x0180;
constexpr uint16_t kFirstNodeType = 0x0100;
constexpr uint16_t kLastNodeType = 0x017F;
constexpr uint16_t kStartNamespace = 0x0100;
constexpr uint16_t kEndNamespace = 0x0101;
constexpr uint16_t kStartElement = 0x0102;
constexpr uint16_t kEndElement = 0x0103;
constexpr uint16_t kCharacterData = 0x0104;

constexpr uint8_t kTypeReference = 0x01;
// A reference into a shared library, whose package id is set when it loads.
constexpr uint8_t kTypeDynamicReference = 0x07;
constexpr uint8_t kTypeString = 0x03;
constexpr uint8_t kTypeIntDec = 0x10;
constexpr uint8_t kTypeIntHex = 0x11;
constexpr uint8_t kTypeBoolean = 0x12;

// A manifest's text is a few hundred kilobytes at most; repeated references
// to long strings must not make it grow without bound.
constexpr size_t kMaxOutput = 16u << 20;

struct AttributeName {
  uint32_t id;
  const char* name;
};

// Framework attributes whose names this program reads or that manifests
// commonly carry, sorted by id.
constexpr AttributeName kAttributeNames[] = {
    {0x01010000, "theme"},           {0x01010001, "label"},
    {0x01010002, "icon"},            {0x01010003, "name"},
    {0x01010006, "permission"},      {0x01010009, "protectionLevel"},
    {0x0101000b, "sharedUserId"},    {0x0101000e, "enabled"},
    {0x0101000f, "debuggable"},      {0x01010010, "exported"},
    {0x01010011, "process"},         {0x01010018, "authorities"},
    {0x0101001b, "grantUriPermissions"}, {0x0101001c, "priority"},
    {0x0101001d, "launchMode"},      {0x0101001e, "screenOrientation"},
    {0x0101001f, "configChanges"},   {0x01010020, "description"},
    {0x01010024, "value"},           {0x01010025, "resource"},
    {0x01010026, "mimeType"},        {0x01010027, "scheme"},
    {0x01010028, "host"},            {0x01010029, "port"},
    {0x0101002a, "path"},            {0x0101002b, "pathPrefix"},
    {0x0101002c, "pathPattern"},     {0x01010202, "targetActivity"},
    {0x0101020c, "minSdkVersion"},   {0x0101021b, "versionCode"},
    {0x0101021c, "versionName"},     {0x0101022b, "windowSoftInputMode"},
    {0x01010270, "targetSdkVersion"}, {0x01010271, "maxSdkVersion"},
    {0x01010272, "testOnly"},        {0x01010280, "allowBackup"},
    {0x01010281, "glEsVersion"},     {0x0101028e, "required"},
    {0x010102b7, "installLocation"}, {0x010102be, "logo"},
    {0x010102d3, "hardwareAccelerated"}, {0x0101035a, "largeHeap"},
    {0x010103af, "supportsRtl"},     {0x010103f2, "banner"},
    {0x010103f4, "isGame"},          {0x010104ea, "extractNativeLibs"},
    {0x010104ec, "usesCleartextTraffic"}, {0x0101052c, "roundIcon"},
    {0x01010572, "compileSdkVersion"}, {0x01010573, "compileSdkVersionCodename"},
    {0x0101057a, "appComponentFactory"},
    {0x01010591, "isSplitRequired"}, {0x0101064e, "requiredSplitTypes"},
};

void appendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
}

// Packers put names into the pool that are no XML names at all (empty, with
// spaces or markup) to break analysers; the Android runtime goes by resource
// ids and ignores them. Such names print as a harmless placeholder so that
// the rest of the document still parses.
bool isXmlName(const std::string& name) {
  if (name.empty()) return false;
  auto first = static_cast<unsigned char>(name[0]);
  if (!(first >= 0x80 || first == '_' || first == ':' || (first >= 'A' && first <= 'Z') ||
        (first >= 'a' && first <= 'z')))
    return false;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (!(c >= 0x80 || c == '_' || c == ':' || c == '-' || c == '.' || (c >= '0' && c <= '9') ||
          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      return false;
  }
  return true;
}

class Decoder {
 public:
  explicit Decoder(ByteView data) : data_(data) {}

  std::optional<std::string> run() {
    uint16_t headerSize;
    uint32_t documentSize;
    if (!data_.u16(2, headerSize) || !data_.u32(4, documentSize)) return std::nullopt;
    size_t start = (headerSize >= 8 && headerSize <= data_.size()) ? headerSize : 8;
    size_t end = (documentSize >= start && documentSize <= data_.size()) ? documentSize : data_.size();
    ByteView doc;
    if (!data_.sub(0, end, doc)) return std::nullopt;

    // Header chunks: the string pool and the resource-id map, up to the first node.
    size_t pos = start;
    bool havePool = false;
    for (;;) {
      ByteView chunk;
      uint16_t type;
      if (!chunkAt(doc, pos, chunk, type)) return std::nullopt;
      if (type >= kFirstNodeType && type <= kLastNodeType) break;
      if (type == StringPool::kChunkType) {
        if (!pool_.parse(chunk)) return std::nullopt;
        havePool = true;
      } else if (type == kResourceMapType) {
        uint16_t h = 0;
        chunk.u16(2, h);
        resourceMap_ = ByteView(chunk.data() + h, (chunk.size() - h) / 4 * 4);
      }
      pos += chunk.size();
    }
    if (!havePool) return std::nullopt;

    out_ = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    int depth = 0;
    for (;;) {
      ByteView chunk;
      uint16_t type;
      if (!chunkAt(doc, pos, chunk, type)) return std::nullopt;  // ended before the end namespace
      uint16_t h = 0;
      chunk.u16(2, h);
      switch (type) {
        case kEndNamespace:
          if (depth == 0) return std::move(out_);
          break;
        case kStartElement:
          if (!startElement(chunk, h)) return std::nullopt;
          ++depth;
          break;
        case kEndElement: {
          uint32_t name;
          if (!chunk.u32(h + 4, name)) return std::nullopt;
          const std::string* text = elementName(name);
          if (!text) return std::nullopt;
          out_ += "</";
          out_ += *text;
          out_ += ">";
          if (depth > 0) --depth;
          break;
        }
        case kCharacterData: {
          uint32_t index;
          if (!chunk.u32(h, index)) return std::nullopt;
          const std::string* text = string(index);
          if (!text) return std::nullopt;
          appendEscaped(out_, *text);
          break;
        }
        case kStartNamespace:
        default:
          break;
      }
      if (out_.size() > kMaxOutput) return std::nullopt;
      pos += chunk.size();
    }
  }

 private:
  // Node chunks carry a line number and a comment after the common header.
  static bool chunkAt(ByteView doc, size_t pos, ByteView& chunk, uint16_t& type) {
    uint16_t headerSize;
    if (!vantaro::chunkAt(doc, pos, chunk, type, headerSize)) return false;
    return !(type >= kFirstNodeType && type <= kLastNodeType && headerSize < 16);
  }

  const std::string* string(uint32_t index) {
    auto found = cache_.find(index);
    if (found != cache_.end()) return &found->second;
    auto text = pool_.gbk(index);
    if (!text) return nullptr;
    return &cache_.emplace(index, std::move(*text)).first->second;
  }

  const std::string* elementName(uint32_t index) {
    const std::string* name = string(index);
    if (name && !isXmlName(*name)) return &placeholder_;
    return name;
  }

  const std::string* attributeName(uint32_t index) {
    uint32_t id;
    if (size_t{index} < resourceMap_.size() / 4 && resourceMap_.u32(size_t{index} * 4, id)) {
      if (const char* known = androidAttributeName(id)) {
        auto found = canonical_.find(id);
        if (found == canonical_.end()) found = canonical_.emplace(id, known).first;
        return &found->second;
      }
    }
    return elementName(index);
  }

  bool startElement(ByteView chunk, uint16_t headerSize) {
    uint32_t nameIndex;
    uint16_t attributeStart, attributeSize, attributeCount;
    size_t ext = headerSize;
    if (!chunk.u32(ext + 4, nameIndex) || !chunk.u16(ext + 8, attributeStart) ||
        !chunk.u16(ext + 10, attributeSize) || !chunk.u16(ext + 12, attributeCount))
      return false;
    const std::string* name = elementName(nameIndex);
    if (!name) return false;
    out_ += '<';
    out_ += *name;
    for (size_t i = 0; i < attributeCount; ++i) {
      size_t at = ext + attributeStart + i * attributeSize;
      ByteView attr;
      if (!chunk.sub(at, 20, attr)) return false;
      uint32_t attrName, data;
      uint16_t valueSize;
      uint8_t reserved, dataType;
      attr.u32(4, attrName);
      attr.u16(12, valueSize);
      attr.u8(14, reserved);
      attr.u8(15, dataType);
      attr.u32(16, data);
      const std::string* attrText = attributeName(attrName);
      if (!attrText) return false;
      out_ += ' ';
      out_ += *attrText;
      out_ += "=\"";
      if (valueSize == 8 && reserved == 0) {
        char number[16];
        if (dataType == kTypeReference || dataType == kTypeDynamicReference) {
          std::snprintf(number, sizeof number, "@0x%x", data);
          out_ += number;
        } else if (dataType == kTypeIntDec) {
          std::snprintf(number, sizeof number, "%d", static_cast<int32_t>(data));
          out_ += number;
        } else if (dataType == kTypeIntHex) {
          std::snprintf(number, sizeof number, "0x%08x", data);
          out_ += number;
        } else if (dataType == kTypeBoolean) {
          out_ += data ? "true" : "false";
        } else if (dataType == kTypeString) {
          const std::string* value = string(data);
          if (!value) return false;
          appendEscaped(out_, *value);
        }
      }
      out_ += '"';
      if (out_.size() > kMaxOutput) return false;
    }
    out_ += ">\n";
    return true;
  }

  ByteView data_;
  StringPool pool_;
  ByteView resourceMap_;
  std::unordered_map<uint32_t, std::string> cache_;
  std::unordered_map<uint32_t, std::string> canonical_;
  std::string placeholder_ = "_";
  std::string out_;
};

}  // namespace

const char* androidAttributeName(uint32_t resourceId) {
  auto it = std::lower_bound(std::begin(kAttributeNames), std::end(kAttributeNames), resourceId,
                             [](const AttributeName& a, uint32_t id) { return a.id < id; });
  return (it != std::end(kAttributeNames) && it->id == resourceId) ? it->name : nullptr;
}

std::optional<std::string> decodeBinaryXml(const uint8_t* data, size_t size) {
  if (!data) return std::nullopt;
  return Decoder(ByteView(data, size)).run();
}

}  // namespace vantaro
