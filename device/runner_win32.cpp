// Children through CreateProcessW with anonymous pipes. The program is
// always named as the application, so Windows neither searches for it nor
// splits its path at spaces. The inheritable pipe ends exist only while
// spawnMutex is held, so a child started by another thread of ours never
// inherits (and holds open) a pipe that is not its own.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "base/text.h"
#include "device/runner.h"
#include "device/streamed_child.h"

namespace vantaro {
namespace {

std::mutex spawnMutex;

std::vector<wchar_t> WideCommandLine(const std::string& gbk) {
  std::u16string wide = gbkToWide(gbk);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');  // CreateProcessW may write into it
  return buffer;
}

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// CreateProcessW, tried again a few times when it fails for a passing reason:
// a program file that was just written may still be held (a virus scanner
// reading it), and a busy system may be short of resources for a moment. A
// program that is missing or no program is not tried again.
BOOL StartProcess(const std::u16string& application, std::vector<wchar_t>& command, BOOL inherit, DWORD flags,
                  STARTUPINFOW& si, PROCESS_INFORMATION& pi) {
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessW(W(application), command.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr, &si, &pi))
      return TRUE;
    DWORD error = GetLastError();
    bool lasting = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_EXE_FORMAT ||
                   error == ERROR_EXE_MACHINE_TYPE_MISMATCH || error == ERROR_INVALID_NAME;
    if (lasting || attempt == 3) {
      SetLastError(error);
      return FALSE;
    }
    Sleep(100 << attempt);
  }
}

