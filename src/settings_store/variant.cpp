#include "settings_store/settings_document.h"

#include "base/checked_math.h"
#include "settings_store/dates.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace velmar::settings_store {

namespace {

// The shortest decimal text that reads back as the same number.
template <typename Number>
QString shortestText(Number value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
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
    return velmar::toInt16(numberOf(value_));
}

}  // namespace velmar::settings_store
