// ui-probe: drives and reads the windows of another program, for the GUI
// tests (run under Wine). Prints UTF-8; exit code 0 on success, 1 when what
// was asked for is not there (or did not come in time), 2 on a usage error.
//
//   ui-probe find [--title TEXT [--control ID]] [--timeout MS]
//   ui-probe list WINDOW
//   ui-probe text WINDOW ID
//   ui-probe click WINDOW ID
//   ui-probe click-at WINDOW X Y
//   ui-probe move WINDOW X Y
//   ui-probe drag WINDOW X Y DX DY
//   ui-probe key WINDOW ID VK
//   ui-probe wait-text WINDOW ID TEXT [--timeout MS]
//   ui-probe msgbox [--timeout MS]
//   ui-probe msgbox-ok BOX
//   ui-probe msgbox-press BOX ID      (6 "是", 7 "否")
//   ui-probe pixel WINDOW X Y
//   ui-probe rect WINDOW
//   ui-probe screenshot WINDOW FILE.png
//   ui-probe close WINDOW
//
// WINDOW is "main" (the top-level window whose "Vantaro" property is 1103),
// "title=TEXT", or a handle as printed by find ("0x..."). ID 0 names the
// window itself. X and Y are client coordinates of WINDOW.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "tools/ui-probe/probe.h"

using namespace vantaro::probe;

namespace {

int usage() {
  std::fputs(
      "usage: ui-probe find [--title TEXT [--control ID]] [--timeout MS] | list WINDOW | text WINDOW ID | click WINDOW ID |\n"
      "       click-at WINDOW X Y | move WINDOW X Y | drag WINDOW X Y DX DY | key WINDOW ID VK |\n"
      "       wait-text WINDOW ID TEXT [--timeout MS] | msgbox [--timeout MS] | msgbox-ok BOX | msgbox-press BOX ID |\n"
      "       pixel WINDOW X Y | rect WINDOW | screenshot WINDOW FILE.png | close WINDOW\n",
      stderr);
  return 2;
}

int fail(const char* what) {
  std::fprintf(stderr, "ui-probe: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n alone
  std::vector<std::wstring> args(argv + 1, argv + argc);
  DWORD timeout = 5000;
  std::wstring title;
  bool titled = false;
  long withControl = 0;
  for (size_t i = 0; i + 1 < args.size();) {
    if (args[i] == L"--timeout") {
      if (!parseNumber(args[i + 1], &timeout)) return usage();
      args.erase(args.begin() + i, args.begin() + i + 2);
    } else if (args[i] == L"--control") {
      if (!parseSigned(args[i + 1], &withControl)) return usage();
      args.erase(args.begin() + i, args.begin() + i + 2);
    } else if (args[i] == L"--title") {
      title = args[i + 1];
      titled = true;
      args.erase(args.begin() + i, args.begin() + i + 2);
    } else {
      ++i;
    }
  }
  if (args.empty()) return usage();
  const std::wstring& command = args[0];
  auto number = [&](size_t index, long* out) { return index < args.size() && parseSigned(args[index], out); };

  if (command == L"find") {
    HWND window = waitFor(timeout, [&] {
      if (!titled) return findMainWindow();
      return withControl ? findByTitle(title, withControl) : findByTitle(title);
    });
    if (!window) return fail("no such window");
    printLine(handleText(window));
    return 0;
  }
  if (command == L"msgbox") {
    HWND box = waitFor(timeout, [] { return findMessageBox(); });
    if (!box) return fail("no message box");
    printLine(handleText(box) + L"\t" + windowText(box) + L"\t" + messageBoxText(box));
    return 0;
  }

  if (args.size() < 2) return usage();
  HWND window = resolveWindow(args[1], timeout);
  if (!window) return fail("no such window");

  if (command == L"list") {
    for (const ControlInfo& c : listControls(window))
      printLine(std::to_wstring(c.id) + L"\t" + c.className + L"\t" + (c.visible ? L"visible" : L"hidden") + L"\t" +
                (c.enabled ? L"enabled" : L"disabled") + L"\t" + c.text);
    return 0;
  }
  if (command == L"rect") {
    RECT r;
    GetWindowRect(window, &r);
    printLine(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) + L" " +
              std::to_wstring(r.bottom));
    return 0;
  }
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"msgbox-ok") return pressOk(window) ? 0 : fail("no OK button");
  if (command == L"msgbox-press") {
    long id;
    if (!number(2, &id)) return usage();
    return pressButton(window, static_cast<int>(id)) ? 0 : fail("no such button");
  }

  long a = 0, b = 0, c = 0, d = 0;
  if (command == L"text" && number(2, &a)) {
    HWND control = controlOf(window, a);
    if (!control) return fail("no such control");
    printLine(windowText(control));
    return 0;
  }
  if (command == L"click" && number(2, &a)) {
    HWND control = controlOf(window, a);
    if (!control) return fail("no such control");
    PostMessageW(control, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"key" && number(2, &a) && number(3, &b)) {
    HWND control = controlOf(window, a);
    if (!control) return fail("no such control");
    PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(b), 1);
    PostMessageW(control, WM_KEYUP, static_cast<WPARAM>(b), 0xC0000001);
    return 0;
  }
  if (command == L"wait-text" && number(2, &a) && args.size() >= 4) {
    HWND control = controlOf(window, a);
    if (!control) return fail("no such control");
    const std::wstring& want = args[3];
    HWND found = waitFor(timeout, [&] { return windowText(control) == want ? control : nullptr; });
    if (!found) {
      printLine(windowText(control));
      return fail("text did not appear");
    }
    return 0;
  }
  if (command == L"click-at" && number(2, &a) && number(3, &b)) {
    clickAt(window, POINT{a, b});
    return 0;
  }
  if (command == L"move" && number(2, &a) && number(3, &b)) {
    moveTo(window, POINT{a, b});
    return 0;
  }
  if (command == L"drag" && number(2, &a) && number(3, &b) && number(4, &c) && number(5, &d)) {
    drag(window, POINT{a, b}, c, d);
    return 0;
  }
  if (command == L"pixel" && number(2, &a) && number(3, &b)) {
    COLORREF colour;
    if (!screenPixel(window, POINT{a, b}, &colour)) return fail("pixel not readable");
    wchar_t text[8];
    std::swprintf(text, 8, L"%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    printLine(text);
    return 0;
  }
  if (command == L"screenshot" && args.size() >= 3) {
    return saveScreenshot(window, args[2]) ? 0 : fail("screenshot failed");
  }
  return usage();
}
