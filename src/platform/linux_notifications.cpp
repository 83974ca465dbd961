// Notifications through the freedesktop notification service on the session bus.
#include "platform/notifications.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QUrl>
#include <QWindow>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>
#include <memory>

namespace velmar::platform {

namespace {

constexpr auto kService = "org.freedesktop.Notifications";
constexpr auto kPath = "/org/freedesktop/Notifications";
constexpr auto kInterface = "org.freedesktop.Notifications";
// Long enough for a service that is started on demand; the program ends right after a
// print-only run, so the call waits for the answer.
constexpr int kCallTimeoutMs = 5000;
constexpr int kServerDefaultExpiry = -1;

QDBusMessage serviceCall(const char* method) {
    return QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                          QLatin1String(kInterface), QLatin1String(method));
}

// A service may be running already or be started by the bus when it is called.
bool serviceOffered(const QDBusConnection& bus) {
    QDBusConnectionInterface* daemon = bus.interface();
    if (daemon == nullptr) {
        return false;
    }
    daemon->setTimeout(kCallTimeoutMs);  // a stuck bus never holds up a finished print
    const QString service = QLatin1String(kService);
    if (daemon->isServiceRegistered(service).value()) {
        return true;
    }
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

struct Capabilities {
    bool markup = false;   // '&' and '<' in the body are read as markup
    bool links = false;    // the body may carry links, which the service opens itself
    bool actions = false;  // buttons, whose clicks are reported to the program
};

Capabilities capabilitiesOf(const QDBusConnection& bus) {
    const QDBusReply<QStringList> reply =
        bus.call(serviceCall("GetCapabilities"), QDBus::Block, kCallTimeoutMs);
    const QStringList offered = reply.isValid() ? reply.value() : QStringList();
    return Capabilities{offered.contains(QStringLiteral("body-markup")),
                        offered.contains(QStringLiteral("body-hyperlinks")),
                        offered.contains(QStringLiteral("actions"))};
}

QString folderOf(const QString& file) {
    return QFileInfo(file).absolutePath();
}

QString link(const QString& path, const QString& label) {
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped(), label);
}

// Links are opened by the service itself, so they work after the program has ended.
QString bodyFor(const Capabilities& offered, const QString& body, const QString& file) {
    if (!file.isEmpty() && offered.links) {
        return body.toHtmlEscaped() + QLatin1Char('\n') + link(file, QStringLiteral("開く")) +
               QStringLiteral("  ") + link(folderOf(file), QStringLiteral("ﾌｫﾙﾀﾞを開く"));
    }
    return offered.markup || offered.links ? body.toHtmlEscaped() : body;
}

// Opens the file or its folder when a button of a notification it showed is clicked. It
// lives with the application object, so clicks are answered while the program runs.
class ActionAnswers final : public QObject {
    Q_OBJECT
  public:
    void expect(uint id, const QString& file) { files_.insert(id, file); }

  public Q_SLOTS:
    void invoked(uint id, const QString& action) {
        const QString file = files_.value(id);
        if (file.isEmpty()) {
            return;
        }
        const QString opened = action == QLatin1String("open-file") ? file : folderOf(file);
        QDesktopServices::openUrl(QUrl::fromLocalFile(opened));
    }
    void closed(uint id, uint /*reason*/) { files_.remove(id); }

  private:
    QHash<uint, QString> files_;
};

// Buttons are offered only while a window keeps the program running to answer them; a
// print-only run ends at once and never waits for a click.
ActionAnswers* answersFor(QDBusConnection& bus, const Capabilities& offered, const QString& file) {
    if (file.isEmpty() || !offered.actions || offered.links) {
        return nullptr;
    }
    const QList<QWindow*> windows = QGuiApplication::topLevelWindows();
    const bool windowShown = std::any_of(windows.begin(), windows.end(),
                                         [](const QWindow* window) { return window->isVisible(); });
    if (!windowShown) {
        return nullptr;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (auto* answers =
            application->findChild<ActionAnswers*>(QString(), Qt::FindDirectChildrenOnly)) {
        return answers;
    }
    auto answers = std::make_unique<ActionAnswers>();
    const QString service = QLatin1String(kService);
    bus.connect(service, QLatin1String(kPath), QLatin1String(kInterface),
                QStringLiteral("ActionInvoked"), answers.get(), SLOT(invoked(uint, QString)));
    bus.connect(service, QLatin1String(kPath), QLatin1String(kInterface),
                QStringLiteral("NotificationClosed"), answers.get(), SLOT(closed(uint, uint)));
    answers->setParent(application);  // the application object owns it from here
    return answers.release();
}

QStringList actionsFor(const ActionAnswers* answers) {
    if (answers == nullptr) {
        return {};
    }
    return {QStringLiteral("default"),     QStringLiteral("ﾌｫﾙﾀﾞを開く"),
            QStringLiteral("open-file"),   QStringLiteral("開く"),
            QStringLiteral("open-folder"), QStringLiteral("ﾌｫﾙﾀﾞを開く")};
}

}  // namespace

// The notification service keeps notifications after the program ends.
bool notifyDesktop(const QString& summary, const QString& body, const QString& fileShown) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !serviceOffered(bus)) {
        return false;
    }
    const Capabilities offered = capabilitiesOf(bus);
    ActionAnswers* answers = answersFor(bus, offered, fileShown);
    QDBusMessage notify = serviceCall("Notify");
    // The icon theme names the program's icon as the program is named, in lower case.
    const QString application = QCoreApplication::applicationName();
    notify << application << 0U << application.toLower() << summary
           << bodyFor(offered, body, fileShown) << actionsFor(answers) << QVariantMap()
           << kServerDefaultExpiry;
    const QDBusReply<uint> reply = bus.call(notify, QDBus::Block, kCallTimeoutMs);
    if (reply.isValid() && answers != nullptr) {
        answers->expect(reply.value(), fileShown);
    }
    return reply.isValid();
}

void settleNotifications() {}

}  // namespace velmar::platform

#include "linux_notifications.moc"
