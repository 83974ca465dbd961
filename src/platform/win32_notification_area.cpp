// Notices in the notification area through Shell_NotifyIconW, answered by a message-only
// window of their own on the thread that made them.
#include "platform/win32_notification_area.h"

#include "platform/services.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <utility>

namespace velmar::platform {

namespace {

// The class of the hidden window that receives the icon's messages; a class registered
// with the program's own module handle is private to the process, so it names no program.
constexpr auto kWindowClass = L"TrayNoticeWindow";
constexpr UINT kIconId = 1;

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// Copies text into a fixed field with its terminating zero; text that does not fit loses
// its front, marked with an ellipsis.
template <std::size_t size>
void copyInto(wchar_t (&field)[size], const QString& text) {
    constexpr auto room = static_cast<qsizetype>(size - 1);
    const QString shown = text.size() <= room ? text : QChar(0x2026) + text.right(room - 1);
    const auto length = static_cast<std::size_t>(shown.toWCharArray(field));
    field[std::min(length, size - 1)] = L'\0';
}

// The program's icon, or the system's application icon where the executable has none.
HICON noticeIcon() {
    const int side = GetSystemMetrics(SM_CXSMICON);
    auto* icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"IDI_ICON1", IMAGE_ICON, side, side, LR_SHARED));
    return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

bool registerWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class ShellTrayCalls final : public TrayCalls {
  public:
    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        NOTIFYICONDATAW copy = data;
        return Shell_NotifyIconW(message, &copy) != FALSE;
    }
    void exploreFolder(const QString& folder) override {
        // Explorer tells the user itself when the folder cannot be shown.
        const QString native = QDir::toNativeSeparators(folder);
        ShellExecuteW(nullptr, L"explore", wide(native), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

}  // namespace

TrayCalls& nativeTrayCalls() {
    static ShellTrayCalls calls;
    return calls;
}

TrayNotice::TrayNotice(TrayCalls& calls, const QString& title, const QString& message,
                       QString folder, std::function<void()> onSettled)
    : calls_(&calls), folder_(std::move(folder)), onSettled_(std::move(onSettled)) {
    if (!registerWindowClass(&TrayNotice::windowProcedure)) {
        return;
    }
    // A message-only window: the shell sends the icon's events to it, and it needs no
    // display of its own.
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) {
        return;
    }
    NOTIFYICONDATAW data = iconData();
    data.uFlags |= NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = noticeIcon();
    copyInto(data.szTip, QCoreApplication::applicationName());
    copyInto(data.szInfoTitle, title);
    copyInto(data.szInfo, message);
    data.dwInfoFlags = NIIF_INFO;
    shown_ = calls_->notifyIcon(NIM_ADD, data);
    if (shown_) {
        // Version 4: the event in the low word of lParam, clicks on the balloon reported.
        NOTIFYICONDATAW version = iconData();
        version.uVersion = NOTIFYICON_VERSION_4;
        calls_->notifyIcon(NIM_SETVERSION, version);
    }
}

TrayNotice::~TrayNotice() {
    remove();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

NOTIFYICONDATAW TrayNotice::iconData() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_;
    data.uID = kIconId;
    return data;
}

void TrayNotice::remove() {
    if (shown_ && !removed_) {
        removed_ = true;
        const NOTIFYICONDATAW data = iconData();
        calls_->notifyIcon(NIM_DELETE, data);
    }
}

void TrayNotice::handleIconEvent(UINT event) {
    switch (event) {
        case NIN_BALLOONUSERCLICK:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            if (!folder_.isEmpty()) {
                calls_->exploreFolder(folder_);
            }
            break;
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE:
            break;
        default:
            return;
    }
    const bool wasShowing = !settled();
    remove();
    if (wasShowing && onSettled_) {
        onSettled_();
    }
}

LRESULT CALLBACK TrayNotice::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    } else if (message == kTrayCallbackMessage) {
        auto* notice = reinterpret_cast<TrayNotice*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (notice != nullptr) {
            notice->handleIconEvent(LOWORD(lParam));
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace velmar::platform
