// The gallery in this process: no graphics object survives a paint, and
// work posted from another thread runs on the window's thread.
#include <gtest/gtest.h>

#include <thread>

#include "gallery/gallery_ids.h"
#include "gallery/gallery_window.h"
#include "gui_support.h"
#include "res/resource.h"

namespace vantaro {
namespace {

// One round of everything that paints: the whole window and every child,
// hover and pressed looks, the menu and the combo's list items, the icon view
// with and without decodable bytes, each status colour and percent.
void exercise(gallery::GalleryWindow& window, skin::SkinMenu& menu, int round) {
  HWND button = window.item(ID_BUTTON_INSTALL);
  SendMessageW(button, round % 2 ? WM_MOUSEHOVER : WM_MOUSELEAVE, 0, 0);
  window.percentBar().SetPercent(round % 110);
  window.messageLine().SetStatusKind(static_cast<StatusKind>(round % 3));
  static const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
  if (round % 3 == 0) window.decodedIcon().SetImage(junk, sizeof junk);
  window.repaintAll();

  guitest::Surface surface(200, 30, RGB(255, 255, 255));
  menu.DrawItem(surface.dc(), {0, 0, 120, 28}, round % 2 == 0, skin::MenuItemData{round % 2, "Korvel"});
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_COMBOBOX;
  item.itemID = static_cast<UINT>(round % 4);
  item.itemState = round % 2 ? ODS_FOCUS | ODS_SELECTED : 0;
  item.hwndItem = window.comboBox().handle();
  item.hDC = surface.dc();
  item.rcItem = {0, 0, 130, 20};
  window.comboBox().drawItem(item);
}

TEST(Gallery, ThousandRepaintsOfEveryWidgetLeaveTheGdiObjectCountUnchanged) {
  gallery::GalleryWindow window;
  ASSERT_TRUE(window.createModeless());
  ShowWindow(window.handle(), SW_SHOWNOACTIVATE);
  skin::SkinMenu menu;
  menu.SetImages(IDB_MENU_IMAGES);
  for (int round = 0; round < 30; ++round) exercise(window, menu, round);
  guitest::pumpMessages();
  const size_t before = guitest::gdiObjectCount();
  ASSERT_GT(before, 0u);
  for (int round = 0; round < 1000; ++round) {
    exercise(window, menu, round);
    if (round % 50 == 0) guitest::pumpMessages();
  }
  guitest::pumpMessages();
  EXPECT_EQ(guitest::gdiObjectCount(), before);
}

TEST(Gallery, WorkPostedFromAWorkerRunsOnTheWindowThread) {
  gallery::GalleryWindow window;
  ASSERT_TRUE(window.createModeless());
  const DWORD windowThread = GetCurrentThreadId();
  DWORD ranOn = 0;
  bool posted = false;
  std::thread worker([&] { posted = window.post([&] { ranOn = GetCurrentThreadId(); }); });
  worker.join();
  ASSERT_TRUE(posted);
  EXPECT_EQ(ranOn, 0u) << "nothing runs before the window's thread takes its messages";
  guitest::pumpMessages();
  EXPECT_EQ(ranOn, windowThread);

  window.endDialog(IDOK);
  EXPECT_FALSE(window.post([] {})) << "a closed window takes no more work";
}

TEST(Gallery, EnterAndEscapeNeverCloseTheWindow) {
  gallery::GalleryWindow window;
  ASSERT_TRUE(window.createModeless());
  SetFocus(window.item(ID_BUTTON_RUN));
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    PostMessageW(window.item(ID_BUTTON_RUN), WM_KEYDOWN, key, 0);
    PostMessageW(window.item(ID_BUTTON_RUN), WM_KEYUP, key, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!window.filterMessage(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    ASSERT_NE(window.handle(), nullptr) << key;
  }
  // What Escape would have become in a plain dialog does close it.
  SendMessageW(window.handle(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(window.handle(), nullptr);
}

}  // namespace
}  // namespace vantaro
