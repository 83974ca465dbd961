// Only bytes that hold one whole DEVMODE are ever handed to a printer driver.
#include "printing/win32_devmode.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <windows.h>

namespace velmar::printing {
namespace {

QByteArray devMode(WORD publicSize, WORD driverSize) {
    DEVMODEW mode{};
    mode.dmSize = publicSize;
    mode.dmDriverExtra = driverSize;
    return QByteArray(reinterpret_cast<const char*>(&mode), sizeof mode) +
           QByteArray(driverSize, '\x5a');
}

TEST(WholeDevMode, IsExactlyAsLongAsItsSizesSay) {
    const QByteArray whole = devMode(sizeof(DEVMODEW), 16);
    EXPECT_TRUE(isWholeDevMode(whole));
    EXPECT_FALSE(isWholeDevMode(whole.chopped(1)));
    EXPECT_FALSE(isWholeDevMode(whole + 'x'));
    EXPECT_FALSE(isWholeDevMode(devMode(sizeof(DEVMODEW), 0).left(70)));
    EXPECT_FALSE(isWholeDevMode({}));
    // Sizes that add up, with a public part too short to hold the fields that say what it
    // sets.
    const QByteArray stunted = devMode(40, sizeof(DEVMODEW) - 40).left(sizeof(DEVMODEW));
    EXPECT_FALSE(isWholeDevMode(stunted));
}

}  // namespace
}  // namespace velmar::printing
