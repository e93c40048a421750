#include "tools/ui-probe/probe.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cwchar>
#include <memory>

namespace vantaro::probe {

bool parseNumber(const std::wstring& text, DWORD* out) {
  long value;
  if (!parseSigned(text, &value) || value < 0) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

bool parseSigned(const std::wstring& text, long* out) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  long value = std::wcstol(text.c_str(), &end, 0);
  while (end && (*end == L'\r' || *end == L' ')) ++end;
  if (!end || end == text.c_str() || *end) return false;
  *out = value;
  return true;
}

void printLine(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  utf8 += '\n';
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

std::wstring handleText(HWND window) {
  wchar_t text[32];
  std::swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return text;
}

std::wstring windowText(HWND window) {
  // WM_GETTEXT works across processes (GetWindowText would not ask them).
  LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

HWND waitFor(DWORD timeoutMs, const std::function<HWND()>& find) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND found = find()) return found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

namespace {

struct Search {
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (search->match(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND findTopLevel(std::function<bool(HWND)> match) {
  Search search{std::move(match)};
  EnumWindows(&visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring className(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

}  // namespace

HWND findMainWindow() {
  return findTopLevel([](HWND w) { return GetPropW(w, L"Vantaro") == reinterpret_cast<HANDLE>(1103); });
}

HWND findByTitle(const std::wstring& title) {
  return findTopLevel([&](HWND w) { return IsWindowVisible(w) && windowText(w) == title; });
}

HWND findByTitle(const std::wstring& title, long id) {
  return findTopLevel([&](HWND w) { return IsWindowVisible(w) && windowText(w) == title && controlOf(w, id); });
}

HWND findMessageBox() {
  return findTopLevel([](HWND w) {
    return IsWindowVisible(w) && className(w) == L"#32770" && (GetDlgItem(w, IDOK) || GetDlgItem(w, IDYES)) &&
           !GetPropW(w, L"Vantaro");
  });
}

std::wstring messageBoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (className(child) != L"Static") continue;
    std::wstring part = windowText(child);
    if (part.empty()) continue;
    if (!text.empty()) text += L" ";
    text += part;
  }
  return text;
}

bool pressOk(HWND box) { return pressButton(box, IDOK); }

bool pressButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (!button) return false;
  PostMessageW(button, BM_CLICK, 0, 0);
  return true;
}

HWND resolveWindow(const std::wstring& which, DWORD timeoutMs) {
  if (which == L"main") return waitFor(timeoutMs, findMainWindow);
  if (which.rfind(L"title=", 0) == 0) {
    std::wstring title = which.substr(6);
    return waitFor(timeoutMs, [&] { return findByTitle(title); });
  }
  long value;
  if (!parseSigned(which, &value)) return nullptr;
  HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
  return IsWindow(window) ? window : nullptr;
}

HWND controlOf(HWND window, long id) {
  if (id == 0) return window;
  Search search{[&](HWND w) { return GetDlgCtrlID(w) == id; }};
  EnumChildWindows(window, &visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<ControlInfo> listControls(HWND window) {
  std::vector<ControlInfo> controls;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    controls.push_back({GetDlgCtrlID(child), className(child), IsWindowVisible(child) != FALSE,
                        IsWindowEnabled(child) != FALSE, windowText(child)});
  return controls;
}

namespace {

void sendMouse(DWORD flags, POINT screen) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
  Sleep(30);
}

POINT toScreen(HWND window, POINT client) {
  ClientToScreen(window, &client);
  return client;
}

}  // namespace

void clickAt(HWND window, POINT client) {
  POINT at = toScreen(window, client);
  sendMouse(MOUSEEVENTF_MOVE, at);
  sendMouse(MOUSEEVENTF_LEFTDOWN, at);
  sendMouse(MOUSEEVENTF_LEFTUP, at);
}

void moveTo(HWND window, POINT client) {
  sendMouse(MOUSEEVENTF_MOVE, toScreen(window, client));
  Sleep(200);
}

void drag(HWND window, POINT client, long dx, long dy) {
  POINT at = toScreen(window, client);
  sendMouse(MOUSEEVENTF_MOVE, at);
  sendMouse(MOUSEEVENTF_LEFTDOWN, at);
  const int steps = 10;
  for (int i = 1; i <= steps; ++i)
    sendMouse(MOUSEEVENTF_MOVE, POINT{at.x + dx * i / steps, at.y + dy * i / steps});
  sendMouse(MOUSEEVENTF_LEFTUP, POINT{at.x + dx, at.y + dy});
  Sleep(200);
}

bool screenPixel(HWND window, POINT client, COLORREF* colour) {
  POINT at = toScreen(window, client);
  HDC screen = GetDC(nullptr);
  *colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return *colour != CLR_INVALID;
}

namespace {

bool pngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::unique_ptr<char[]> buffer(new char[bytes]);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i)
    if (std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  return false;
}

}  // namespace

bool saveScreenshot(HWND window, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  // A Unix path names the same file through drive Z:.
  std::wstring target = !path.empty() && path[0] == L'/' ? L"Z:" + path : path;

  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, previous);
    CLSID png;
    if (pngEncoder(&png)) {
      Gdiplus::Bitmap image(bitmap, nullptr);
      saved = image.Save(target.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

}  // namespace vantaro::probe
