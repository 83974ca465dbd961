#include "base/checked_math.h"

#include "base/error.h"

#include <cmath>
#include <limits>

namespace velmar {

void raiseOverflow() {
    throw Error(QStringLiteral("ｵｰﾊﾞｰﾌﾛｰしました"));
}

// std::nearbyint rounds in the current rounding mode, which the program never changes
// from round-to-nearest-even.
double roundHalfEven(double value) {
    return std::nearbyint(value);
}

namespace {

template <typename Integer>
Integer roundedInto(double value) {
    const double rounded = roundHalfEven(value);
    if (std::isnan(rounded) || rounded < std::numeric_limits<Integer>::min() ||
        rounded > std::numeric_limits<Integer>::max()) {
        raiseOverflow();
    }
    return static_cast<Integer>(rounded);
}

}  // namespace

std::int32_t toInt32(double value) {
    return roundedInto<std::int32_t>(value);
}

std::int16_t toInt16(double value) {
    return roundedInto<std::int16_t>(value);
}

std::int32_t subtractChecked(std::int32_t a, std::int32_t b) {
    const std::int64_t difference = std::int64_t{a} - std::int64_t{b};
    if (difference < std::numeric_limits<std::int32_t>::min() ||
        difference > std::numeric_limits<std::int32_t>::max()) {
        raiseOverflow();
    }
    return static_cast<std::int32_t>(difference);
}

}  // namespace velmar
