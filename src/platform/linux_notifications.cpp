// Notifications through the freedesktop notification service on the session bus.
#include "platform/notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

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

// Servers that understand markup in the body read '&' and '<' as markup.
QString bodyFor(const QDBusConnection& bus, const QString& body) {
    const QDBusReply<QStringList> capabilities =
        bus.call(serviceCall("GetCapabilities"), QDBus::Block, kCallTimeoutMs);
    const bool markup =
        capabilities.isValid() && capabilities.value().contains(QStringLiteral("body-markup"));
    return markup ? body.toHtmlEscaped() : body;
}

}  // namespace

// The notification service keeps notifications after the program ends; clicks are not
// answered, so the folder is not used here.
bool notifyDesktop(const QString& summary, const QString& body, const QString& /*folderToOpen*/) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !serviceOffered(bus)) {
        return false;
    }
    QDBusMessage notify = serviceCall("Notify");
    notify << QCoreApplication::applicationName() << 0U << QStringLiteral("velmar") << summary
           << bodyFor(bus, body) << QStringList() << QVariantMap() << kServerDefaultExpiry;
    const QDBusMessage reply = bus.call(notify, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void settleNotifications() {}

}  // namespace velmar::platform
