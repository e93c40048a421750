// The cost floor of the code scan: open the archive with minizip and inflate
// every classes*.dex member whole with the same zlib (checksums checked),
// nothing else. Exit status 0 when every member was read.

#include <unzip.h>

#include <cstdio>
#include <cstring>
#include <vector>

static bool isDex(const char* name) {
  size_t n = std::strlen(name);
  return std::strncmp(name, "classes", 7) == 0 && n >= 11 && std::strcmp(name + n - 4, ".dex") == 0 &&
         !std::strchr(name, '/');
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dex_floor FILE.apk\n");
    return 2;
  }
  unzFile zip = unzOpen64(argv[1]);
  if (!zip) return 1;
  bool ok = true;
  std::vector<unsigned char> bytes;
  for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
    char name[256];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return 1;
    if (!isDex(name)) continue;
    bytes.resize(static_cast<size_t>(info.uncompressed_size));
    if (unzOpenCurrentFile(zip) != UNZ_OK) return 1;
    size_t done = 0;
    while (done < bytes.size()) {
      int n = unzReadCurrentFile(zip, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ok = unzCloseCurrentFile(zip) == UNZ_OK && done == bytes.size() && ok;
  }
  unzClose(zip);
  return ok ? 0 : 1;
}
