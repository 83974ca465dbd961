#include "base/leading_number.h"

#include <charconv>
#include <limits>
#include <string>

namespace velmar {

namespace {

bool isSkipped(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// The text without the characters that number reading skips.
std::string significantCharacters(QStringView text) {
    std::string result;
    for (const QChar c : text) {
        if (isSkipped(c)) {
            continue;
        }
        // Anything beyond ASCII ends a number anyway; keep it as a stop mark.
        result.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f');
    }
    return result;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

double readRadixInteger(const std::string& digits, int radix) {
    double value = 0.0;
    for (const char c : digits) {
        int digit = -1;
        if (isDigit(c)) {
            digit = c - '0';
        } else if (radix == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (radix == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= radix) {
            break;
        }
        value = value * radix + digit;
    }
    return value;
}

std::size_t skipDigits(const std::string& text, std::size_t at) {
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    return at;
}

// The length of the decimal number at the start of text, 0 when there is none.
std::size_t decimalLength(const std::string& text, bool& negativeExponent) {
    std::size_t at = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    const std::size_t integerStart = at;
    at = skipDigits(text, at);
    bool digits = at > integerStart;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionStart = at + 1;
        const std::size_t fractionEnd = skipDigits(text, fractionStart);
        digits = digits || fractionEnd > fractionStart;
        at = fractionEnd;
    }
    if (!digits) {
        return 0;
    }
    if (at < text.size() &&
        (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
        std::size_t exponent = at + 1;
        const bool signed_ =
            exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-');
        negativeExponent = signed_ && text[exponent] == '-';
        exponent += signed_ ? 1 : 0;
        const std::size_t exponentEnd = skipDigits(text, exponent);
        if (exponentEnd > exponent) {
            at = exponentEnd;
        }
    }
    return at;
}

double readDecimal(std::string text) {
    bool negativeExponent = false;
    const std::size_t length = decimalLength(text, negativeExponent);
    if (length == 0) {
        return 0.0;
    }
    text.resize(length);
    for (char& c : text) {
        if (c == 'd' || c == 'D') {
            c = 'e';
        }
    }
    const bool negative = text[0] == '-';
    const char* first = text.data() + ((text[0] == '+' || negative) ? 1 : 0);
    double value = 0.0;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

}  // namespace

double readNumber(QStringView text) {
    const std::string significant = significantCharacters(text);
    if (significant.size() >= 2 && significant[0] == '&') {
        const char radix = significant[1];
        if (radix == 'h' || radix == 'H') {
            return readRadixInteger(significant.substr(2), 16);
        }
        if (radix == 'o' || radix == 'O') {
            return readRadixInteger(significant.substr(2), 8);
        }
    }
    return readDecimal(significant);
}

}  // namespace velmar
