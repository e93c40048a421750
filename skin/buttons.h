#pragma once
// Owner-drawn push buttons, caption buttons and check boxes, painted from
// the bitmaps of res/vantaro.rc.

#include <windows.h>

#include <atomic>

#include "skin/check_box_phases.h"
#include "ui/control.h"
#include "ui/gdi.h"

namespace vantaro::skin {

// Shared by SkinButton and CaptionButton: owner-draw style on attach, and the
// hover flag kept by mouse tracking.
class HoverButton : public ui::Control {
 public:
  bool hovering() const { return hover_; }

 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool hover_ = false;
  bool tracking_ = false;
};

// The ordinary push button: an 82 x 30 frame of strip 145 (normal, hover,
// pressed), an optional 16 x 16 icon and the caption.
class SkinButton : public HoverButton {
 public:
  SkinButton();

  // Loads icon iconId and shows it from the next paint; safe from any thread
  // (the caller invalidates the button when it is already visible).
  HICON SetIcon(int iconId);

  bool drawItem(const DRAWITEMSTRUCT& item) override;

 private:
  ui::Bitmap strip_;
  std::atomic<HICON> icon_{nullptr};
  std::atomic<bool> hasIcon_{false};
};

// The 18 x 18 close and minimise buttons of a dialog's caption.
class CaptionButton : public HoverButton {
 public:
  void SetImages(int normalId, int hoverId, int pressedId);
  // Creates the button as a visible child without text and takes it over.
  bool Create(HWND parent, int commandId, const RECT& rect);

  bool drawItem(const DRAWITEMSTRUCT& item) override;

 private:
  ui::Bitmap normalImage_;
  ui::Bitmap hoverImage_;
  ui::Bitmap pressedImage_;
};

// A check box drawn from the six 13 x 13 frames of strip 156, keeping its own
// check state and pressed / hover phases.
class SkinCheckBox : public ui::Control {
 public:
  SkinCheckBox();

  bool checked() const { return phases_.checked; }
  const CheckBoxPhases& phases() const { return phases_; }

  bool drawItem(const DRAWITEMSTRUCT& item) override;

 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void repaint(Repaint how);
  void notifyClick();

  ui::Bitmap strip_;
  CheckBoxPhases phases_;
};

}  // namespace vantaro::skin
