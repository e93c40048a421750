#include "ui/dialog.h"

#include "ui/application.h"
#include "ui/owner_draw.h"

namespace vantaro::ui {
namespace {

// Messages whose dialog-procedure result is the answer itself rather than
// the value in DWLP_MSGRESULT.
bool returnsDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

Dialog::Dialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::~Dialog() {
  if (window_) DestroyWindow(window_);
}

void Dialog::bind(int controlId, Control& control) { bindings_.emplace_back(controlId, &control); }

bool Dialog::createModeless() {
  if (window_) return true;
  ended_ = false;
  CreateDialogParamW(Application::instance(), MAKEINTRESOURCEW(templateId_), parent_, &Dialog::dialogProc,
                     reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

intptr_t Dialog::runModal() {
  if (window_ || !createModeless()) return -1;
  modal_ = true;
  bool ownerDisabled = parent_ && IsWindowEnabled(parent_);
  if (ownerDisabled) EnableWindow(parent_, FALSE);
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);

  MSG message;
  bool quit = false;
  while (!ended_ && window_) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      break;
    }
    if (got < 0) break;
    if (!filterMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (ownerDisabled) EnableWindow(parent_, TRUE);
  if (window_) DestroyWindow(window_);
  modal_ = false;
  if (quit) PostQuitMessage(static_cast<int>(message.wParam));
  return result_;
}

bool Dialog::filterMessage(MSG& message) {
  if (!window_) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  if (preTranslateMessage(message)) return true;
  return IsDialogMessageW(window_, &message) != 0;
}

bool Dialog::preTranslateMessage(MSG& message) {
  toolTip_.relay(message);
  return message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
}

void Dialog::endDialog(intptr_t result) {
  result_ = result;
  ended_ = true;
  if (!modal_ && window_) DestroyWindow(window_);
}

void Dialog::centreOnScreen() {
  RECT rect;
  if (!window_ || !GetWindowRect(window_, &rect)) return;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  int x = work.left + ((work.right - work.left) - width) / 2;
  int y = work.top + ((work.bottom - work.top) - height) / 2;
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::makeTopmost() {
  if (window_) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
    self->work_.bind(window);
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;
  return self->handleMessage(message, wParam, lParam);
}

INT_PTR Dialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    for (auto& [id, control] : bindings_) control->attach(GetDlgItem(window_, id));
    return onInitDialog() ? TRUE : FALSE;
  }
  if (message == PostedWork::message()) {
    work_.runPending();
    return TRUE;
  }
  if (message == WM_NCDESTROY) {
    work_.unbind();
    window_ = nullptr;
    ended_ = true;
    return FALSE;
  }
  if (message == WM_DESTROY) toolTip_.destroy();

  LRESULT result = 0;
  if (dispatch(message, wParam, lParam, result)) {
    if (returnsDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
  }

  switch (message) {
    case WM_DRAWITEM:
      if (lParam && reflectDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_MEASUREITEM:
      if (lParam && reflectMeasureItem(window_, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) {
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // One background for every dialog: white, black text.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    case WM_COMMAND:
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
          endDialog(LOWORD(wParam));
          return TRUE;
        }
      }
      return FALSE;
    case WM_CLOSE:
      endDialog(IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace vantaro::ui
