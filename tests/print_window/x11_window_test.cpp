// The real program's window on a real X server of its own: its size, and its File menu
// worked with the pointer and the keyboard as a user works it, down to the settings
// document written at exit.
#include "base/app_title.h"
#include "doubles/session_bus.h"
#include "doubles/temp_home.h"
#include "doubles/x_server.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

namespace velmar::print_window {
namespace {

using namespace std::chrono_literals;

constexpr auto kWindowTimeout = 30s;
constexpr auto kMenuTimeout = 10s;
constexpr auto kMenuSettle = 300ms;
constexpr int kExitTimeoutMs = 30000;

// A point on the menu bar's first title, "ﾌｧｲﾙ", in window coordinates: the title starts at
// the left end of the bar and is four half-width letters wide, the bar well over 8 pixels
// tall.
constexpr QPoint kFileTitle{12, 8};

// The saved printer, written as a person might: a rewrite would change its bytes.
constexpr auto kSavedPrinter =
    "[Printer]\r\nName = PDF\r\nPaperSize = A3\r\nOrientation = Landscape\r\n";

// The document a new user has after an exit with backup mode 2 (JPEG) chosen.
const QString kJpegModeDocument = QStringLiteral(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n      <保存>2</保存>\r\n"
    "   </設定>\r\n</運用>");

class X11Window : public testing::Test {
  protected:
    void SetUp() override {
        const QString error = server_.start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_FALSE(bus_.address().isEmpty()) << bus_.problem().toStdString();
        ASSERT_TRUE(notifications_.registered());
        test::writeFile(userData() + QStringLiteral("IkPrn.Ik"), kSavedPrinter);
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

    // The program, without an argument so that it shows its window, with the settings of
    // the temporary home folder, no way to reach a printer and a session bus of its own.
    [[nodiscard]] std::unique_ptr<QProcess> startOnServer(const QStringList& arguments = {}) const {
        QProcessEnvironment environment = server_.environment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.dataHome());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.configHome());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home_.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        environment.insert(QStringLiteral("CUPS_SERVER"),
                           home_.filePath(QStringLiteral("none.sock")));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(VELMAR_EXECUTABLE), arguments);
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

    [[nodiscard]] QString userData() const {
        return home_.dataHome() + QStringLiteral("/Ostrand/velmar/");
    }

