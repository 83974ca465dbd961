// Notifications on Windows: a balloon from the notification area, which Windows 10 and 11
// show as a toast; a click on it opens the folder given. Only the running program can
// answer the click, so each notice is owned by the application object and lives until its
// balloon is clicked, closed or times out, or the program ends. Before the program ends,
// settleNotifications() gives notices still showing a few seconds; a print-only run thus
// never waits for anyone, and its exit status is already decided when it does.
#include "platform/notifications.h"

#include "platform/win32_notification_area.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QObject>
#include <QTimer>

#include <memory>

namespace velmar::platform {

namespace {

// The object name by which the application object's notices are found again; it names no
// program, since only this file sets and looks for it.
constexpr auto kHolderName = "tray-notice-holder";
// Long enough to read a short line and click it; Windows times a balloon out by itself
// after about as long.
constexpr int kSettleMs = 8000;

// Keeps one notice with the application object, and goes once the notice is settled.
class NoticeHolder final : public QObject {
  public:
    NoticeHolder(const QString& summary, const QString& body, const QString& folder)
        : notice_(nativeTrayCalls(), summary, body, folder, [this] { deleteLater(); }) {
        setObjectName(QLatin1String(kHolderName));
    }
    [[nodiscard]] bool shown() const { return notice_.shown(); }

  private:
    TrayNotice notice_;
};

}  // namespace

bool notifyDesktop(const QString& summary, const QString& body, const QString& fileShown) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;  // nothing would answer the notice's window
    }
    auto holder = std::make_unique<NoticeHolder>(
        summary, body, fileShown.isEmpty() ? QString() : QFileInfo(fileShown).absolutePath());
    if (!holder->shown()) {
        return false;
    }
    // The application object owns it from here and removes the icon at the latest when it
    // goes.
    holder.release()->setParent(application);
    return true;
}

void settleNotifications() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    const QList<QObject*> showing =
        application->findChildren<QObject*>(QLatin1String(kHolderName), Qt::FindDirectChildrenOnly);
    if (showing.isEmpty()) {
        return;
    }
    QEventLoop loop;
    qsizetype remaining = showing.size();
    for (QObject* holder : showing) {
        QObject::connect(holder, &QObject::destroyed, &loop, [&loop, &remaining] {
            if (--remaining == 0) {
                loop.quit();
            }
        });
    }
    QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace velmar::platform
