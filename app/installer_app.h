#pragma once
// The application object: one instance of the program shows a window; a
// second start hands its file to the running instance and ends.

#include <string_view>

namespace vantaro::app {

class InstallerApp {
 public:
  // Runs the program for its command line (the text after the program's
  // own name: one .apk path, quotes allowed, or nothing). Returns the
  // process's exit code when the main window has closed or the file has
  // been handed over.
  int Run(std::wstring_view commandLine);
};

}  // namespace vantaro::app
