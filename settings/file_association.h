#pragma once
// Makes this program the shell's handler for Android packages: ".apk" and
// the split bundles ".xapk", ".apks" and ".apkm" (double-clicking one starts
// the program with its path), and tells whether it is.

#include <string>
#include <vector>

namespace vantaro {

// One registered file type (registry texts in UTF-16, as stored): the extension's default value names the ProgID,
// whose description, icon and open command are ours.
struct AssociatedType {
  std::wstring extension;    // ".apk"
  std::wstring progId;       // "Lorimex.apk"
  std::wstring description;  // "Android程序安装包 (.apk)"
};

class FileAssociation {
 public:
  // The types registered, ".apk" first: every extension the package loader
  // opens, except those that belong to other programs (".zip" is the
  // archiver's, whatever it holds). The one list that registering, the
  // check and any later removal go by.
  static std::vector<AssociatedType> Types();

  // Writes, for each type in order: the extension -> its ProgID; the
  // ProgID's description, its icon and its open command; the current user's
  // Explorer "Progid" for the extension. Then tells the shell once that
  // associations changed. A classes-root key that cannot be written is
  // written to the current user's classes instead (which the classes root
  // shows first); a key that cannot be written there either is skipped.
  // Failures are silent.
  void Register();

  // True when every type's extension names its ProgID and that ProgID's open
  // command starts this program file at its current path, compared exactly.
  bool IsRegistered() const;

  // Takes back what Register wrote, but only where it still starts this
  // program file: a type whose ProgID's open command names another program
  // (or another copy of this one) keeps it, and an extension that another
  // program has made its own keeps its value. Tells the shell when anything
  // went. For the uninstaller.
  void Unregister();

  // The open command for a program path: the path in double quotes, a space,
  // "%1" in double quotes.
  static std::wstring CommandFor(const std::wstring& programPath);
  // This program file's full path, at any length.
  static std::wstring ProgramPath();
};

}  // namespace vantaro
