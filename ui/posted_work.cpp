#include "ui/posted_work.h"

namespace vantaro::ui {

UINT PostedWork::message() {
  static const UINT id = RegisterWindowMessageW(L"Vantaro.PostedWork");
  return id;
}

void PostedWork::bind(HWND window) {
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = window;
}

void PostedWork::unbind() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = nullptr;
  dropped.swap(pending_);
}

bool PostedWork::post(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!window_ || !work) return false;
  bool wake = pending_.empty();
  pending_.push_back(std::move(work));
  if (wake && !PostMessageW(window_, message(), 0, 0)) {
    pending_.pop_back();
    return false;
  }
  return true;
}

void PostedWork::runPending() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pending_.empty()) return;
      work = std::move(pending_.front());
      pending_.pop_front();
    }
    work();
  }
}

}  // namespace vantaro::ui