    [[nodiscard]] QByteArray contentOf(const QString& path) const {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    // Chooses a File menu command by its place among the commands (1 is 画像ﾌｧｲﾙを開く).
    void chooseFileCommand(int place) const {
        ASSERT_FALSE(openFileMenu().isEmpty()) << "the File menu did not open";
        // The menu is mapped a moment before it takes the keyboard; keys sent in between
        // go to the main window and are lost.
        std::this_thread::sleep_for(kMenuSettle);
        const QStringList keys = QStringList(place, QStringLiteral("Down"))
                                 << QStringLiteral("Return");
        ASSERT_TRUE(test::pressKeys(server_, keys));
    }

    // Opens a file through 画像ﾌｧｲﾙを開く, typing its path into the file dialog.
    void openThroughTheMenu(const QString& path) const {
        chooseFileCommand(1);
        ASSERT_FALSE(
            test::waitForWindow(server_, QStringLiteral("画像ﾌｧｲﾙを開く"), kMenuTimeout).isEmpty())
            << "the open dialog did not appear";
        ASSERT_TRUE(
            server_.runClient(QStringLiteral("xdotool"), {QStringLiteral("type"), path}).ok);
        ASSERT_TRUE(test::pressKeys(server_, {QStringLiteral("Return")}));
    }

    // Chooses 終了 and waits for the program to end normally.
    void exitThroughTheMenu() const {
        chooseFileCommand(6);
        ASSERT_TRUE(velmar_->waitForFinished(kExitTimeoutMs)) << "velmar did not end after 終了";
        EXPECT_EQ(velmar_->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(velmar_->exitCode(), 0) << standardError();
    }

    [[nodiscard]] QByteArray settingsDocument() const {
        QFile file(userData() + QStringLiteral("User.xml"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        return file.readAll();
    }

    // Destroyed in reverse order: the program goes before its home folder, its bus and its
    // server.
    test::XServer server_;
    test::PrivateSessionBus bus_;
    test::NotificationService notifications_{bus_.address(),
                                             {QStringLiteral("body"), QStringLiteral("actions")}};
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

TEST_F(X11Window, PrinterSetUpConfirmedAsShownLeavesThePrinterFileAsItWas) {
    chooseFileCommand(2);
    ASSERT_FALSE(test::waitForWindow(server_, QStringLiteral("ﾌﾟﾘﾝﾀ設定"), kMenuTimeout).isEmpty())
        << "the set-up dialog did not appear";
    ASSERT_TRUE(test::pressKeys(server_, {QStringLiteral("Return")}));  // its OK button
    ASSERT_EQ(waitForWindows(1).size(), 1) << "the set-up dialog did not close";
    exitThroughTheMenu();
    EXPECT_EQ(contentOf(userData() + QStringLiteral("IkPrn.Ik")), QByteArray(kSavedPrinter));
}

// A file that is no image is said so; an image opened and printed goes to the PDF printer,
// and a desktop notification says where and how much the image was shrunk, and offers to
// open the PDF while the window runs.
TEST_F(X11Window, OpenedFilesAreShownOrRefusedAndPrintsAreAnnounced) {
    const QString notAnImage = home_.filePath(QStringLiteral("notes.jpg"));
    test::writeFile(notAnImage, "not an image");
    openThroughTheMenu(notAnImage);
    ASSERT_FALSE(
        test::waitForWindow(server_, QString::fromLatin1(kAppTitle), kMenuTimeout).isEmpty())
        << "no message about the file";
    ASSERT_TRUE(test::pressKeys(server_, {QStringLiteral("Return")}));
    ASSERT_EQ(waitForWindows(1).size(), 1) << "the message did not close";

    const QString image = home_.filePath(QStringLiteral("photo.png"));
    QImage pixels(2000, 40, QImage::Format_RGB32);  // 529.2 mm wide at Qt's 96 dpi
    pixels.fill(Qt::black);
    ASSERT_TRUE(pixels.save(image));
    openThroughTheMenu(image);
    ASSERT_EQ(waitForWindows(1).size(), 1) << "the open dialog did not close";
    chooseFileCommand(3);  // 印刷
    // The notification service answers from this thread's event loop.
    const QDeadlineTimer deadline(kWindowTimeout);
    while (notifications_.received.empty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    exitThroughTheMenu();

    const QString pdf = userData() + QStringLiteral("Print Out.pdf");
    ASSERT_EQ(notifications_.received.size(), 1U) << standardError();
    EXPECT_EQ(notifications_.received[0].body.toStdString(),
              (pdf + QStringLiteral("\n縮小して印刷しました: 77.8 %")).toStdString());
    EXPECT_TRUE(notifications_.received[0].actions.contains(QStringLiteral("open-file")));
    EXPECT_TRUE(QFile::exists(pdf));
    const QString said = QString::fromLocal8Bit(velmar_->readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("画像ﾌｧｲﾙ ") + notAnImage +
                              QStringLiteral(" を読み込めませんでした")))
        << said.toStdString();
}

// A print-only run that cannot read its file says so in a box that carries the program's
// icon, as the window does.
TEST_F(X11Window, PrintOnlyMessageCarriesTheProgramIcon) {
    const QString notAnImage = home_.filePath(QStringLiteral("notes.png"));
    test::writeFile(notAnImage, "not an image");
    const std::unique_ptr<QProcess> printOnly = startOnServer({notAnImage});
    const QString box = test::waitForWindow(server_, QString::fromLatin1(kAppTitle), kMenuTimeout);
    ASSERT_FALSE(box.isEmpty()) << "no message about the file";
    const test::ClientResult icon = server_.runClient(
        QStringLiteral("xprop"), {QStringLiteral("-id"), box, QStringLiteral("_NET_WM_ICON")});
    EXPECT_TRUE(icon.standardOutput.contains(QStringLiteral("Icon (16 x 16)")))
        << icon.standardOutput.left(200).toStdString();
    ASSERT_TRUE(test::pressKeys(server_, {QStringLiteral("Return")}));
    ASSERT_TRUE(printOnly->waitForFinished(kExitTimeoutMs));
    EXPECT_EQ(printOnly->exitCode(), 1);
}

}  // namespace
}  // namespace velmar::print_window
