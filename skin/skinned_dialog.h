#pragma once
// A dialog in the frame skin: its frame paints it and moves it by the top
// band, so a dialog's own message table holds only what is its own.

#include <windows.h>

#include <string>
#include <utility>

#include "skin/frame_skin.h"
#include "ui/dialog.h"

namespace vantaro::skin {

template <class T>
class SkinnedDialog : public ui::MappedDialog<T> {
 public:
  SkinnedDialog(int templateId, HWND parent, std::string title)
      : ui::MappedDialog<T>(templateId, parent), frame_(std::move(title)) {}

 protected:
  // The dialog's table first: a dialog may still take these messages.
  bool dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (ui::MappedDialog<T>::dispatch(message, wParam, lParam, result)) return true;
    return frame_.HandleMessage(this->handle(), message, lParam, result);
  }

  FrameSkin frame_;
};

}  // namespace vantaro::skin
