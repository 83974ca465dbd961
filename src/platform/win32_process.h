// The part of the Windows process service that tests check against the Windows API.
#pragma once

#include <QString>

namespace velmar::platform {

// The command line less the program's own token, split off by the rules Windows programs
// use for their first argument: a token that starts with a double quote runs to the next
// double quote, any other to the first blank or tab. The blanks and tabs between the
// token and the arguments are dropped; the arguments stay exactly as typed.
[[nodiscard]] QString argumentTextOf(const QString& commandLine);

}  // namespace velmar::platform