bool IsFile(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CloseIf(HANDLE& handle) {
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

bool IsBrokenPipe(DWORD error) { return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA; }

// How long RunCaptured waits for the child between looks at the pipe.
constexpr DWORD kCaptureTickMs = 10;
// After the child has ended, at most this much more is read: everything the
// child wrote fits in the pipe, anything beyond comes from its descendants.
constexpr size_t kAfterExitReadLimit = 1 << 20;

class Win32StreamedChild : public detail::StreamedChild {
 public:
  Win32StreamedChild(HANDLE process, HANDLE output, HANDLE input, HANDLE stopEvent)
      : process_(process), output_(output), input_(input), stopEvent_(stopEvent) {}
  ~Win32StreamedChild() override {
    CloseIf(thread_);
    Release();
    CloseIf(stopEvent_);
  }

  Read ReadAvailable(char* buffer, size_t capacity, size_t& got) override {
    got = 0;
    DWORD available = 0;
    if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return Broken();
    if (available == 0) return Read::Empty;
    DWORD want = available < capacity ? available : static_cast<DWORD>(capacity);
    DWORD read = 0;
    if (!ReadFile(output_, buffer, want, &read, nullptr) || read == 0) return Broken();
    got = read;
    return Read::Data;
  }

  Wake Wait(unsigned ms) override {
    HANDLE handles[2] = {process_, stopEvent_};
    DWORD r = WaitForMultipleObjects(2, handles, FALSE, ms);
    if (r == WAIT_OBJECT_0) return Wake::ChildEnded;
    if (r == WAIT_OBJECT_0 + 1) return Wake::Stop;
    return Wake::TimeOut;
  }

  void RequestStop() override {
    stop_ = true;
    if (stopEvent_) SetEvent(stopEvent_);
  }
  bool StopRequested() const override { return stop_.load(); }

  void Release() override {
    std::lock_guard<std::mutex> lock(releaseMutex_);
    CloseIf(process_);
    CloseIf(output_);
    CloseIf(input_);
  }

  bool StartReader(std::function<void()> body) override {
    auto* heapBody = new std::function<void()>(std::move(body));
    thread_ = CreateThread(nullptr, 0, &ThreadProc, heapBody, 0, &threadId_);
    if (!thread_) {
      delete heapBody;
      return false;
    }
    return true;
  }
  bool OnReaderThread() const override { return threadId_ != 0 && GetCurrentThreadId() == threadId_; }

  // The reader honours a stop request within one poll; one that has not
  // ended after 5 s (stuck in a sink) is ended by force as a last resort.
  void FinishReader() override {
    if (!thread_) return;
    if (WaitForSingleObject(thread_, 5000) == WAIT_TIMEOUT) TerminateThread(thread_, static_cast<DWORD>(-2));
    CloseIf(thread_);
  }
  void DetachReader() override { CloseIf(thread_); }

 private:
  Read Broken() { return IsBrokenPipe(GetLastError()) ? Read::Ended : Read::Failed; }

  static DWORD WINAPI ThreadProc(void* parameter) {
    auto* body = static_cast<std::function<void()>*>(parameter);
    (*body)();
    delete body;
    return 0;
  }

  HANDLE process_, output_, input_, stopEvent_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex releaseMutex_;
};

// Duplicates handle as a non-inheritable one and closes the original.
bool MakePrivate(HANDLE& handle) {
  HANDLE own = nullptr;
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, handle, self, &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
  CloseHandle(handle);
  handle = own;
  return true;
}

}  // namespace

std::string ProgramFolder() {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::string();
  std::u16string path(reinterpret_cast<const char16_t*>(buffer.data()), n);
  size_t slash = path.find_last_of(u"\\/");
  return wideToGbkPath(path.substr(0, slash == std::u16string::npos ? 0 : slash + 1));
}

std::string UserToolFolder() {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::string();
  std::u16string folder(reinterpret_cast<const char16_t*>(buffer.data()), n);
  // Only a full path: a relative one would name a folder of the current one.
  if (folder.size() < 3 || !((folder[1] == u':' && (folder[2] == u'\\' || folder[2] == u'/')) ||
                             (folder[0] == u'\\' && folder[1] == u'\\')))
    return std::string();
  if (folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return wideToGbkPath(folder + u"Vantaro\\");
}

std::string AdbPath() { return AdbPathIn(ProgramFolder()); }

std::string AdbPathIn(const std::string& programFolder) {
  // The folders our own adb may live in, in order. Nothing else is looked
  // at: a bare "adb" would be found in the current folder first.
  for (const std::string& folder : {programFolder, UserToolFolder()}) {
    if (folder.empty()) continue;
    std::string candidate = folder + "adb.exe";
    if (IsFile(gbkToWide(candidate))) return candidate;
  }
  return std::string();
}

std::string NamedToolPath(const std::string& name) {
  std::u16string wide = gbkToWide(name);
  if (wide.empty()) return std::string();
  std::vector<wchar_t> full(32768);
  DWORD n = GetFullPathNameW(W(wide), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return std::string();
  std::u16string path(reinterpret_cast<const char16_t*>(full.data()), n);
  return IsFile(path) ? wideToGbkPath(path) : std::string();
}

namespace detail {

bool IsAbsolutePath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() < 3) return false;
  return (letter(path[0]) && path[1] == ':' && separator(path[2])) || (separator(path[0]) && separator(path[1]));
}

}  // namespace detail

CapturedOutput CommandRunner::RunCaptured(const std::string& commandLine, size_t limit, unsigned timeoutMs) {
  CapturedOutput result;
  std::string program = detail::AbsoluteProgram(commandLine);
  if (program.empty()) {
    result.status = RunStatus::StartFailed;
    return result;
  }
  std::u16string application = gbkToWide(program);
  std::vector<wchar_t> command = WideCommandLine(commandLine);
  HANDLE read = nullptr, write = nullptr;
  PROCESS_INFORMATION pi = {};
  {
    std::lock_guard<std::mutex> lock(spawnMutex);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &sa, 0)) {
      result.status = RunStatus::PipeFailed;
      return result;
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = write;
    si.hStdError = write;
    BOOL started = StartProcess(application, command, TRUE, NORMAL_PRIORITY_CLASS, si, pi);
    CloseHandle(write);
    if (!started) {
      CloseHandle(read);
      result.status = RunStatus::StartFailed;
      return result;
    }
  }
  CloseHandle(pi.hThread);
  result.status = RunStatus::Started;

  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  auto msLeft = [deadline]() -> DWORD {
    ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
  };
  std::string kept;
  char buffer[4096];
  bool exited = false, timedOut = false;
  size_t afterExit = 0;
  for (;;) {
    if (!exited && msLeft() == 0) {
      timedOut = true;
      break;
    }
    DWORD available = 0;
    if (!PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr)) {
      // Every writer has closed the pipe: only the exit is left to wait for.
      if (!exited) timedOut = WaitForSingleObject(pi.hProcess, msLeft()) != WAIT_OBJECT_0;
      break;
    }
    if (available > 0) {
      DWORD got = 0;
      DWORD want = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
      if (!ReadFile(read, buffer, want, &got, nullptr) || got == 0) {
        if (!exited) timedOut = WaitForSingleObject(pi.hProcess, msLeft()) != WAIT_OBJECT_0;
        break;
      }
      if (kept.size() < limit) kept.append(buffer, std::min<size_t>(got, limit - kept.size()));
      if (exited && (afterExit += got) >= kAfterExitReadLimit) break;
      continue;
    }
    if (exited) break;  // ended, and nothing more is available
    if (WaitForSingleObject(pi.hProcess, std::min<DWORD>(kCaptureTickMs, msLeft())) == WAIT_OBJECT_0) exited = true;
  }
  if (timedOut) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
    result.status = RunStatus::TimedOut;
  }
  CloseHandle(read);
  CloseHandle(pi.hProcess);
  result.output = kept.substr(0, kept.find('\0'));
  return result;
}

