// The check box's pressed / hover machine, alone and in a real control.
#include <gtest/gtest.h>

#include "gui_support.h"
#include "skin/buttons.h"
#include "skin/check_box_phases.h"

namespace vantaro {
namespace {

using skin::ButtonPhase;
using skin::CheckBoxPhases;

TEST(CheckBoxPhases, PressOutInReleaseInsideTogglesOnce) {
  CheckBoxPhases box;
  box.press();
  EXPECT_EQ(box.state, ButtonPhase::Pressed);
  box.move(false);
  EXPECT_EQ(box.state, ButtonPhase::Hover);
  EXPECT_EQ(box.previousState, ButtonPhase::Pressed);
  box.move(true);  // back in: pressed again
  EXPECT_EQ(box.state, ButtonPhase::Pressed);
  EXPECT_TRUE(box.release(true));
  EXPECT_TRUE(box.checked);
  EXPECT_EQ(box.state, ButtonPhase::Normal);
  EXPECT_FALSE(box.release(true)) << "a second release without a press is no click";
  EXPECT_TRUE(box.checked);
}

TEST(CheckBoxPhases, HeldOutsideAlternatesAndReleaseOutsideIsNoClick) {
  CheckBoxPhases box;
  box.press();
  box.move(false);
  EXPECT_EQ(box.state, ButtonPhase::Hover);
  box.move(false);
  EXPECT_EQ(box.state, ButtonPhase::Pressed);
  box.move(false);
  EXPECT_EQ(box.state, ButtonPhase::Hover);
  EXPECT_FALSE(box.release(false));
  EXPECT_FALSE(box.checked);
  // Released inside right after a move outside (last phase Hover): no click.
  box.press();
  box.move(false);
  EXPECT_FALSE(box.release(true));
  EXPECT_FALSE(box.checked);
}

TEST(CheckBoxPhases, FramesFollowTheTable) {
  CheckBoxPhases box;
  EXPECT_EQ(box.frameOffset(), 0);
  box.move(true);
  EXPECT_EQ(box.frameOffset(), 13);
  box.press();
  EXPECT_EQ(box.frameOffset(), 26);
  box.checked = true;
  EXPECT_EQ(box.frameOffset(), 65);
  box.leave();
  EXPECT_EQ(box.frameOffset(), 39);
}

class CheckBoxControl : public testing::Test {
 protected:
  CheckBoxControl() : host_(300, 80) {
    window_ = host_.addChild(L"Button", L"\u542f\u7528\u5173\u8054", BS_AUTOCHECKBOX, {10, 10, 130, 25}, 1015);
    box_.attach(window_);
  }

  void mouse(UINT message, int x, int y) { SendMessageW(window_, message, 0, MAKELPARAM(x, y)); }
  int clicks() const {
    int n = 0;
    for (auto [id, code] : host_.commands) n += id == 1015 && code == BN_CLICKED;
    return n;
  }

  guitest::HostWindow host_;
  HWND window_;
  skin::SkinCheckBox box_;
};

TEST_F(CheckBoxControl, PressOutInReleaseInsideSendsOneCommand) {
  EXPECT_TRUE(GetWindowLongPtrW(window_, GWL_STYLE) & BS_OWNERDRAW);
  mouse(WM_LBUTTONDOWN, 5, 5);
  mouse(WM_MOUSEMOVE, 200, 5);
  mouse(WM_MOUSEMOVE, 5, 5);
  mouse(WM_LBUTTONUP, 5, 5);
  guitest::pumpMessages();
  EXPECT_EQ(clicks(), 1);
  EXPECT_TRUE(box_.checked());
  EXPECT_EQ(SendMessageW(window_, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(GetCapture(), nullptr);

  // A plain click: still exactly one command (the standard button adds none).
  mouse(WM_LBUTTONDOWN, 5, 5);
  mouse(WM_LBUTTONUP, 5, 5);
  guitest::pumpMessages();
  EXPECT_EQ(clicks(), 2);
  EXPECT_FALSE(box_.checked());
}

TEST_F(CheckBoxControl, ReleaseOutsideSendsNone) {
  mouse(WM_LBUTTONDOWN, 5, 5);
  mouse(WM_MOUSEMOVE, 200, 5);
  mouse(WM_LBUTTONUP, 200, 5);
  guitest::pumpMessages();
  EXPECT_EQ(clicks(), 0);
  EXPECT_FALSE(box_.checked());
}

TEST_F(CheckBoxControl, SetCheckAcceptsOnlyChecked) {
  SendMessageW(window_, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(SendMessageW(window_, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(window_, BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(SendMessageW(window_, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(clicks(), 0);
}

TEST_F(CheckBoxControl, ClickMessageAndSpaceToggle) {
  SendMessageW(window_, BM_CLICK, 0, 0);
  guitest::pumpMessages();
  EXPECT_EQ(clicks(), 1);
  EXPECT_TRUE(box_.checked());
  SendMessageW(window_, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(window_, WM_KEYUP, VK_SPACE, 0);
  guitest::pumpMessages();
  EXPECT_EQ(clicks(), 2);
  EXPECT_FALSE(box_.checked());
}

}  // namespace
}  // namespace vantaro
