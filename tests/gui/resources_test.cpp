// The compiled-in pictures, icons, version and dialog templates, and the
// framework binding widgets to a template's controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "gui_support.h"
#include "res/resource.h"
#include "skin/buttons.h"
#include "skin/images.h"
#include "skin/labels.h"
#include "skin/package_icon_view.h"
#include "skin/tree_view.h"
#include "ui/application.h"
#include "ui/dialog.h"

namespace vantaro {
namespace {

struct Catalogue {
  int first, last, width, height;
};

TEST(Pictures, EveryBitmapHasItsCatalogueSize) {
  const Catalogue bitmaps[] = {
      {129, 130, 18, 18}, {143, 143, 18, 18}, {140, 140, 18, 18}, {142, 142, 18, 18}, {144, 144, 18, 18},
      {131, 139, 50, 50}, {145, 145, 82, 90}, {156, 156, 78, 13}, {158, 158, 96, 16}, {159, 162, 4, 15},
      {163, 164, 15, 15}, {165, 167, 15, 4},  {170, 170, 15, 4},  {168, 169, 15, 15}, {173, 173, 48, 24},
      {179, 179, 20, 22}, {180, 180, 15, 22}, {181, 181, 2, 22},  {189, 189, 6, 20},  {204, 204, 26, 13},
      {205, 205, 48, 48}, {207, 222, 96, 48}, {225, 225, 48, 48},
  };
  for (const Catalogue& c : bitmaps)
    for (int id = c.first; id <= c.last; ++id) {
      ui::Bitmap bitmap = skin::loadBitmap(id);
      SIZE size = ui::bitmapSize(bitmap.get());
      EXPECT_EQ(size.cx, c.width) << id;
      EXPECT_EQ(size.cy, c.height) << id;
    }
  // Keyed pictures leave their key where nothing is drawn: the logos' corners.
  for (int id = 207; id <= 222; ++id) EXPECT_EQ(guitest::ResourcePixels(id).at(0, 0), skin::kKeyColour) << id;
  // The report tree's six section pictures (warning, information, tick,
  // bundle, compatibility, signature) are each drawn.
  guitest::ResourcePixels sections(158);
  for (int frame = 0; frame < 6; ++frame) {
    int drawn = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) drawn += sections.at(16 * frame + x, y) != skin::kKeyColour;
    EXPECT_GT(drawn, 60) << frame;
  }
}

TEST(Pictures, PngIconsAndSmallIconsLoad) {
  HINSTANCE module = ui::Application::instance();
  for (int id = 191; id <= 203; ++id) EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(id), L"png"), nullptr) << id;
  for (int id : {146, 147, 149, 151, 152, 153, 154, 155, 157, 172, 177, 178, 182, 183, 184, 185, 187, 188, 206}) {
    HICON icon = skin::loadIcon(id, 16);
    ASSERT_NE(icon, nullptr) << id;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_EQ(ui::bitmapSize(info.hbmColor).cx, 16) << id;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST(Pictures, ApplicationIconHasA256PixelImage) {
  HICON icon = static_cast<HICON>(
      LoadImageW(ui::Application::instance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 256, 256, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  SIZE size = ui::bitmapSize(info.hbmColor);
  EXPECT_EQ(size.cx, 256);
  EXPECT_EQ(size.cy, 256);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

TEST(Version, FileVersionIs30) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
  wchar_t* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                             reinterpret_cast<void**>(&value), &length));
  EXPECT_EQ(std::wstring(value), L"3.0");
}

TEST(PackageIconView, UndecodableBytesShowTheDefaultPicture) {
  skin::PackageIconView view;
  guitest::ResourcePixels fallback(IDB_DEFAULT_PACKAGE);
  guitest::Surface none(48, 48, RGB(1, 2, 3));
  EXPECT_FALSE(view.PaintTo(none.dc()));
  EXPECT_EQ(none.at(24, 24), fallback.at(24, 24));
  EXPECT_EQ(none.at(10, 30), fallback.at(10, 30));

  HINSTANCE module = ui::Application::instance();
  HRSRC png = FindResourceW(module, MAKEINTRESOURCEW(200), L"png");
  ASSERT_NE(png, nullptr);
  auto bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, png)));
  uint32_t size = SizeofResource(module, png);

  view.SetImage(bytes, size / 2);  // a truncated PNG
  guitest::Surface truncated(48, 48, RGB(1, 2, 3));
  EXPECT_FALSE(view.PaintTo(truncated.dc()));
  EXPECT_EQ(truncated.at(24, 24), fallback.at(24, 24));

  view.SetImage(bytes, size);
  guitest::Surface decoded(48, 48, RGB(1, 2, 3));
  EXPECT_TRUE(view.PaintTo(decoded.dc()));
  EXPECT_NE(decoded.at(24, 40), fallback.at(24, 40));
  EXPECT_EQ(decoded.at(0, 0), RGB(255, 255, 255)) << "transparent corners show the white square";
}

// A dialog made from the main window's template, binding a few widgets.
class MainTemplate : public ui::Dialog {
 public:
  MainTemplate() : Dialog(IDD_MAIN) {
    bind(1000, message);
    bind(1001, tree);
    bind(1002, install);
    bind(1010, sdCard);
    bind(1034, icon);
  }
  skin::StatusLabel message;
  skin::SkinTreeView tree;
  skin::SkinButton install;
  skin::SkinCheckBox sdCard;
  skin::PackageIconView icon;
};

TEST(DialogTemplates, AllFourCreateAsCaptionlessPopupsOfTheirSize) {
  const struct {
    int id, width, height;
  } templates[] = {{IDD_MAIN, 485, 338}, {IDD_SETTINGS, 368, 322}, {IDD_DEVICES, 335, 230}, {IDD_ESSENTIALS, 552, 378}};
  for (auto t : templates) {
    SCOPED_TRACE(t.id);
    ui::Dialog dialog(t.id);
    ASSERT_TRUE(dialog.createModeless());
    LONG_PTR style = GetWindowLongPtrW(dialog.handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    RECT expected{0, 0, t.width, t.height};
    MapDialogRect(dialog.handle(), &expected);
    RECT client;
    GetClientRect(dialog.handle(), &client);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
  }
}

TEST(DialogTemplates, WidgetsAreBoundToTheirControlsAtInitialisation) {
  MainTemplate main;
  ASSERT_TRUE(main.createModeless());
  for (int id : {1000, 1001, 1002, 1010, 1034})
    EXPECT_NE(ui::Control::fromHandle(main.item(id)), nullptr) << id;
  EXPECT_EQ(ui::Control::fromHandle(main.item(1003)), nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(main.item(1002), GWL_STYLE) & BS_OWNERDRAW);
  EXPECT_TRUE(GetWindowLongPtrW(main.item(1010), GWL_STYLE) & BS_OWNERDRAW);
  EXPECT_TRUE(GetWindowLongPtrW(main.item(1000), GWL_STYLE) & SS_NOTIFY);
  EXPECT_EQ(SendMessageW(main.item(1001), TVM_GETITEMHEIGHT, 0, 0), 25);
  // The tree's two scroll-bar overlays are siblings with id 0xFFFF.
  int overlays = 0;
  for (HWND child = GetWindow(main.handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    overlays += GetDlgCtrlID(child) == 0xFFFF;
  EXPECT_EQ(overlays, 2);
  main.endDialog(IDOK);
  EXPECT_EQ(main.handle(), nullptr);
  EXPECT_EQ(main.install.handle(), nullptr) << "widgets let go of destroyed windows";
}

}  // namespace
}  // namespace vantaro
