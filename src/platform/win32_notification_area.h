// A notice in Windows' notification area: an icon with a balloon, which Windows 10 and 11
// show as a toast. A click on the balloon (or the icon) opens a folder in Explorer.
#pragma once

#include <QString>

#include <functional>

#include <windows.h>

#include <shellapi.h>

namespace velmar::platform {

// The two shell calls a notice makes, so that tests can record them.
class TrayCalls {
  public:
    virtual ~TrayCalls() = default;
    // Shell_NotifyIconW: NIM_ADD, NIM_SETVERSION or NIM_DELETE.
    virtual bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) = 0;
    // Shows a folder in Explorer.
    virtual void exploreFolder(const QString& folder) = 0;
};

[[nodiscard]] TrayCalls& nativeTrayCalls();

// The message the notification area sends to a notice's window about its icon.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;

// One notice for as long as the object lives: its icon is added with the balloon when it
// is made and removed when the balloon is clicked, closed or times out (which then calls
// onSettled), and at the latest when the object goes. Texts too long for the balloon are shortened
// at the front, so a path keeps its file name.
class TrayNotice {
  public:
    TrayNotice(TrayCalls& calls, const QString& title, const QString& message, QString folder,
               std::function<void()> onSettled = {});
    ~TrayNotice();
    TrayNotice(const TrayNotice&) = delete;
    TrayNotice& operator=(const TrayNotice&) = delete;
    TrayNotice(TrayNotice&&) = delete;
    TrayNotice& operator=(TrayNotice&&) = delete;

    // The notification area took the icon and its balloon.
    [[nodiscard]] bool shown() const { return shown_; }
    // The balloon is gone (clicked, closed, timed out) or was never shown.
    [[nodiscard]] bool settled() const { return !shown_ || removed_; }

  private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void handleIconEvent(UINT event);
    void remove();
    [[nodiscard]] NOTIFYICONDATAW iconData() const;

    TrayCalls* calls_;
    QString folder_;
    std::function<void()> onSettled_;
    HWND window_ = nullptr;
    bool shown_ = false;
    bool removed_ = false;
};

}  // namespace velmar::platform
