// The variant the settings are read and stored as, and the lenient number reader.
#include "settings_store/settings_document.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <utility>

namespace velmar::settings_store {
namespace {

using Number = std::pair<const char*, double>;

class ReadNumber : public testing::TestWithParam<Number> {};

// Stored numbers may carry blanks, trailing junk or a radix prefix.
TEST_P(ReadNumber, ReadsTheLeadingNumber) {
    EXPECT_EQ(readNumber(QString::fromUtf8(GetParam().first)), GetParam().second)
        << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(ReadNumber, ReadNumber,
                         testing::Values(Number{"", 0}, Number{"x", 0}, Number{"2x", 2},
                                         Number{"1.5", 1.5}, Number{".5", 0.5}, Number{"-3", -3},
                                         Number{"+4", 4}, Number{"1e3", 1000},
                                         Number{"2.5E-1", 0.25}, Number{" 1 2", 12},
                                         Number{"\t-\n3", -3}, Number{"1\r2", 1},
                                         Number{"1.2.3", 1.2}, Number{"&H10", 16},
                                         Number{"&HFF", 255}, Number{"&O17", 15}));

struct Kind {
    Variant value;
    const char* typeName;
    const char* text;  // nullptr: checked by reading the text back instead
};

class VariantKind : public testing::TestWithParam<Kind> {};

TEST_P(VariantKind, NamesItsKindAndWritesItsText) {
    EXPECT_EQ(GetParam().value.typeName(), QString::fromUtf8(GetParam().typeName));
    if (GetParam().text != nullptr) {
        EXPECT_EQ(GetParam().value.toText(), QString::fromUtf8(GetParam().text));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variant, VariantKind,
    testing::Values(
        Kind{Variant(), "Empty", ""},
        Kind{Variant::fromText(QStringLiteral(" 設定‡ ")), "String", " 設定‡ "},
        Kind{Variant::fromBool(true), "Boolean", "True"},
        Kind{Variant::fromBool(false), "Boolean", "False"},
        Kind{Variant::fromInt16(-5), "Integer", "-5"},
        Kind{Variant::fromInt32(std::numeric_limits<std::int32_t>::min()), "Long", "-2147483648"},
        Kind{Variant::fromSingle(0.5F), "Single", nullptr},
        Kind{Variant::fromDouble(0.5), "Double", nullptr},
        Kind{Variant::fromDate(QDateTime(QDate(2024, 2, 29), QTime(), Qt::UTC)), "Date", nullptr}));

// The stored text of a number must read back as the very same number, whatever the locale.
class VariantDoubleText : public testing::TestWithParam<double> {};

TEST_P(VariantDoubleText, ReadsBackExactly) {
    const QString text = Variant::fromDouble(GetParam()).toText();
    EXPECT_FALSE(text.contains(QLatin1Char(','))) << text.toStdString();
    EXPECT_EQ(readNumber(text), GetParam()) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Variant, VariantDoubleText,
                         testing::Values(0.0, 0.1, 1e20, -2.5e-7, 1.0 / 3.0, 123456789.125,
                                         std::numeric_limits<double>::max(),
                                         std::numeric_limits<double>::denorm_min()));

class VariantSingleText : public testing::TestWithParam<float> {};

TEST_P(VariantSingleText, ReadsBackExactly) {
    const QString text = Variant::fromSingle(GetParam()).toText();
    EXPECT_EQ(static_cast<float>(readNumber(text)), GetParam()) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Variant, VariantSingleText,
                         testing::Values(0.1F, 1e20F, -2.5e-7F, 1.0F / 3.0F,
                                         std::numeric_limits<float>::max()));

using Int16Case = std::pair<Variant, std::optional<int>>;  // nothing: raises Error

class VariantToInt16 : public testing::TestWithParam<Int16Case> {};

TEST_P(VariantToInt16, RoundsHalvesToEvenWithinRange) {
    const Variant& value = GetParam().first;
    if (GetParam().second) {
        EXPECT_EQ(value.toInt16(), *GetParam().second) << value.toText().toStdString();
    } else {
        EXPECT_THROW((void)value.toInt16(), Error) << value.toText().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variant, VariantToInt16,
    testing::Values(Int16Case{Variant::fromDouble(1.5), 2}, Int16Case{Variant::fromDouble(2.5), 2},
                    Int16Case{Variant::fromDouble(-2.5), -2},
                    Int16Case{Variant::fromSingle(0.5F), 0},
                    Int16Case{Variant::fromDouble(0.5000001), 1},
                    Int16Case{Variant::fromInt32(32767), 32767},
                    Int16Case{Variant::fromDouble(-32768), -32768},
                    Int16Case{Variant::fromInt32(32768), std::nullopt},
                    Int16Case{Variant::fromInt32(-32769), std::nullopt},
                    Int16Case{Variant::fromDouble(32767.5), std::nullopt},
                    Int16Case{Variant::fromDouble(1e10), std::nullopt},
                    Int16Case{Variant::fromText(QStringLiteral("abc")), std::nullopt}));

}  // namespace
}  // namespace velmar::settings_store