void CommandRunner::LaunchDetached(const std::string& commandLine) {
  std::string program = detail::AbsoluteProgram(commandLine);
  if (program.empty()) return;
  std::u16string application = gbkToWide(program);
  std::vector<wchar_t> command = WideCommandLine(commandLine);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  // No console window, and nothing written into the console of a caller
  // that has one.
  if (StartProcess(application, command, FALSE, CREATE_NO_WINDOW, si, pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

namespace detail {

std::shared_ptr<StreamedChild> StartStreamedChild(const std::string& commandLine) {
  std::string program = AbsoluteProgram(commandLine);
  if (program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::u16string application = gbkToWide(program);
  std::vector<wchar_t> command = WideCommandLine(commandLine);
  HANDLE outRead = nullptr, outWrite = nullptr, errWrite = nullptr, inRead = nullptr, inWrite = nullptr;
  PROCESS_INFORMATION pi = {};
  bool ok;
  DWORD error = 0;
  {
    std::lock_guard<std::mutex> lock(spawnMutex);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE self = GetCurrentProcess();
    ok = CreatePipe(&outRead, &outWrite, &sa, 0) &&
         DuplicateHandle(self, outWrite, self, &errWrite, 0, TRUE, DUPLICATE_SAME_ACCESS) &&
         CreatePipe(&inRead, &inWrite, &sa, 0) && MakePrivate(outRead) && MakePrivate(inWrite);
    if (ok) {
      STARTUPINFOW si = {};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
      si.wShowWindow = SW_HIDE;
      si.hStdOutput = outWrite;
      si.hStdError = errWrite;
      si.hStdInput = inRead;
      ok = StartProcess(application, command, TRUE, CREATE_NEW_CONSOLE, si, pi);
    }
    if (!ok) error = GetLastError();
    // The parent keeps only its own ends, so the output pipe breaks once the
    // child and its descendants have closed theirs.
    CloseIf(outWrite);
    CloseIf(errWrite);
    CloseIf(inRead);
  }
  HANDLE stopEvent = ok ? CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
  if (ok && !stopEvent) {
    error = GetLastError();
    CloseHandle(pi.hProcess);
    ok = false;
  }
  if (pi.hThread) CloseHandle(pi.hThread);
  if (!ok) {
    CloseIf(outRead);
    CloseIf(inWrite);
    SetLastError(error);
    return nullptr;
  }
  return std::make_shared<Win32StreamedChild>(pi.hProcess, outRead, inWrite, stopEvent);
}

}  // namespace detail

}  // namespace vantaro
