#pragma once
// A window hosting one of every skinned widget, for tests and screenshots
// before the product's dialogs exist. Clicking a widget writes what happened
// into the message line, so that a driver can check it from outside.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>

#include "skin/buttons.h"
#include "skin/skinned_dialog.h"
#include "skin/labels.h"
#include "skin/menu_combo.h"
#include "skin/package_icon_view.h"
#include "skin/tree_view.h"
#include "ui/dialog.h"

namespace vantaro::gallery {

constexpr int kWidth = 760;
constexpr int kHeight = 480;

class GalleryWindow : public skin::SkinnedDialog<GalleryWindow> {
 public:
  GalleryWindow();
  ~GalleryWindow() override;

  static const ui::MessageTable<GalleryWindow>& messageTable();

  // For tests: repaint every widget at once.
  void repaintAll();
  skin::PercentBar& percentBar() { return percent_; }
  skin::StatusLabel& messageLine() { return message_; }
  skin::PackageIconView& decodedIcon() { return decodedIcon_; }
  skin::SkinComboBox& comboBox() { return combo_; }
  skin::SkinTreeView& tree() { return tree_; }
  const skin::FrameSkin& frame() const { return frame_; }

 private:
  bool onInitDialog() override;
  void layOut();
  void fillTree();
  void fillCombo();
  void say(const std::string& text, StatusKind kind);

  void onClose();
  void onMinimise();
  void onSearch();
  void onHelp();
  template <int Id>
  void onButton() {
    reportClick(Id);
  }
  void reportClick(int id);
  void onSdCard();
  void onAssociate();
  void onPreset();

  skin::CaptionButton closeButton_;
  skin::CaptionButton minimiseButton_;
  skin::PackageIconView defaultIcon_;
  skin::PackageIconView decodedIcon_;
  skin::AccentLabel accent_;
  skin::SkinTreeView tree_;
  std::array<skin::SkinButton, 10> buttons_;
  skin::SkinCheckBox sdCard_;
  skin::SkinCheckBox associate_;
  skin::SkinComboBox combo_;
  skin::StatusLabel progress_;
  skin::StatusLabel error_;
  skin::StatusLabel success_;
  skin::PercentBar percent_;
  skin::StatusLabel message_;
  skin::AccentLabel credit_;
  HIMAGELIST presetIcons_ = nullptr;
  std::string decodedBytes_;
};

}  // namespace vantaro::gallery
