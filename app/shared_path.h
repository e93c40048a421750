#pragma once
// The path that a second start hands to the running instance: one UTF-16
// path, as long as Windows allows, in a named shared-memory object that every
// instance maps, guarded by a named mutex.
//
// A start stores its path and tells the running window while it holds the
// mutex; the window takes the path and empties the buffer under the mutex
// too. A start whose predecessor's path has not been taken yet waits for
// that (a few seconds at most, so that a hung instance holds no start up for
// long) and only then replaces it. So the window reads each path whole and
// once: two starts close together both arrive, in turn, as long as the
// window answers within the wait; otherwise the later path replaces the
// earlier one. A message without a path opens nothing.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vantaro::app {

class SharedPathBuffer {
 public:
  static constexpr size_t kUnits = 32768;  // a path of up to 32767 units and its zero
  static constexpr DWORD kWaitMs = 5000;

  // name: the shared-memory object's; the mutex is named after it.
  explicit SharedPathBuffer(const wchar_t* name = L"Local\\Vantaro.HandOver");
  ~SharedPathBuffer();
  SharedPathBuffer(const SharedPathBuffer&) = delete;
  SharedPathBuffer& operator=(const SharedPathBuffer&) = delete;

  bool ready() const { return view_ != nullptr; }

  // Stores path, without one pair of surrounding double quotes, once the
  // path handed over before has been taken (or waitMs have passed), and
  // calls notify while the buffer is still locked. False, with nothing
  // left stored, when there is no path, it does not fit, the buffer cannot
  // be had, or notify fails.
  bool HandOver(std::wstring_view path, const std::function<bool()>& notify, DWORD waitMs = kWaitMs);
  // The path handed over, and the buffer emptied; empty when there is none.
  std::wstring Take();

 private:
  class Lock;
  HANDLE mapping_ = nullptr;
  HANDLE mutex_ = nullptr;
  wchar_t* view_ = nullptr;
};

// The shell's PathUnquoteSpaces: one pair of double quotes is removed when
// the text both starts and ends with one.
std::wstring_view UnquotePath(std::wstring_view path);

}  // namespace vantaro::app
