#include "skin/labels.h"

#include <cstdio>

#include "ui/wide.h"

namespace vantaro::skin {
namespace {

// The paint of a label: white ground, then its text in font and colour.
void paintLabel(HWND label, HFONT font, COLORREF colour, UINT format) {
  ui::PaintDc dc(label);
  RECT client;
  GetClientRect(label, &client);
  ui::fillSolid(dc, client, RGB(255, 255, 255));
  ui::Selection selected(dc, font);
  SetTextColor(dc, colour);
  std::wstring text = ui::toWide(ui::windowText(label, 260));
  DrawTextW(dc, text.c_str(), -1, &client, format);
}

}  // namespace

// ------------------------------------------------------------------ AccentLabel

void AccentLabel::onAttach() {
  font_.reset(CreateFontW(14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
}

LRESULT AccentLabel::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return callDefault(message, wParam, lParam);
  paintLabel(handle(), font_.get(), kAccentColour, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return 0;
}

// ------------------------------------------------------------------ StatusLabel

void StatusLabel::onAttach() {
  addStyle(SS_NOTIFY);
  auto current = reinterpret_cast<HFONT>(SendMessageW(handle(), WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (current && GetObjectW(current, sizeof description, &description) == sizeof description)
    font_.reset(CreateFontIndirectW(&description));
}

void StatusLabel::SetStatusKind(StatusKind kind) {
  switch (kind) {
    case StatusKind::Progress:
      colour_ = kProgressColour;
      break;
    case StatusKind::Error:
      colour_ = kErrorColour;
      break;
    case StatusKind::Success:
      colour_ = kSuccessColour;
      break;
    default:
      break;
  }
  if (handle()) InvalidateRect(handle(), nullptr, TRUE);
}

LRESULT StatusLabel::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return callDefault(message, wParam, lParam);
  // Messages may quote tool output or file names: an '&' is shown as it is.
  paintLabel(handle(), font_.get(), colour_, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  return 0;
}

// ------------------------------------------------------------------ PercentBar

PercentBar::PercentBar() : font_(ui::pointFont(9, L"\u5b8b\u4f53")) {}

void PercentBar::SetPercent(int value) {
  percent_ = value;
  if (handle()) InvalidateRect(handle(), nullptr, TRUE);
}

int PercentBar::FillRight(int percent, int width) {
  // Single precision throughout, as the bar has always measured it: 100 %
  // of a 350-pixel bar ends at 349, not at 348.
  const float step = static_cast<float>(width - 2) * 0.01f;
  const float scaled = static_cast<float>(percent) * step;
  return static_cast<int>(scaled + 1.0f);
}

void PercentBar::EraseTo(HDC dc, int width, int height) {
  RECT all{0, 0, width, height};
  ui::Brush frame(CreateSolidBrush(kPercentFrame));
  FrameRect(dc, &all, frame.get());
}

void PercentBar::PaintTo(HDC dc, int width, int height) {
  int percent = percent_;
  if (percent > 100) return;
  RECT inner{1, 1, width - 1, height - 1};
  ui::fillSolid(dc, inner, RGB(255, 255, 255));
  RECT fill{1, 1, FillRight(percent, width), height - 1};
  if (fill.right > fill.left) ui::fillSolid(dc, fill, kPercentFill);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d %%", percent);
  text_ = buffer;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  ui::Selection font(dc, font_.get());
  RECT all{0, 0, width, height};
  std::wstring text = ui::toWide(text_);
  DrawTextW(dc, text.c_str(), -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(dc, oldMode);
}

LRESULT PercentBar::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT window;
    GetWindowRect(handle(), &window);
    EraseTo(reinterpret_cast<HDC>(wParam), window.right - window.left, window.bottom - window.top);
    return 1;
  }
  if (message == WM_PAINT) {
    ui::PaintDc dc(handle());
    RECT client;
    GetClientRect(handle(), &client);
    PaintTo(dc, client.right, client.bottom);
    return 0;
  }
  return callDefault(message, wParam, lParam);
}

}  // namespace vantaro::skin
