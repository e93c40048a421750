#include <windows.h>
#include <shellapi.h>

#include <io.h>

#include "base/text.h"
#include "cli/console.h"

namespace vantaro::cli {

std::vector<std::string> utf8Arguments(int, char**) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return out;
  for (int i = 0; i < count; ++i) out.push_back(wideToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
  LocalFree(wide);
  return out;
}

// The Windows heap keeps freed blocks for reuse as it is.
void keepFreedMemoryForReuse() {}

bool isTerminal(FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

std::string argumentPath(const std::string& argument) { return wideToGbkPath(utf8ToWide(argument)); }

void writeUtf8(FILE* stream, const std::string& text) {
  std::fflush(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    std::u16string wide = utf8ToWide(text);
    DWORD written;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace vantaro::cli
