#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "support.h"

namespace vantaro::test {
namespace {
std::wstring W(const std::string& gbk) {
  std::u16string wide = gbkToWide(gbk);
  return std::wstring(wide.begin(), wide.end());
}
}  // namespace

void SetEnvironment(const std::string& name, const std::string& value) {
  _wputenv_s(W(name).c_str(), W(value).c_str());
}

bool MakeFolder(const std::string& path) { return CreateDirectoryW(W(path).c_str(), nullptr) != 0; }

void RemoveTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(W(folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::u16string wideName(reinterpret_cast<const char16_t*>(entry.cFileName));
      std::string name = wideToGbkPath(wideName);
      if (name == "." || name == "..") continue;
      std::string child = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
      else DeleteFileW(W(child).c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(W(folder).c_str());
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(W(folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = wideToGbkPath(reinterpret_cast<const char16_t*>(entry.cFileName));
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ProcessAlive(long pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!process) return false;
  bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

void KillProcess(long pid) {
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
    TerminateProcess(process, 1);
    CloseHandle(process);
  }
}

int RunForExitCode(const std::string& commandLine, const std::string& outputPath) {
  // Under Wine, with other programs starting beside it, the output file or
  // the process now and then cannot be made on the first try: a few tries,
  // then the reason in the output, so that a failing test says why.
  PROCESS_INFORMATION pi = {};
  DWORD error = 0;
  const char* step = "";
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (attempt > 0) Sleep(250);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE output = CreateFileW(W(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      step = "CreateFileW";
      continue;
    }
    std::wstring command = W(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = output;
    si.hStdError = output;
    BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    error = started ? 0 : GetLastError();
    step = "CreateProcessW";
    CloseHandle(output);
    if (started) break;
  }
  if (!pi.hProcess) {
    test::WriteFile(outputPath, std::string("RunForExitCode: ") + step + " failed, error " + std::to_string(error) + "\n");
    return -1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

std::string NativePath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(W(NativePath(path)).c_str(), W(mode).c_str());
}

char PathSeparator() { return '\\'; }

std::string AdbFileName() { return "adb.exe"; }

void MakeExecutable(const std::string&) {}

void MakeReadOnly(const std::string& path, bool readOnly) {
  DWORD attributes = GetFileAttributesW(W(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  attributes = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~FILE_ATTRIBUTE_READONLY;
  SetFileAttributesW(W(path).c_str(), attributes);
}

std::string ChangeFolder(const std::string& path) {
  wchar_t buffer[32768];
  DWORD n = GetCurrentDirectoryW(32768, buffer);
  std::string previous = n > 0 && n < 32768 ? wideToGbkPath(std::u16string(reinterpret_cast<char16_t*>(buffer), n))
                                            : std::string();
  if (!SetCurrentDirectoryW(W(path).c_str())) previous.clear();
  return previous;
}

bool GetEnvironment(const std::string& name, std::string& value) {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetEnvironmentVariableW(W(name).c_str(), buffer.data(), 32768);
  if (n == 0 || n >= 32768) return false;
  value = wideToGbkPath(std::u16string(reinterpret_cast<char16_t*>(buffer.data()), n));
  return true;
}

void UnsetEnvironment(const std::string& name) { _wputenv_s(W(name).c_str(), L""); }

std::vector<std::string> TemporaryFolderVariables() { return {"TMP", "TEMP"}; }

void SleepMs(unsigned ms) { Sleep(ms); }

}  // namespace vantaro::test
