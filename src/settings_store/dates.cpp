// Dates and times in the settings document: the text a date is stored as, and reading a
// stored text back as a date.
#include "settings_store/dates.h"
#include "settings_store/settings_document.h"

#include <QLocale>
#include <QTimeZone>

namespace velmar::settings_store {

namespace {

// The date a time without a date stands on.
const QDate kZeroDate(1899, 12, 30);

QTime timeOf(const QString& text) {
    for (const char* format : {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm"}) {
        const QTime time = QTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid()) {
            return time;
        }
    }
    return {};
}

}  // namespace

QString dateText(const QDateTime& value) {
    const QTime time = value.time();
    const QString timeFormat =
        time.msec() == 0 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm:ss.zzz");
    if (value.date() == kZeroDate && time != QTime(0, 0)) {
        return time.toString(timeFormat);
    }
    if (time == QTime(0, 0)) {
        return value.date().toString(Qt::ISODate);
    }
    return value.date().toString(Qt::ISODate) + QLatin1Char(' ') + time.toString(timeFormat);
}

std::optional<QDateTime> readDate(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QDate date = QDate::fromString(trimmed.left(blank), Qt::ISODate);
    const QTime time = blank < 0 ? QTime(0, 0) : timeOf(trimmed.mid(blank + 1));
    if (date.isValid() && time.isValid()) {
        return QDateTime(date, time, QTimeZone::utc());
    }
    if (const QTime alone = timeOf(trimmed); alone.isValid()) {
        return QDateTime(kZeroDate, alone, QTimeZone::utc());
    }
    const QLocale locale = QLocale::system();
    if (const QDateTime local = locale.toDateTime(trimmed, QLocale::ShortFormat); local.isValid()) {
        return QDateTime(local.date(), local.time(), QTimeZone::utc());
    }
    if (const QDate localDate = locale.toDate(trimmed, QLocale::ShortFormat); localDate.isValid()) {
        return QDateTime(localDate, QTime(0, 0), QTimeZone::utc());
    }
    return std::nullopt;
}

}  // namespace velmar::settings_store
