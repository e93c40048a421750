#pragma once
// Tests keep the registry of the machine untouched: the classes root and the
// current user's key are mapped (for this process only) onto keys of a
// scratch key under the real current user's key. The variable
// VANTARO_TEST_REGISTRY names that scratch key (relative to the current
// user's key), so that a child process maps the same keys.

#include <windows.h>

#include <string>

namespace vantaro::settingstest {

extern const wchar_t* const kRegistryVariable;

// Maps the classes root onto SCRATCH\Classes and the current user onto
// SCRATCH\User (both created when missing). False when it cannot.
bool MapRegistry(const std::wstring& scratch);
// Maps whatever VANTARO_TEST_REGISTRY names; true when it names nothing.
bool MapRegistryFromEnvironment();
// Gives both back to the real keys.
void UnmapRegistry();

}  // namespace vantaro::settingstest
