#include <windows.h>
#include <shlwapi.h>

#include "base/text.h"
#include "package/file_size.h"

namespace vantaro {

std::string formatFileSize(int64_t bytes) {
  wchar_t text[51] = {};
  if (!StrFormatByteSizeW(bytes, text, 50)) return std::string();
  return wideToGbk(reinterpret_cast<const char16_t*>(text));
}

}  // namespace vantaro
