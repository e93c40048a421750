#include "tests/settings/test_registry.h"

#include <vector>

namespace vantaro::settingstest {

const wchar_t* const kRegistryVariable = L"VANTARO_TEST_REGISTRY";

bool MapRegistry(const std::wstring& scratch) {
  HKEY classes = nullptr, user = nullptr;
  bool made = RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\Classes").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &classes, nullptr) == ERROR_SUCCESS &&
              RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\User").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &user, nullptr) == ERROR_SUCCESS;
  // Both keys are opened before either predefined key is mapped.
  bool mapped = made && RegOverridePredefKey(HKEY_CLASSES_ROOT, classes) == ERROR_SUCCESS &&
                RegOverridePredefKey(HKEY_CURRENT_USER, user) == ERROR_SUCCESS;
  if (classes) RegCloseKey(classes);
  if (user) RegCloseKey(user);
  return mapped;
}

bool MapRegistryFromEnvironment() {
  std::vector<wchar_t> value(512);
  DWORD n = GetEnvironmentVariableW(kRegistryVariable, value.data(), static_cast<DWORD>(value.size()));
  if (n == 0) return true;
  if (n >= value.size()) return false;
  return MapRegistry(std::wstring(value.data(), n));
}

void UnmapRegistry() {
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
}

}  // namespace vantaro::settingstest
