#pragma once
// Makes this program the shell's handler for ".apk" files (double-clicking a
// package starts it with the package's path) and tells whether it is.

#include <string>

namespace vantaro {

// The registry texts of the registration (UTF-16, as stored).
extern const wchar_t* const kApkExtension;  // ".apk"
extern const wchar_t* const kApkProgId;     // "Lorimex.apk"

class FileAssociation {
 public:
  // Writes, in order: ".apk" -> the ProgID; the ProgID's description, its
  // icon and its open command; the current user's Explorer "Progid" for
  // ".apk"; then tells the shell that associations changed. A classes-root
  // key that cannot be written is written to the current user's classes
  // instead (which the classes root shows first); a key that cannot be
  // written there either is skipped. Failures are silent.
  void Register();

  // True when ".apk" names the ProgID and the ProgID's open command starts
  // this program file at its current path, compared exactly.
  bool IsRegistered() const;

  // The open command for a program path: the path in double quotes, a space,
  // "%1" in double quotes.
  static std::wstring CommandFor(const std::wstring& programPath);
  // This program file's full path, at any length.
  static std::wstring ProgramPath();
};

}  // namespace vantaro
