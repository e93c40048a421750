#pragma once
// The essentials bundle's catalogue: Korvel's base framework and its eleven
// plug-ins, what the list shows for each, the package file and web page that
// belong to it, the presets that tick groups of rows, and the rule that fills
// the list from the phone's package listing. Everything is compiled in.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

// One companion utility (texts GBK).
struct EssentialsRowSpec {
  const char* title;
  const char* description;  // at most 254 bytes
  const char* category;
  const char* linkText;
  const char* sizeText;
  const char* version;
  int32_t iconId;         // PNG resource of the 48 x 48 icon
  const char* packageId;  // also the package file's name without ".apk"
  const char* pagePath;   // on the sibling product's web site
};

constexpr size_t kEssentialsRowCount = 12;
// Row 0 is the base framework the plug-ins rely on.
extern const std::array<EssentialsRowSpec, kEssentialsRowCount> kEssentialsRows;

// The list's columns, inserted in this order.
struct EssentialsColumn {
  const char* header;
  int width;
  bool centred;  // else left-aligned
};
constexpr size_t kEssentialsColumnCount = 6;
extern const std::array<EssentialsColumn, kEssentialsColumnCount> kEssentialsColumns;
// The column whose item text is the package identifier.
constexpr int kPackageIdColumn = 5;

// The preset box's entries: text and 16 x 16 icon.
struct EssentialsPreset {
  const char* text;
  int iconId;
};
constexpr size_t kEssentialsPresetCount = 4;
extern const std::array<EssentialsPreset, kEssentialsPresetCount> kEssentialsPresets;

// Texts of the status column.
extern const char* const kRowInstalledText;
extern const char* const kRowNotInstalledText;

// The overview page's path on the sibling product's site ("多图介绍").
extern const char* const kOverviewPagePath;

// True when one of the listing's lines is exactly "package:" followed by the
// identifier; a longer name that only begins with it does not count.
bool IsInstalled(std::string_view packageId, const std::vector<std::string>& installedPackages);

// One list item as the catalogue fills it.
struct EssentialsItem {
  const EssentialsRowSpec* entry;  // what the row record draws
  bool installed;
  std::array<std::string, kEssentialsColumnCount> cells;  // item texts, column by column
};

// The list the catalogue fills: the dialog's list control with its row
// records, or a test's record.
class EssentialsList {
 public:
  // Removes every item and row record.
  virtual void ClearItems() = 0;
  // Appends an item with its row record; the item's tick state is left unset.
  virtual void AppendItem(const EssentialsItem& item) = 0;
  virtual int ItemCount() const = 0;
  virtual void SetTicked(int item, bool ticked) = 0;
  virtual void Repaint() = 0;

 protected:
  ~EssentialsList() = default;
};

class EssentialsCatalog {
 public:
  // site: the sibling product's web site (scheme and host, no trailing "/");
  // openPage opens an address in the user's browser.
  EssentialsCatalog(EssentialsList& list, std::string site, std::function<void(const std::string&)> openPage);

  // Refills the list: one item per row, in order, marked installed from the
  // listing's lines. New items carry no tick state, which reads as ticked.
  void RebuildCatalog(const std::vector<std::string>& installedPackages);
  // Ticks rows as preset index says; "自定义" and unknown indices change
  // nothing.
  void ApplyPreset(int index);
  // The review link of a row was clicked: opens the row's page.
  void OnLinkClicked(int row);

  // The row's page; the site's root "/" for a row outside the catalogue.
  std::string PageAddress(int row) const;
  std::string OverviewAddress() const;

 private:
  EssentialsList& list_;
  std::string site_;
  std::function<void(const std::string&)> openPage_;
};

}  // namespace vantaro
