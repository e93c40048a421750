#pragma once
// Static texts that paint themselves: orange captions, the coloured status
// line and the percent bar.

#include <windows.h>

#include <atomic>
#include <string>

#include "base/status.h"
#include "ui/control.h"
#include "ui/gdi.h"

namespace vantaro::skin {

constexpr COLORREF kAccentColour = RGB(228, 111, 7);
constexpr COLORREF kProgressColour = RGB(0, 0, 255);
constexpr COLORREF kErrorColour = RGB(255, 0, 0);
constexpr COLORREF kSuccessColour = RGB(29, 144, 20);
constexpr COLORREF kPercentFill = RGB(124, 188, 46);
constexpr COLORREF kPercentFrame = RGB(143, 143, 143);

// Bold orange caption text, centred.
class AccentLabel : public ui::Control {
 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Font font_;
};

// A message line whose colour tells progress (blue), error (red) or success
// (green).
class StatusLabel : public ui::Control {
 public:
  // Any other value keeps the colour. Safe from any thread.
  void SetStatusKind(StatusKind kind);
  COLORREF colour() const { return colour_; }

 protected:
  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Font font_;
  std::atomic<COLORREF> colour_{kProgressColour};
};

// A progress bar that prints its percentage.
class PercentBar : public ui::Control {
 public:
  PercentBar();

  // Safe from any thread.
  void SetPercent(int value);
  int percent() const { return percent_; }

  // What erasing and painting put on a width x height control.
  static void EraseTo(HDC dc, int width, int height);
  void PaintTo(HDC dc, int width, int height);
  // Right edge (exclusive) of the green fill of a bar width pixels wide.
  static int FillRight(int percent, int width);

 protected:
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Font font_;
  std::atomic<int> percent_{0};
  std::string text_ = "0 %";
};

}  // namespace vantaro::skin
