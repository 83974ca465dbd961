// A private D-Bus session bus: dbus-daemon with its own socket in a temporary folder,
// stopped by its process id. And a desktop notification service on it
// that writes down every notification it is sent.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <vector>

namespace velmar::test {

class PrivateSessionBus {
  public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;
    PrivateSessionBus(PrivateSessionBus&&) = delete;
    PrivateSessionBus& operator=(PrivateSessionBus&&) = delete;

    // Empty when the daemon did not start; then problem() says why.
    [[nodiscard]] QString address() const { return address_; }
    [[nodiscard]] QString problem() const { return problem_; }

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString problem_;
};

struct Notification {
    QString summary;
    QString body;
    QStringList actions;  // key, label, key, label, …
};

class NotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    // Owns the service's name on the bus at that address; registered() tells whether it
    // could. It says it offers the capabilities given.
    explicit NotificationService(const QString& busAddress,
                                 QStringList capabilities = {QStringLiteral("body")});
    ~NotificationService() override;
    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;
    NotificationService(NotificationService&&) = delete;
    NotificationService& operator=(NotificationService&&) = delete;

    [[nodiscard]] bool registered() const { return registered_; }
    std::vector<Notification> received;

  public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString& application, uint replaces, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);

  private:
    QStringList capabilities_;
    bool registered_ = false;
};

}  // namespace velmar::test
