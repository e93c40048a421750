#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "tools/fake-adb/fake_adb.h"

namespace fakeadb {

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

namespace {

// One argument as the Microsoft C runtime would read it back.
std::string Quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') out.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    out += c;
  }
  return out + std::string(backslashes, '\\') + "\"";
}

}  // namespace

std::string RawCommandLine(int argc, char** argv) {
  std::string line = "\"" + std::string(argc > 0 ? argv[0] : "") + "\"";
  for (int i = 1; i < argc; ++i) line += " " + Quoted(argv[i]);
  return line;
}

std::string OwnFolder() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

void SleepMs(unsigned ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

bool Write(int stream, const std::string& bytes) {
  signal(SIGPIPE, SIG_IGN);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(stream, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

long StartHolder(unsigned ms) {
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    _exit(HolderMain(ms));
  }
  return pid;
}

long OwnProcessId() { return static_cast<long>(getpid()); }

int HolderMain(unsigned ms) {
  SleepMs(ms);
  return 0;
}

}  // namespace fakeadb
