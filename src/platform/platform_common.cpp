#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QString>

#include <cstdio>

namespace velmar {

Error::Error(const QString& message) : std::runtime_error(message.toStdString()) {}

QString Error::message() const {
    return QString::fromStdString(what());
}

}  // namespace velmar

namespace velmar::platform {

QChar pathSeparator() {
    return QDir::separator();
}

QString executableSuffix() {
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return {};
#endif
}

QString executableBaseName(const QString& executableFilePath) {
    QString name = QFileInfo(executableFilePath).fileName();
    const QString suffix = executableSuffix();
    if (!suffix.isEmpty() && name.endsWith(suffix, Qt::CaseInsensitive)) {
        name.chop(suffix.size());
    }
    return name;
}

QString executableFolder(const QString& executableFilePath) {
    return QDir::toNativeSeparators(QFileInfo(executableFilePath).path());
}

QString shortcutSuffix() {
#ifdef Q_OS_WIN
    return QStringLiteral(".lnk");
#else
    return QStringLiteral(".desktop");
#endif
}

bool isHeadless() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

void writeDiagnostic(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QByteArray bytes =
        (QLatin1String(kAppTitle) + QLatin1String(": ") + line + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void writeOutput(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

}  // namespace velmar::platform
