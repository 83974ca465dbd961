#include "platform/diagnostics.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>

namespace velmar::platform {

bool isHeadless() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

QString withLineFeeds(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void writeDiagnostic(const QString& text) {
    const QByteArray bytes = (QCoreApplication::applicationName() + QLatin1String(": ") +
                              withLineFeeds(text) + QLatin1Char('\n'))
                                 .toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void writeOutput(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

}  // namespace velmar::platform
