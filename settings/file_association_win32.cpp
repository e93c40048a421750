#include "settings/file_association.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/text.h"
#include "package/loader.h"

namespace vantaro {

namespace {

const wchar_t* const kProgIdPrefix = L"Lorimex";
const wchar_t* const kDescriptionPrefix = L"Android程序安装包 (";
const wchar_t* const kUserClasses = L"Software\\Classes\\";
const wchar_t* const kExplorerFileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
// Extensions the loader opens that stay with the program the user chose for
// them: a .zip is an archive first.
const char* const kNotOurs[] = {".zip"};

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() { close(); }

  bool create(HKEY root, const std::wstring& path) {
    close();
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &key_, nullptr) == ERROR_SUCCESS;
  }
  bool open(HKEY root, const std::wstring& path) {
    close();
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key_) == ERROR_SUCCESS;
  }
  bool openWritable(HKEY root, const std::wstring& path) {
    close();
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) == ERROR_SUCCESS;
  }
  // True when the key holds no value and no sub-key.
  bool empty() const {
    DWORD keys = 0, values = 0;
    return RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           keys == 0 && values == 0;
  }
  bool valueEquals(const wchar_t* name, const std::wstring& expected) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ || size > (expected.size() + 1) * sizeof(wchar_t)) return false;
    std::wstring data(expected.size() + 1, L'\0');
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
      return false;
    data.resize(size / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return data == expected;
  }
  bool removeValue(const wchar_t* name) const { return RegDeleteValueW(key_, name) == ERROR_SUCCESS; }
  void close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  // A plain string value, its terminating NUL counted in the size.
  void write(const wchar_t* name, const std::wstring& data) const {
    RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  // True when the default value is a string equal to expected, letter case
  // included. A value of any other length is not read at all.
  bool defaultEquals(const std::wstring& expected) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    const DWORD bare = static_cast<DWORD>(expected.size() * sizeof(wchar_t));
    if (size != bare && size != bare + sizeof(wchar_t)) return false;
    std::wstring data(expected.size() + 1, L'\0');
    DWORD read = size;
    if (RegQueryValueExW(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read) !=
            ERROR_SUCCESS ||
        read != size)
      return false;
    data.resize(expected.size());
    return data == expected;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::wstring FileAssociation::ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring FileAssociation::CommandFor(const std::wstring& programPath) {
  return L"\"" + programPath + L"\" \"%1\"";
}

std::vector<AssociatedType> FileAssociation::Types() {
  std::vector<AssociatedType> types;
  for (size_t i = 0; i < kPackageExtensionCount; ++i) {
    const char* extension = kPackageExtensions[i];
    bool ours = true;
    for (const char* other : kNotOurs) ours = ours && !equalsNoCase(extension, other);
    if (!ours) continue;
    // The extensions are plain ASCII.
    std::wstring wide(extension, extension + std::strlen(extension));
    types.push_back({wide, kProgIdPrefix + wide, kDescriptionPrefix + wide + L")"});
  }
  return types;
}

void FileAssociation::Register() {
  const std::wstring program = ProgramPath();
  const std::wstring command = CommandFor(program);
  Key key;
  for (const AssociatedType& type : Types()) {
    const std::pair<std::wstring, std::wstring> classes[] = {
        {type.extension, type.progId},
        {type.progId, type.description},
        {type.progId + L"\\DefaultIcon", program + L",0"},
        {type.progId + L"\\shell\\open\\command", command},
    };
    for (const auto& [path, data] : classes) {
      // Where the classes root refuses (a user without administrator rights),
      // the user's own classes serve the same purpose.
      if (key.create(HKEY_CLASSES_ROOT, path) || key.create(HKEY_CURRENT_USER, kUserClasses + path))
        key.write(nullptr, data);
    }
    if (key.create(HKEY_CURRENT_USER, kExplorerFileExts + type.extension)) key.write(L"Progid", type.progId);
  }
  key.close();
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

bool FileAssociation::IsRegistered() const {
  const std::wstring command = CommandFor(ProgramPath());
  Key key;
  for (const AssociatedType& type : Types()) {
    if (!key.open(HKEY_CLASSES_ROOT, type.extension) || !key.defaultEquals(type.progId)) return false;
    if (!key.open(HKEY_CLASSES_ROOT, type.progId + L"\\shell\\open\\command") || !key.defaultEquals(command))
      return false;
  }
  return true;
}

void FileAssociation::Unregister() {
  const std::wstring command = CommandFor(ProgramPath());
  // The user's own classes first: the classes root shows them above the
  // machine's, so once they are gone it shows the machine's.
  const std::pair<HKEY, std::wstring> places[] = {{HKEY_CURRENT_USER, kUserClasses}, {HKEY_CLASSES_ROOT, L""}};
  bool changed = false;
  Key key;
  for (const AssociatedType& type : Types()) {
    bool progIdGone = false;
    for (const auto& [root, prefix] : places) {
      if (!key.open(root, prefix + type.progId + L"\\shell\\open\\command") || !key.defaultEquals(command)) continue;
      key.close();
      if (RegDeleteTreeW(root, (prefix + type.progId).c_str()) == ERROR_SUCCESS) {
        progIdGone = changed = true;
        RegDeleteKeyW(root, (prefix + type.progId).c_str());
      }
      // The extension goes with it only while it still names that ProgID.
      if (key.openWritable(root, prefix + type.extension) && key.defaultEquals(type.progId)) {
        key.removeValue(nullptr);
        const bool nothingLeft = key.empty();
        key.close();
        if (nothingLeft) RegDeleteKeyW(root, (prefix + type.extension).c_str());
      }
    }
    if (progIdGone && key.openWritable(HKEY_CURRENT_USER, kExplorerFileExts + type.extension) &&
        key.valueEquals(L"Progid", type.progId))
      key.removeValue(L"Progid");
    key.close();
  }
  if (changed) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

}  // namespace vantaro
