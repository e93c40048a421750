// The cost floor of reading a package: open the archive with minizip, read
// AndroidManifest.xml and resources.arsc whole, exit. No decoding, no lookups,
// no output. Exit status 0 when both members were read and their checksums
// held.

#include <unzip.h>

#include <cstdio>
#include <cstdlib>

static bool readWhole(unzFile zip, const char* name) {
  if (unzLocateFile(zip, name, 2) != UNZ_OK) {  // 2: letter case ignored
    std::fprintf(stderr, "floor: %s: not found\n", name);
    return false;
  }
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  size_t size = static_cast<size_t>(info.uncompressed_size);
  auto* bytes = static_cast<unsigned char*>(std::malloc(size ? size : 1));
  size_t done = 0;
  while (bytes && done < size) {
    int n = unzReadCurrentFile(zip, bytes + done, static_cast<unsigned>(size - done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  int closed = unzCloseCurrentFile(zip);  // checks the CRC
  std::free(bytes);
  if (done != size || closed != UNZ_OK) {
    std::fprintf(stderr, "floor: %s: read failed\n", name);
    return false;
  }
  return true;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor FILE.apk\n");
    return 2;
  }
  unzFile zip = unzOpen64(argv[1]);
  if (!zip) {
    std::fprintf(stderr, "floor: %s: not a zip archive\n", argv[1]);
    return 1;
  }
  bool ok = readWhole(zip, "AndroidManifest.xml") && readWhole(zip, "resources.arsc");
  unzClose(zip);
  return ok ? 0 : 1;
}
