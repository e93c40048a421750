#pragma once
// Turns a compiled (binary) Android XML document, such as AndroidManifest.xml
// inside a package, into plain XML text in GBK: names without namespaces,
// references as "@0x" and lowercase hexadecimal digits, decimal integers in
// decimal, hexadecimal integers as "0x" and eight digits, booleans as "true"
// or "false", strings as themselves, every other typed value empty.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantaro {

// The XML text, or nothing when the data is not a well-formed document.
std::optional<std::string> decodeBinaryXml(const uint8_t* data, size_t size);

// Name of a framework attribute by its resource id ("versionName" for
// 0x0101021c), or nullptr for ids this program does not know.
const char* androidAttributeName(uint32_t resourceId);

}  // namespace vantaro
