// Reading the number a text begins with, the lenient way settings values and backup names
// are read.
#pragma once

#include <QStringView>

namespace velmar {

// The leading number of a text, read leniently: blanks, tabs and line feeds are skipped
// anywhere, also between digits; then an optional sign, digits, an optional fraction and
// exponent. Reading stops at the first character that cannot continue the number; a text
// that starts with no number reads as 0. "&H" and "&O" read a hexadecimal or octal integer.
[[nodiscard]] double readNumber(QStringView text);

}  // namespace velmar
