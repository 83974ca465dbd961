#include "settings_store/settings_store.h"

#include <QLocale>
#include <QTimeZone>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace velmar::settings_store {

namespace {

// The date a time without a date stands on.
const QDate kZeroDate(1899, 12, 30);

// The shortest decimal text that reads back as the same number.
template <typename Number>
QString shortestText(Number value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

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

QTime timeOf(const QString& text) {
    for (const char* format : {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm"}) {
        const QTime time = QTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid()) {
            return time;
        }
    }
    return {};
}

[[noreturn]] void raiseOverflow() {
    throw Error(QStringLiteral("ｵｰﾊﾞｰﾌﾛｰしました"));
}

double numberOf(const Variant::Value& value) {
    return std::visit(
        [](const auto& held) -> double {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, std::monostate>) {
                return 0.0;
            } else if constexpr (std::is_same_v<Held, bool>) {
                return held ? -1.0 : 0.0;
            } else if constexpr (std::is_same_v<Held, QString>) {
                bool ok = false;
                const double number = held.trimmed().toDouble(&ok);
                if (!ok) {
                    throw Error(QStringLiteral("型が一致しません"));
                }
                return number;
            } else if constexpr (std::is_same_v<Held, QDateTime>) {
                throw Error(QStringLiteral("型が一致しません"));
            } else {
                return static_cast<double>(held);
            }
        },
        value);
}

}  // namespace

Variant Variant::fromText(const QString& text) {
    return Variant(Value(std::in_place_type<QString>, text));
}
Variant Variant::fromBool(bool value) {
    return Variant(Value(std::in_place_type<bool>, value));
}
Variant Variant::fromDate(const QDateTime& value) {
    return Variant(Value(std::in_place_type<QDateTime>, value));
}
Variant Variant::fromInt16(std::int16_t value) {
    return Variant(Value(std::in_place_type<std::int16_t>, value));
}
Variant Variant::fromInt32(std::int32_t value) {
    return Variant(Value(std::in_place_type<std::int32_t>, value));
}
Variant Variant::fromSingle(float value) {
    return Variant(Value(std::in_place_type<float>, value));
}
Variant Variant::fromDouble(double value) {
    return Variant(Value(std::in_place_type<double>, value));
}

QString Variant::typeName() const {
    static const std::array<const char*, std::variant_size_v<Value>> kNames = {
        "Empty", "String", "Boolean", "Date", "Integer", "Long", "Single", "Double"};
    return QString::fromLatin1(kNames.at(value_.index()));
}

QString Variant::toText() const {
    return std::visit(
        [](const auto& held) -> QString {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<Held, QString>) {
                return held;
            } else if constexpr (std::is_same_v<Held, bool>) {
                return held ? QStringLiteral("True") : QStringLiteral("False");
            } else if constexpr (std::is_same_v<Held, QDateTime>) {
                return dateText(held);
            } else if constexpr (std::is_floating_point_v<Held>) {
                return shortestText(held);
            } else {
                return QString::number(held);
            }
        },
        value_);
}

std::int16_t Variant::toInt16() const {
    const double rounded = std::nearbyint(numberOf(value_));
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        raiseOverflow();
    }
    return static_cast<std::int16_t>(rounded);
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
