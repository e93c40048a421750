#include <windows.h>
#include <shellapi.h>

#include <string>

#include "tools/fake-adb/fake_adb.h"

namespace fakeadb {
namespace {

std::string Utf8(const wchar_t* text, int length = -1) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  if (length == -1 && !out.empty()) out.pop_back();  // the terminating zero
  return out;
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::wstring OwnPath() {
  wchar_t buffer[32768];
  DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
  return std::wstring(buffer, n < 32768 ? n : 0);
}

}  // namespace

std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) out.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  return out;
}

std::string RawCommandLine(int, char**) { return Utf8(GetCommandLineW()); }

std::string OwnFolder() {
  std::wstring path = OwnPath();
  return Utf8(path.substr(0, path.find_last_of(L"\\/") + 1).c_str());
}

std::string Environment(const char* name) {
  std::wstring wideName = Wide(name);
  wchar_t buffer[32768];
  DWORD n = GetEnvironmentVariableW(wideName.c_str(), buffer, 32768);
  return n > 0 && n < 32768 ? Utf8(buffer, static_cast<int>(n)) : std::string();
}

FILE* OpenFile(const std::string& path, const char* mode) { return _wfopen(Wide(path).c_str(), Wide(mode).c_str()); }

void SleepMs(unsigned ms) { Sleep(ms); }

bool Write(int stream, const std::string& bytes) {
  HANDLE handle = GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

long StartHolder(unsigned ms) {
  std::wstring command = L"\"" + OwnPath() + L"\" --hold " + std::to_wstring(ms);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
    return -1;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(pi.dwProcessId);
}

long OwnProcessId() { return static_cast<long>(GetCurrentProcessId()); }

int HolderMain(unsigned ms) {
  Sleep(ms);
  return 0;
}

}  // namespace fakeadb
