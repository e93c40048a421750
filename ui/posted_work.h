#pragma once
// Work handed to a window's own thread. Any thread may post(); the window's
// thread runs the closures, in order, when it receives message(). Once the
// window is gone (unbind), posts are refused and pending work is dropped, so
// nothing outlives the window it was meant for.

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace vantaro::ui {

class PostedWork {
 public:
  PostedWork() = default;
  PostedWork(const PostedWork&) = delete;
  PostedWork& operator=(const PostedWork&) = delete;

  // The message that wakes the window's thread.
  static UINT message();

  void bind(HWND window);
  void unbind();
  // False when no window is bound (the closure is dropped).
  bool post(std::function<void()> work);
  // Called by the window procedure on message().
  void runPending();

 private:
  std::mutex mutex_;
  HWND window_ = nullptr;
  std::deque<std::function<void()>> pending_;
};

}  // namespace vantaro::ui
