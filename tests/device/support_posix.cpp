#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/file.h"
#include "base/text.h"
#include "device/command_line.h"
#include "support.h"

namespace vantaro::test {

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), nativePath(value).c_str(), 1);
}

bool MakeFolder(const std::string& path) { return mkdir(nativePath(path).c_str(), 0755) == 0; }

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(nativePath(path), ignored);
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(nativePath(path), error))
    names.push_back(nativeToGbkPath(entry.path().filename().string()));
  std::sort(names.begin(), names.end());
  return names;
}

bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  // A zombie counts as ended.
  std::string stat;
  if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r")) {
    char buffer[512] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    stat.assign(buffer, n);
  }
  size_t paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

void KillProcess(long pid) {
  if (pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
}

int RunForExitCode(const std::string& commandLine, const std::string& outputPath) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return -1;
  for (std::string& arg : args) arg = nativePath(arg);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string output = nativePath(outputPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid;
  int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string NativePath(const std::string& path) { return nativePath(path); }

FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(nativePath(path).c_str(), mode); }

char PathSeparator() { return '/'; }

std::string AdbFileName() { return "adb"; }

void MakeExecutable(const std::string& path) { chmod(nativePath(path).c_str(), 0755); }

void MakeReadOnly(const std::string& path, bool readOnly) { chmod(nativePath(path).c_str(), readOnly ? 0444 : 0644); }

std::string ChangeFolder(const std::string& path) {
  std::vector<char> buffer(4096);
  std::string previous = getcwd(buffer.data(), buffer.size()) ? nativeToGbkPath(buffer.data()) : std::string();
  if (chdir(nativePath(path).c_str()) != 0) previous.clear();
  return previous;
}

bool GetEnvironment(const std::string& name, std::string& value) {
  const char* v = getenv(name.c_str());
  if (!v) return false;
  value = nativeToGbkPath(v);
  return true;
}

void UnsetEnvironment(const std::string& name) { unsetenv(name.c_str()); }

std::vector<std::string> TemporaryFolderVariables() { return {"TMPDIR"}; }

void SleepMs(unsigned ms) { usleep(ms * 1000); }

}  // namespace vantaro::test
