#pragma once
// The pieces of ui-probe: finding windows, reading them, sending input,
// reading the screen.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vantaro::probe {

bool parseNumber(const std::wstring& text, DWORD* out);
bool parseSigned(const std::wstring& text, long* out);
void printLine(const std::wstring& text);
std::wstring handleText(HWND window);
std::wstring windowText(HWND window);

// Polls find every 50 ms until it gives a window or timeoutMs passes.
HWND waitFor(DWORD timeoutMs, const std::function<HWND()>& find);
HWND findMainWindow();
HWND findByTitle(const std::wstring& title);
// The first visible top-level window named title that has a control id.
HWND findByTitle(const std::wstring& title, long id);
HWND findMessageBox();
std::wstring messageBoxText(HWND box);
bool pressOk(HWND box);
// Presses the box's button id (IDYES 6, IDNO 7).
bool pressButton(HWND box, int id);
// "main", "title=TEXT" or "0x..." (waits up to timeoutMs for the first two).
HWND resolveWindow(const std::wstring& which, DWORD timeoutMs);
// The child with control id (0: the window itself), searched at any depth.
HWND controlOf(HWND window, long id);

struct ControlInfo {
  long id;
  std::wstring className;
  bool visible;
  bool enabled;
  std::wstring text;
};
std::vector<ControlInfo> listControls(HWND window);

void clickAt(HWND window, POINT client);
void moveTo(HWND window, POINT client);
void drag(HWND window, POINT client, long dx, long dy);
bool screenPixel(HWND window, POINT client, COLORREF* colour);
bool saveScreenshot(HWND window, const std::wstring& path);

}  // namespace vantaro::probe
