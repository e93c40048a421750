#include "program.h"

#include <commctrl.h>

#include <cstdio>

#include "base/text.h"

namespace vantaro::apptest {
namespace {

std::wstring W(const std::string& gbk) {
  std::u16string wide = gbkToWide(gbk);
  return std::wstring(wide.begin(), wide.end());
}

std::string Gbk(const std::wstring& wide) {
  return wideToGbk(std::u16string(wide.begin(), wide.end()));
}

bool Marked(HWND window) { return GetPropW(window, L"Vantaro") == reinterpret_cast<HANDLE>(1103); }

BOOL CALLBACK CollectMarked(HWND window, LPARAM found) {
  if (Marked(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

}  // namespace

std::string Fixture(const std::string& name) { return test::NativePath(VANTARO_FIXTURE_DIR "/apk/" + name); }
std::string BundleFixture(const std::string& name) {
  return test::NativePath(VANTARO_FIXTURE_DIR "/bundles/" + name);
}

Program::Program(bool withAdb, const char* exe, const std::string& leaf) : folder_(leaf) {
  CopyFileW(W(test::NativePath(exe)).c_str(), W(folder() + "vantaro.exe").c_str(), FALSE);
  if (withAdb) CopyFileW(W(test::NativePath(FAKE_ADB_PATH)).c_str(), W(folder() + "adb.exe").c_str(), FALSE);
}

Program::~Program() {
  for (HANDLE process : processes_) {
    End(process);
    CloseHandle(process);
  }
}

HANDLE Program::Start(const std::string& arguments) {
  std::wstring command = L"\"" + W(folder() + "vantaro.exe") + L"\"";
  if (!arguments.empty()) command += L" " + W(arguments);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "program: cannot start vantaro.exe (error %lu)\n", GetLastError());
    return nullptr;
  }
  CloseHandle(pi.hThread);
  processes_.push_back(pi.hProcess);
  return pi.hProcess;
}

void Program::End(HANDLE process) {
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
  }
}

std::vector<HWND> MarkedWindows() {
  std::vector<HWND> found;
  EnumWindows(&CollectMarked, reinterpret_cast<LPARAM>(&found));
  return found;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

HWND MainWindowOf(DWORD processId, unsigned ms) {
  for (unsigned waited = 0;; waited += 50) {
    // Visible once its initialisation has ended.
    for (HWND window : MarkedWindows())
      if ((processId == 0 || ProcessOf(window) == processId) && IsWindowVisible(window)) return window;
    if (waited >= ms) return nullptr;
    Sleep(50);
  }
}

std::string Text(HWND window, int id) {
  HWND control = id ? GetDlgItem(window, id) : window;
  if (!control) return "(no control)";
  wchar_t buffer[1024] = {};
  LRESULT got = SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
  return Gbk(std::wstring(buffer, got > 0 ? static_cast<size_t>(got) : 0));
}

std::string WaitForText(HWND window, int id, const std::string& text, unsigned ms) {
  for (unsigned waited = 0;; waited += 50) {
    std::string now = Text(window, id);
    if (now == text || waited >= ms) return now;
    Sleep(50);
  }
}

void Click(HWND window, int id) { PostMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0); }

DWORD WaitForExit(HANDLE process, unsigned ms) {
  DWORD waited = WaitForSingleObject(process, ms);
  if (waited == WAIT_FAILED) std::fprintf(stderr, "program: cannot wait for the process (error %lu)\n", GetLastError());
  if (waited != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  return code;
}

void PrintTo(const TreeLine& line, std::ostream* out) {
  *out << "{" << line.depth << ", \"" << gbkToUtf8(line.text) << "\", " << line.image << ", "
       << (line.expanded ? "expanded" : "collapsed") << "}";
}

std::vector<TreeLine> ReadTree(HWND tree) {
  std::vector<TreeLine> lines;
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, ProcessOf(tree));
  if (!process) return lines;
  // The item record and its text buffer live in the tree's own process.
  constexpr size_t kTextUnits = 512;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + kTextUnits * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  if (!remote) {
    CloseHandle(process);
    return lines;
  }
  auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
  auto next = [&](LPARAM item, WPARAM how) { return SendMessageW(tree, TVM_GETNEXTITEM, how, item); };
  auto visit = [&](auto& self, LPARAM item, int depth) -> void {
    for (; item; item = next(item, TVGN_NEXT)) {
      TVITEMW record{};
      record.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
      record.hItem = reinterpret_cast<HTREEITEM>(item);
      record.stateMask = TVIS_EXPANDED;
      record.pszText = remoteText;
      record.cchTextMax = kTextUnits;
      WriteProcessMemory(process, remote, &record, sizeof record, nullptr);
      SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
      ReadProcessMemory(process, remote, &record, sizeof record, nullptr);
      wchar_t text[kTextUnits] = {};
      ReadProcessMemory(process, remoteText, text, sizeof text - sizeof(wchar_t), nullptr);
      lines.push_back({depth, Gbk(text), record.iImage, (record.state & TVIS_EXPANDED) != 0});
      self(self, next(item, TVGN_CHILD), depth + 1);
    }
  };
  visit(visit, next(0, TVGN_ROOT), 0);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return lines;
}

size_t ScreenPixels::count(COLORREF colour) const {
  size_t n = 0;
  for (COLORREF c : pixels) n += c == colour;
  return n;
}

ScreenPixels CaptureClient(HWND window) {
  ScreenPixels shot;
  RECT client;
  if (!GetClientRect(window, &client)) return shot;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  shot.width = client.right;
  shot.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const auto* values = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < shot.width * shot.height; ++i)
    shot.pixels.push_back(RGB((values[i] >> 16) & 0xFF, (values[i] >> 8) & 0xFF, values[i] & 0xFF));
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

}  // namespace vantaro::apptest
