#pragma once
// The path that a second start hands to the running instance: 260 bytes
// (one GBK path and its terminating zero) in a named shared-memory object
// that every instance maps, guarded by a named mutex so that a write and a
// read never meet halfway.

#include <windows.h>

#include <string>
#include <string_view>

namespace vantaro::app {

class SharedPathBuffer {
 public:
  static constexpr size_t kSize = 260;

  // name: the shared-memory object's; the mutex is named after it.
  explicit SharedPathBuffer(const wchar_t* name = L"Local\\Vantaro.SharedPath");
  ~SharedPathBuffer();
  SharedPathBuffer(const SharedPathBuffer&) = delete;
  SharedPathBuffer& operator=(const SharedPathBuffer&) = delete;

  bool ready() const { return view_ != nullptr; }

  // Stores path, without one pair of surrounding double quotes. A path that
  // does not fit (259 bytes and its zero) hands over nothing: the buffer is
  // emptied and false returned.
  bool Write(std::string_view path);
  // The stored path; empty when none or when the buffer is unavailable.
  std::string Read();

 private:
  class Lock;
  HANDLE mapping_ = nullptr;
  HANDLE mutex_ = nullptr;
  char* view_ = nullptr;
};

// The shell's PathUnquoteSpaces: one pair of double quotes is removed when
// the text both starts and ends with one.
std::string_view UnquotePath(std::string_view path);

}  // namespace vantaro::app
