// A private X server for tests that drive the real window: Xvfb on a display number that it
// picks itself, and the X clients that find, measure, click, type into and photograph the
// windows on it (xdotool, ImageMagick's import).
#pragma once

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

namespace velmar::test {

inline constexpr std::chrono::milliseconds kClientTimeout{10000};

// How an X client ended.
struct ClientResult {
    bool ok = false;  // it ran, ended within its time and exited with status 0
    QString standardOutput;
    QString standardError;
};

class XServer {
  public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    XServer(XServer&&) = delete;
    XServer& operator=(XServer&&) = delete;

    // Starts Xvfb with one 1024 × 768 screen of 24 bits, reachable only through its local
    // socket. Returns an empty text when the server accepts clients, otherwise what went
    // wrong (a missing Xvfb or xdotool is said by name).
    [[nodiscard]] QString start();
    // Ends the server by its own process id: SIGTERM, a short wait, then SIGKILL.
    void stop();

    // ":<n>"; empty while the server is not running.
    [[nodiscard]] QString display() const { return display_; }
    // This process's environment for a program that is to show its windows here: DISPLAY
    // names this server, Qt uses its xcb platform, and no other display or X cookie is seen.
    [[nodiscard]] QProcessEnvironment environment() const;
    // Runs an X client here; it is killed when it takes longer than the timeout.
    [[nodiscard]] ClientResult runClient(const QString& program, const QStringList& arguments,
                                         std::chrono::milliseconds timeout = kClientTimeout) const;

  private:
    [[nodiscard]] QString readDisplayNumber();
    [[nodiscard]] QString serverLog() const;

    QTemporaryDir logFolder_;
    QProcess xvfb_;
    QString display_;
};

// The id of a visible window whose title is exactly the given text, once one is shown;
// empty when none appeared within the timeout.
[[nodiscard]] QString waitForWindow(const XServer& server, const QString& title,
                                    std::chrono::milliseconds timeout);

// The visible top-level windows of a process (found by the _NET_WM_PID that Qt sets).
[[nodiscard]] QStringList visibleWindows(const XServer& server, qint64 pid);

// Waits until the process shows exactly count windows; returns the windows last seen.
[[nodiscard]] QStringList waitForVisibleWindows(const XServer& server, qint64 pid, qsizetype count,
                                                std::chrono::milliseconds timeout);

// A window's position on the screen and its size; nothing when it cannot be asked.
[[nodiscard]] std::optional<QRect> windowGeometry(const XServer& server, const QString& window);

// Moves the pointer to a point given in the window's coordinates and clicks the left button.
[[nodiscard]] bool clickAt(const XServer& server, const QString& window, QPoint at);

// Presses and releases keys given by their X names (Down, Right, Return, …) one after the
// other; they go to whichever window has the keyboard, such as an open menu.
[[nodiscard]] bool pressKeys(const XServer& server, const QStringList& keys);

// Saves the whole screen as an image file (the format follows the file name).
[[nodiscard]] bool saveScreen(const XServer& server, const QString& path);

}  // namespace velmar::test
