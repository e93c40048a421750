#pragma once
// A dialog's table from control ids and notification codes, and from window
// messages, to its member functions:
//
//   const ui::MessageTable<MainWindow>& MainWindow::messageTable() {
//     static const ui::MessageTable<MainWindow> table{
//         ui::onClicked(1002, &MainWindow::onInstall),
//         ui::onMessage(WM_PAINT, &MainWindow::onPaint),
//     };
//     return table;
//   }
//
// The first entry that matches handles the message.

#include <windows.h>

#include <initializer_list>
#include <vector>

namespace vantaro::ui {

template <class T>
struct MessageEntry {
  enum class Kind { Command, Notify, Message };
  Kind kind;
  UINT message;  // Message entries
  int id;        // Command and Notify entries
  int code;
  void (T::*command)() = nullptr;
  LRESULT (T::*notify)(NMHDR&) = nullptr;
  LRESULT (T::*handler)(WPARAM, LPARAM) = nullptr;
};

// WM_COMMAND from control id with notification code.
template <class T>
MessageEntry<T> onCommand(int id, int code, void (T::*fn)()) {
  MessageEntry<T> entry{MessageEntry<T>::Kind::Command, WM_COMMAND, id, code};
  entry.command = fn;
  return entry;
}

// A button's click (also menu and accelerator commands, whose code is 0 too).
template <class T>
MessageEntry<T> onClicked(int id, void (T::*fn)()) {
  return onCommand(id, BN_CLICKED, fn);
}

// WM_NOTIFY from control id with notification code.
template <class T>
MessageEntry<T> onNotify(int id, int code, LRESULT (T::*fn)(NMHDR&)) {
  MessageEntry<T> entry{MessageEntry<T>::Kind::Notify, WM_NOTIFY, id, code};
  entry.notify = fn;
  return entry;
}

// Any window message.
template <class T>
MessageEntry<T> onMessage(UINT message, LRESULT (T::*fn)(WPARAM, LPARAM)) {
  MessageEntry<T> entry{MessageEntry<T>::Kind::Message, message, 0, 0};
  entry.handler = fn;
  return entry;
}

template <class T>
class MessageTable {
 public:
  MessageTable(std::initializer_list<MessageEntry<T>> entries) : entries_(entries) {}

  bool dispatch(T& target, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
    for (const auto& entry : entries_) {
      switch (entry.kind) {
        case MessageEntry<T>::Kind::Command:
          if (message == WM_COMMAND && LOWORD(wParam) == entry.id && HIWORD(wParam) == entry.code) {
            (target.*entry.command)();
            result = 0;
            return true;
          }
          break;
        case MessageEntry<T>::Kind::Notify:
          if (message == WM_NOTIFY && lParam) {
            auto& header = *reinterpret_cast<NMHDR*>(lParam);
            if (static_cast<int>(header.idFrom) == entry.id && static_cast<int>(header.code) == entry.code) {
              result = (target.*entry.notify)(header);
              return true;
            }
          }
          break;
        case MessageEntry<T>::Kind::Message:
          if (message == entry.message) {
            result = (target.*entry.handler)(wParam, lParam);
            return true;
          }
          break;
      }
    }
    return false;
  }

 private:
  std::vector<MessageEntry<T>> entries_;
};

}  // namespace vantaro::ui
