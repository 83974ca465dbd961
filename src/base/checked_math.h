// Integer conversions that round half to even and raise an error on overflow.
#pragma once

#include <cstdint>

namespace velmar {

// Raises the overflow error that every checked conversion raises.
[[noreturn]] void raiseOverflow();

// Rounds to the nearest integer, a tie going to the even one.
[[nodiscard]] double roundHalfEven(double value);

// Round half to even into a 32-bit integer; throws velmar::Error when the result does
// not fit or the value is not a number.
[[nodiscard]] std::int32_t toInt32(double value);

// Round half to even into a 16-bit integer; throws velmar::Error when the result does
// not fit or the value is not a number.
[[nodiscard]] std::int16_t toInt16(double value);

// a − b; throws velmar::Error on 32-bit overflow.
[[nodiscard]] std::int32_t subtractChecked(std::int32_t a, std::int32_t b);

}  // namespace velmar
