#include "doubles/session_bus.h"

#include <utility>

namespace velmar::test {

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr auto kConnectionName = "velmar-test-notifications";

}  // namespace

// The desktop's own session configuration, listening on a socket in the temporary folder.
PrivateSessionBus::PrivateSessionBus() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address"),
                   QStringLiteral("--address=unix:path=") + dir_.filePath(QStringLiteral("bus"))});
    // The daemon prints its address once it accepts connections.
    while (daemon_.waitForReadyRead(kStartTimeoutMs) && !daemon_.canReadLine()) {
    }
    if (!daemon_.canReadLine()) {
        problem_ = QStringLiteral("dbus-daemon did not start: ") +
                   QString::fromLocal8Bit(daemon_.readAllStandardError()) + daemon_.errorString();
        return;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(kStartTimeoutMs)) {
            daemon_.kill();
            daemon_.waitForFinished();
        }
    }
}

NotificationService::NotificationService(const QString& busAddress, QStringList capabilities)
    : capabilities_(std::move(capabilities)) {
    QDBusConnection connection =
        QDBusConnection::connectToBus(busAddress, QLatin1String(kConnectionName));
    registered_ = connection.isConnected() &&
                  connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                            QDBusConnection::ExportAllSlots) &&
                  connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

// No handle to the connection is kept, so that closing it drops the last one.
NotificationService::~NotificationService() {
    QDBusConnection(QLatin1String(kConnectionName))
        .unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QLatin1String(kConnectionName));
}

QStringList NotificationService::GetCapabilities() {
    return capabilities_;
}

uint NotificationService::Notify(const QString& /*application*/, uint /*replaces*/,
                                 const QString& /*icon*/, const QString& summary,
                                 const QString& body, const QStringList& actions,
                                 const QVariantMap& /*hints*/, int /*timeout*/) {
    received.push_back(Notification{summary, body, actions});
    return static_cast<uint>(received.size());
}

}  // namespace velmar::test
