#pragma once
// The application object: one instance of the program shows a window; a
// second start hands its file to the running instance and ends.

#include <string>
#include <string_view>
#include <vector>

namespace vantaro::app {

class InstallerApp {
 public:
  // Runs the program for its command line (the text after the program's
  // own name: one .apk path, quotes allowed, several, or nothing). Returns the
  // process's exit code when the main window has closed or the file has
  // been handed over.
  int Run(std::wstring_view commandLine);
};

// The files a command line names: the whole text when it names one file
// (quotes allowed, spaces kept) or names none; otherwise each argument, read
// as the shell writes them, that names an existing file.
std::vector<std::wstring> StartFiles(std::wstring_view commandLine);

// A file name from the system (command line, dropped files, the hand-over)
// as the program's GBK path: characters GBK lacks are kept as escapes, so
// that the path still opens the file it names.
std::string PathFromWide(std::wstring_view name);

}  // namespace vantaro::app
