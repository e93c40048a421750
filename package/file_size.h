#pragma once

#include <cstdint>
#include <string>

namespace vantaro {

// A byte count as the Windows shell writes it ("532 字节", "22.9 KB",
// "2.28 MB"): at most three significant digits, truncated, in units that grow
// by 1024. On Windows the shell itself renders it. GBK, at most 50 characters.
std::string formatFileSize(int64_t bytes);

}  // namespace vantaro
