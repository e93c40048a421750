#pragma once
// The report lists of the device chooser and the essentials dialog: rows 60
// pixels high, owner-drawn with a picture and two text lines per column, a
// rounded gradient band for the selected row, a header drawn from a bitmap,
// and bitmap scroll bars laid over the list's own.
//
// Beside its items a list keeps an array of row records, index = item index.
// Records and items change only on the list's own thread (workers post their
// changes there), so a paint never meets them half-made; whatever is drawn
// from a record appears only while the record count equals the item count.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "skin/tree_view.h"
#include "ui/control.h"
#include "ui/gdi.h"
#include "ui/wide.h"

namespace vantaro::skin {

constexpr COLORREF kListBorderColour = RGB(172, 168, 153);
constexpr COLORREF kBandOuterColour = RGB(236, 194, 237);
constexpr COLORREF kBandInnerColour = RGB(250, 241, 250);
constexpr COLORREF kBandTopColour = RGB(246, 227, 246);
constexpr COLORREF kBandBottomColour = RGB(238, 202, 239);
constexpr COLORREF kCellColour = RGB(255, 255, 255);
constexpr COLORREF kSeparatorColour = RGB(234, 235, 234);
constexpr COLORREF kSecondaryTextColour = RGB(130, 130, 130);
constexpr COLORREF kEmphasisColour = RGB(255, 0, 0);
constexpr COLORREF kLinkColour = RGB(40, 130, 255);
constexpr COLORREF kInstalledColour = RGB(0, 128, 0);
constexpr COLORREF kNotInstalledColour = RGB(228, 111, 7);

// The mark beside the maker's logo of a phone connected over Wi-Fi: about
// 16 by 14 pixels from (left, top).
void DrawWirelessMark(HDC dc, int left, int top);

// One row of the device chooser (texts GBK, zero-terminated).
struct DeviceRow {
  char serial[125];
  char releaseName[131];
  int32_t brandLogo;
};
static_assert(sizeof(DeviceRow) == 260, "the device row record is 260 bytes");

// One row of the essentials list (texts GBK, zero-terminated).
struct EssentialsRow {
  char description[255];
  char linkText[28];  // the first 8 bytes are drawn
  char version[29];   // the first 3 bytes are drawn
  int32_t iconId;     // PNG resource
  int32_t installed;  // non-zero: already on the phone
};

// Copies text into a fixed, zero-filled field of a row record, keeping its
// terminating zero and never splitting a double-byte character.
template <size_t N>
void CopyRowField(char (&field)[N], std::string_view text) {
  std::string_view fitting = ui::gbkPrefix(text, N - 1);
  std::memcpy(field, fitting.data(), fitting.size());
}

// Told when the review link of a row of the essentials list is clicked.
class RowLinkListener {
 public:
  virtual void OnLinkClicked(int itemIndex) = 0;

 protected:
  ~RowLinkListener() = default;
};

// The list's header, drawn from bitmap 189 at a fixed height.
class SkinHeader : public ui::Control {
 public:
  SkinHeader();
  static constexpr int kHeight = 26;

  // The whole header onto dc (client-sized).
  void PaintTo(HDC dc);

 protected:
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Bitmap skin_;
  ui::Font font_;
};

class SkinListView : public ui::Control {
 public:
  static constexpr int kRowHeight = 60;

  bool drawItem(const DRAWITEMSTRUCT& item) override;
  bool measureItem(MEASUREITEMSTRUCT& item) override;

  int itemCount() const;
  // True while there is one record per item.
  bool rowsInStep() const { return static_cast<int>(recordCount()) == itemCount(); }
  SkinHeader& header() { return header_; }

 protected:
  enum class Border { Closed, NoRightEdge };
  explicit SkinListView(Border border);

  void onAttach() override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  virtual size_t recordCount() const = 0;
  // Draws one cell's content. cell is the sub-item's label rectangle moved
  // down to centre one text line and 4 pixels right; its top is T. The record
  // of item may be read only when inStep.
  virtual void drawCell(HDC dc, int item, int column, const RECT& cell, const std::wstring& text, bool inStep) = 0;

  // A text drawn top-left in rect from y top (centred across rect when asked).
  static void drawLine(HDC dc, const std::wstring& text, RECT rect, int top, COLORREF colour, bool centred = false);
  RECT subItemBounds(int item, int column) const;
  // The item's state-image index (0: none set), which the check boxes and
  // ticks of the lists keep their flag in; setting one redraws the item.
  int stateImage(int item) const;
  void setStateImage(int item, int index);
  HFONT linkFont() const { return linkFont_.get(); }

 private:
  void paint();
  void drawBand(HDC dc, RECT rect) const;
  void drawBorder();
  void askItemHeightAgain();
  std::wstring cellText(int item, int column) const;

  Border border_;
  ScrollBarOverlay horizontalBar_;
  ScrollBarOverlay verticalBar_;
  SkinHeader header_;
  ui::Font linkFont_;
  ui::Pen borderPen_;
  ui::Pen outerPen_;
  ui::Pen innerPen_;
};

// The record array of a list; grows by max(4, min(1024, count / 8)) records
// at a time and frees its storage when cleared. Window thread only.
template <class Row>
class RowListView : public SkinListView {
 public:
  void AddRow(const Row& row) {
    if (rows_.size() == rows_.capacity()) {
      size_t step = rows_.size() / 8;
      rows_.reserve(rows_.size() + (step < 4 ? 4 : step > 1024 ? 1024 : step));
    }
    rows_.push_back(row);
  }
  void ClearRows() { std::vector<Row>().swap(rows_); }
  const std::vector<Row>& rows() const { return rows_; }

 protected:
  using SkinListView::SkinListView;
  size_t recordCount() const override { return rows_.size(); }

 private:
  std::vector<Row> rows_;
};

// The device chooser's list: maker logo; maker and model over the serial;
// Android release over the API level, and the tick that picks the phone for
// an install on several phones. A click on the tick or the space bar on the
// focused row flips it; the list's parent hears of it as of any state change
// (LVN_ITEMCHANGED with the state-image bits).
class DeviceListView : public RowListView<DeviceRow> {
 public:
  DeviceListView();

  // The item's tick: state image 2; an item never ticked reads as not.
  bool IsTicked(int item) const;
  void SetTicked(int item, bool ticked);
  // Client rectangle where a click flips the tick.
  RECT TickRect(int item) const;

 protected:
  void drawCell(HDC dc, int item, int column, const RECT& cell, const std::wstring& text, bool inStep) override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Bitmap checkStrip_;
};

// The essentials list: icon; name over description; category over the
// review link; install status; size under version; the check box.
class EssentialsListView : public RowListView<EssentialsRow> {
 public:
  EssentialsListView();

  void SetListener(RowLinkListener* listener) { listener_ = listener; }

  // The item's check flag: the state-image index minus one, so an item whose
  // flag was never set reads as checked.
  bool IsChecked(int item) const;
  void SetChecked(int item, bool checked);

  // Client rectangles where a click opens the review link or flips the check.
  RECT LinkRect(int item) const;
  RECT CheckRect(int item) const;

 protected:
  void drawCell(HDC dc, int item, int column, const RECT& cell, const std::wstring& text, bool inStep) override;
  LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  enum class Spot { None, Link, Check };
  Spot spotAt(POINT point, int* item) const;

  RowLinkListener* listener_ = nullptr;
  ui::Bitmap checkStrip_;
};

}  // namespace vantaro::skin
