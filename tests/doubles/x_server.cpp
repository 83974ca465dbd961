#include "doubles/x_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QMap>
#include <QStandardPaths>

#include <algorithm>
#include <thread>

namespace velmar::test {

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kStopTimeoutMs = 5000;
constexpr std::chrono::milliseconds kPollInterval{50};
constexpr std::chrono::milliseconds kWindowSettle{300};

// Each tool with the Debian package that brings it.
constexpr const char* kTools[][2] = {{"Xvfb", "xvfb"}, {"xdotool", "xdotool"}};

QString missingTools() {
    QString missing;
    for (const auto& [tool, package] : kTools) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            missing += QStringLiteral(
                           "%1 is not installed (Debian package %2, which "
                           "scripts/install-deps.sh installs). ")
                           .arg(QString::fromLatin1(tool), QString::fromLatin1(package));
        }
    }
    return missing;
}

// xdotool matches titles as POSIX extended regular expressions; this one matches the text
// exactly.
QString exactTitlePattern(const QString& title) {
    QString pattern = QStringLiteral("^");
    for (const QChar character : title) {
        if (QStringLiteral(".[]{}()\\*+?^$|").contains(character)) {
            pattern += QLatin1Char('\\');
        }
        pattern += character;
    }
    return pattern + QLatin1Char('$');
}

QStringList linesOf(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

XServer::~XServer() {
    stop();
}

QString XServer::start() {
    if (const QString missing = missingTools(); !missing.isEmpty()) {
        return missing;
    }
    if (!logFolder_.isValid()) {
        return QStringLiteral("no temporary folder for the X server's log");
    }
    xvfb_.setStandardErrorFile(logFolder_.filePath(QStringLiteral("xvfb.log")));
    // -displayfd: Xvfb takes the first free display number and writes it to the given file
    // descriptor (1 is QProcess's standard output) once it accepts clients, so servers that
    // start at the same moment never collide.
    xvfb_.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                 QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp")});
    if (!xvfb_.waitForStarted(kStartTimeoutMs)) {
        return QStringLiteral("Xvfb did not start: ") + xvfb_.errorString();
    }
    const QString number = readDisplayNumber();
    if (number.isEmpty()) {
        stop();
        return QStringLiteral("Xvfb did not say its display number. Its log:\n") + serverLog();
    }
    display_ = QLatin1Char(':') + number;
    return {};
}

QString XServer::readDisplayNumber() {
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!xvfb_.canReadLine()) {
        if (deadline.hasExpired() ||
            !xvfb_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return {};
        }
    }
    return QString::fromLatin1(xvfb_.readLine()).trimmed();
}

QString XServer::serverLog() const {
    QFile log(logFolder_.filePath(QStringLiteral("xvfb.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

void XServer::stop() {
    display_.clear();
    if (xvfb_.state() == QProcess::NotRunning) {
        return;
    }
    xvfb_.terminate();
    if (!xvfb_.waitForFinished(kStopTimeoutMs)) {
        xvfb_.kill();
        xvfb_.waitForFinished(kStopTimeoutMs);
    }
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"WAYLAND_DISPLAY", "XAUTHORITY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("DISPLAY"), display_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

ClientResult XServer::runClient(const QString& program, const QStringList& arguments,
                                std::chrono::milliseconds timeout) const {
    QProcess client;
    client.setProcessEnvironment(environment());
    client.start(program, arguments);
    ClientResult result;
    if (!client.waitForStarted()) {
        result.standardError = program + QStringLiteral(": ") + client.errorString();
        return result;
    }
    if (!client.waitForFinished(static_cast<int>(timeout.count()))) {
        client.kill();
        client.waitForFinished();
        result.standardError = program + QStringLiteral(" did not end in time");
        return result;
    }
    result.ok = client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
    result.standardOutput = QString::fromUtf8(client.readAllStandardOutput());
    result.standardError = QString::fromUtf8(client.readAllStandardError());
    return result;
}

// xdotool's search can fail outright when a window goes away while it looks (BadWindow),
// so a failed search is asked again until the deadline. A window found has just been
// mapped and takes the keyboard a moment later: keys typed at once would be lost.
QString waitForWindow(const XServer& server, const QString& title,
                      std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    do {
        const ClientResult found = server.runClient(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"), exactTitlePattern(title)},
            std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 1)));
        const QStringList windows = linesOf(found.standardOutput);
        if (found.ok && !windows.isEmpty()) {
            std::this_thread::sleep_for(kWindowSettle);
            return windows.first();
        }
        std::this_thread::sleep_for(kPollInterval);
    } while (!deadline.hasExpired());
    return {};
}

QStringList visibleWindows(const XServer& server, qint64 pid) {
    // xdotool ends with status 1 when it finds nothing, which is an answer here too.
    return linesOf(server
                       .runClient(QStringLiteral("xdotool"),
                                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                   QStringLiteral("--pid"), QString::number(pid)})
                       .standardOutput);
}

QStringList waitForVisibleWindows(const XServer& server, qint64 pid, qsizetype count,
                                  std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    QStringList windows = visibleWindows(server, pid);
    while (windows.size() != count && !deadline.hasExpired()) {
        std::this_thread::sleep_for(kPollInterval);
        windows = visibleWindows(server, pid);
    }
    return windows;
}

std::optional<QRect> windowGeometry(const XServer& server, const QString& window) {
    const ClientResult asked =
        server.runClient(QStringLiteral("xdotool"),
                         {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    if (!asked.ok) {
        return std::nullopt;
    }
    // Lines such as X=6, Y=19, WIDTH=177, HEIGHT=136.
    QMap<QString, int> values;
    for (const QString& line : linesOf(asked.standardOutput)) {
        values.insert(line.section(QLatin1Char('='), 0, 0),
                      line.section(QLatin1Char('='), 1).toInt());
    }
    const QStringList keys = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("WIDTH"),
                              QStringLiteral("HEIGHT")};
    for (const QString& key : keys) {
        if (!values.contains(key)) {
            return std::nullopt;
        }
    }
    return QRect(values.value(keys[0]), values.value(keys[1]), values.value(keys[2]),
                 values.value(keys[3]));
}

bool clickAt(const XServer& server, const QString& window, QPoint at) {
    // The server handles the pointer move before the click, so no waiting is needed between.
    return server
        .runClient(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                    QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                    QStringLiteral("1")})
        .ok;
}

bool pressKeys(const XServer& server, const QStringList& keys) {
    return server.runClient(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys)
        .ok;
}

bool saveScreen(const XServer& server, const QString& path) {
    return server
        .runClient(QStringLiteral("import"),
                   {QStringLiteral("-window"), QStringLiteral("root"), path})
        .ok;
}

}  // namespace velmar::test
