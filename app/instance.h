#pragma once
// How instances of the program find each other: the running instance's
// main window carries the property "Vantaro" = 1103, and a second start
// posts it the hand-over message.

#include <windows.h>

namespace vantaro::app {

inline constexpr wchar_t kInstanceProperty[] = L"Vantaro";
constexpr UINT_PTR kInstanceMarker = 1103;
constexpr UINT kHandOverMessage = WM_USER + 100;  // 1124, both parameters 0

// Marks window as the running instance's main window.
void MarkInstanceWindow(HWND window);
// The first top-level window that carries the marker, or null.
HWND FindRunningInstance();
// Takes the marker off every window of this process, so that a new start
// no longer sees this process as the running instance.
void ForgetInstanceMarkers();

}  // namespace vantaro::app
