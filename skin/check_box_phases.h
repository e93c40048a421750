#pragma once
// The pressed / hover phases of a skinned check box, apart from any window.
// Every change of phase first copies state into previousState.

namespace vantaro::skin {

enum class ButtonPhase { Normal = 0, Hover = 1, Pressed = 2 };

// What a mouse event asks of the control's picture.
enum class Repaint { None, WithoutErase, WithErase };

struct CheckBoxPhases {
  bool checked = false;
  ButtonPhase state = ButtonPhase::Normal;
  ButtonPhase previousState = ButtonPhase::Normal;

  void setPhase(ButtonPhase phase) {
    previousState = state;
    state = phase;
  }

  void press() { setPhase(ButtonPhase::Pressed); }

  Repaint move(bool inside) {
    if (state == ButtonPhase::Pressed) {
      if (inside) return Repaint::None;
      setPhase(ButtonPhase::Hover);
      return Repaint::WithoutErase;
    }
    if (previousState == ButtonPhase::Pressed && state == ButtonPhase::Hover) {
      setPhase(ButtonPhase::Pressed);
      return Repaint::None;
    }
    if (inside) {
      setPhase(ButtonPhase::Hover);
      return Repaint::WithoutErase;
    }
    setPhase(ButtonPhase::Normal);
    return Repaint::None;
  }

  void leave() { setPhase(ButtonPhase::Normal); }

  // True when the release completes a click: checked has been toggled.
  bool release(bool inside) {
    setPhase(ButtonPhase::Normal);
    if (previousState != ButtonPhase::Pressed || !inside) return false;
    checked = !checked;
    return true;
  }

  // x offset of the frame in the six-frame strip.
  int frameOffset() const { return (checked ? 39 : 0) + 13 * static_cast<int>(state); }
};

}  // namespace vantaro::skin
