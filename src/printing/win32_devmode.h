// A Windows printer driver's DEVMODE as bytes: the public part the system defines, of
// dmSize bytes, followed by dmDriverExtra bytes of the driver's own.
#pragma once

#include <QByteArrayView>

namespace velmar::printing {

// Whether the bytes hold one whole DEVMODE and nothing else: at least its public fields up
// to dmFields, and exactly as long as its dmSize and dmDriverExtra say. Only such bytes are
// ever handed to a driver.
[[nodiscard]] bool isWholeDevMode(QByteArrayView bytes);

}  // namespace velmar::printing
