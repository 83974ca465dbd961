// The real program's window on a real X server of its own: its size, and its File menu
// worked with the pointer and the keyboard as a user works it, down to the settings
// document written at exit.
#include "doubles/temp_home.h"
#include "doubles/x_server.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>

namespace velmar::print_window {
namespace {

using namespace std::chrono_literals;

constexpr auto kWindowTimeout = 30s;
constexpr auto kMenuTimeout = 10s;
constexpr int kExitTimeoutMs = 30000;

// A point on the menu bar's first title, "ﾌｧｲﾙ", in window coordinates: the title starts at
// the left end of the bar and is four half-width letters wide, the bar well over 8 pixels
// tall.
constexpr QPoint kFileTitle{12, 8};

// The document a new user has after an exit with backup mode 2 (JPEG) chosen.
const QString kJpegModeDocument = QStringLiteral(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n      <保存>2</保存>\r\n"
    "   </設定>\r\n</運用>");

class X11Window : public testing::Test {
  protected:
    void SetUp() override {
        const QString error = server_.start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        velmar_ = startOnServer();
        ASSERT_TRUE(velmar_->waitForStarted()) << velmar_->errorString().toStdString();
        window_ = test::waitForWindow(server_, QStringLiteral("ﾌﾟﾘﾝﾄ"), kWindowTimeout);
        ASSERT_FALSE(window_.isEmpty())
            << "the window ﾌﾟﾘﾝﾄ did not appear; velmar said: " << standardError();
    }

    // A picture of the screen at the moment a check failed, beside the test's other output.
    void TearDown() override {
        if (HasFailure() && !server_.display().isEmpty()) {
            const QString path = QDir::current().filePath(
                QStringLiteral("x11-window-%1.png")
                    .arg(QString::fromLatin1(
                        testing::UnitTest::GetInstance()->current_test_info()->name())));
            if (test::saveScreen(server_, path)) {
                std::cerr << "The screen at the failure: " << path.toStdString() << '\n';
            }
        }
    }

    // The program without an argument, so that it shows its window, with the settings of
    // the temporary home folder and no way to reach a printer or the desktop's session bus.
    [[nodiscard]] std::unique_ptr<QProcess> startOnServer() const {
        QProcessEnvironment environment = server_.environment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.dataHome());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.configHome());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home_.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        environment.insert(QStringLiteral("CUPS_SERVER"),
                           home_.filePath(QStringLiteral("none.sock")));
        environment.insert(
            QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
            QStringLiteral("unix:path=") + home_.filePath(QStringLiteral("none.bus")));
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(VELMAR_EXECUTABLE), {});
        return process;
    }

    // The runtime folder must belong to the user alone, or Qt complains.
    [[nodiscard]] QString runtimeFolder() const {
        const QString folder = home_.filePath(QStringLiteral("runtime"));
        EXPECT_TRUE(QDir().mkpath(folder));
        EXPECT_TRUE(
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        return folder;
    }

    // Clicks the File title and returns the window of the menu that opens (empty if none).
    [[nodiscard]] QString openFileMenu() const {
        if (!test::clickAt(server_, window_, kFileTitle)) {
            return {};
        }
        const QStringList shown = waitForWindows(2);
        return shown.size() == 2 ? (shown.first() == window_ ? shown.last() : shown.first())
                                 : QString();
    }

    // Waits until the program shows the main window and count − 1 menus.
    [[nodiscard]] QStringList waitForWindows(qsizetype count) const {
        return test::waitForVisibleWindows(server_, velmar_->processId(), count, kMenuTimeout);
    }

    [[nodiscard]] std::string standardError() const {
        return QString::fromLocal8Bit(velmar_->readAllStandardError()).toStdString();
    }

    [[nodiscard]] QByteArray settingsDocument() const {
        QFile file(home_.dataHome() + QStringLiteral("/Ostrand/velmar/User.xml"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        return file.readAll();
    }

    // Destroyed in reverse order: the program goes before its home folder and its server.
    test::XServer server_;
    test::TempHome home_;
    std::unique_ptr<QProcess> velmar_;
    QString window_;
};

TEST_F(X11Window, HasItsSizeAndKeepsTheBackupModeChosenInTheMenu) {
    const std::optional<QRect> window = test::windowGeometry(server_, window_);
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->width(), 399);

    const QString menu = openFileMenu();
    ASSERT_FALSE(menu.isEmpty()) << "the File menu did not open";
    const std::optional<QRect> popup = test::windowGeometry(server_, menu);
    ASSERT_TRUE(popup.has_value());
    // With no window manager the X window is the whole client side of the window: menu bar
    // and the area below it. Qt opens a menu bar's menu right under the bar, so the menu's
    // top edge is the bar's bottom edge; this holds whatever height the font gives the bar.
    EXPECT_EQ(window->bottom() + 1 - popup->top(), 303)
        << "window " << window->height() << " high, menu at y " << popup->top();

    // Down first selects 画像ﾌｧｲﾙを開く and skips separators, so the fourth Down reaches
    // 印刷時のﾊﾞｯｸｱｯﾌﾟ; Right opens its submenu on (bmp), the next Down selects (jpg).
    ASSERT_TRUE(test::pressKeys(
        server_, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                  QStringLiteral("Down"), QStringLiteral("Right")}));
    ASSERT_EQ(waitForWindows(3).size(), 3) << "the backup submenu did not open";
    ASSERT_TRUE(test::pressKeys(server_, {QStringLiteral("Down"), QStringLiteral("Return")}));
    ASSERT_EQ(waitForWindows(1).size(), 1) << "the menus did not close";

    ASSERT_FALSE(openFileMenu().isEmpty()) << "the File menu did not open again";
    // 終了 is the sixth command.
    ASSERT_TRUE(test::pressKeys(
        server_, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                  QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                  QStringLiteral("Return")}));

    ASSERT_TRUE(velmar_->waitForFinished(kExitTimeoutMs)) << "velmar did not end after 終了";
    EXPECT_EQ(velmar_->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velmar_->exitCode(), 0) << standardError();
    const QByteArray written = settingsDocument();
    EXPECT_EQ(written, platform::encodeAnsi(kJpegModeDocument).value())
        << platform::decodeAnsi(written).value_or(QStringLiteral("(not Shift-JIS)")).toStdString();
}

}  // namespace
}  // namespace velmar::print_window
