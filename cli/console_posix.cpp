#include <malloc.h>
#include <unistd.h>

#include "base/text.h"
#include "cli/console.h"

namespace vantaro::cli {

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool isTerminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

void keepFreedMemoryForReuse() {
#ifdef M_MMAP_THRESHOLD
  // Blocks up to 32 MiB come from the threads' heaps, which are not trimmed
  // below 256 MiB: no mapping made and unmade for each member read.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

std::string argumentPath(const std::string& argument) { return nativeToGbkPath(argument); }

void writeUtf8(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace vantaro::cli
