#pragma once
// vantaro.exe as a user meets it, for the GUI tests: a copy in a folder of
// its own (with fake-adb as adb.exe beside it, or without), started as a
// process, read and driven from outside through its windows.

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "support.h"

namespace vantaro::apptest {

// A fixture package's Windows path (GBK): of tests/fixtures/apk, and of the
// split bundles in tests/fixtures/bundles.
std::string Fixture(const std::string& name);
std::string BundleFixture(const std::string& name);

class Program {
 public:
  // exe: the program file to copy (vantaro.exe unless a test needs its
  // crash-test build); leaf: the start of its folder's name.
  explicit Program(bool withAdb = true, const char* exe = VANTARO_EXE, const std::string& leaf = "app");
  ~Program();  // ends every process it started that still runs
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  const std::string& folder() const { return folder_.path(); }
  // Starts the program with its command line (GBK, after the program's
  // name); the process, or null.
  HANDLE Start(const std::string& arguments);
  // Ends a process (by its handle) and waits for it.
  static void End(HANDLE process);

 private:
  test::TempFolder folder_;
  std::vector<HANDLE> processes_;
};

// The marked main window of a process (0: any process), waiting up to ms.
HWND MainWindowOf(DWORD processId, unsigned ms = 30000);
std::vector<HWND> MarkedWindows();
DWORD ProcessOf(HWND window);

// A control's text (GBK).
std::string Text(HWND window, int id);
// Waits until the control shows text; the text it shows at the end.
std::string WaitForText(HWND window, int id, const std::string& text, unsigned ms = 30000);
// Posts a click to a button.
void Click(HWND window, int id);
// Waits for a process to end; its exit code, or STILL_ACTIVE.
DWORD WaitForExit(HANDLE process, unsigned ms = 30000);

struct TreeLine {
  int depth;
  std::string text;  // GBK
  int image;
  bool expanded;
  bool operator==(const TreeLine& o) const {
    return depth == o.depth && text == o.text && image == o.image && expanded == o.expanded;
  }
};
void PrintTo(const TreeLine& line, std::ostream* out);
// Every item of a tree view in another process, in display order.
std::vector<TreeLine> ReadTree(HWND tree);

// The pixels of a window's area on the screen, as RGB colours.
struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  size_t count(COLORREF colour) const;
};
ScreenPixels CaptureClient(HWND window);

}  // namespace vantaro::apptest
