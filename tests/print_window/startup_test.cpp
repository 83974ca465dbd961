#include "print_window/window_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <array>
#include <memory>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace velmar::print_window {
namespace {

using test::KitScript;
using StartUp = WindowFixture;

struct Road {
    const char* name;
    const char* arguments;  // "%1" stands for the images folder
    bool printOnly;
    const char* loadedPath;  // relative to the images folder
};

class StartUpRoad : public StartUp, public testing::WithParamInterface<Road> {};

// Windows drops trailing blanks from file names, so its directory lookup finds the file.
#ifdef Q_OS_WIN
constexpr bool kLookupDropsTrailingBlanks = true;
#else
constexpr bool kLookupDropsTrailingBlanks = false;
#endif

TEST_P(StartUpRoad, PrintsOnlyWhenTheArgumentNamesAnOrdinaryFile) {
    const Road& road = GetParam();
    const QString images = home.filePath(QStringLiteral("images"));
    const fmPrn& started =
        start(QString::fromUtf8(road.arguments).replace(QStringLiteral("%1"), images));

    EXPECT_EQ(started.isUnloaded(), road.printOnly);
    EXPECT_EQ(kit->called("ImagePrinter.DrawImage"), road.printOnly);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(started.exitStatus(), 0);
    if (road.printOnly) {
        const QString loaded = images + QLatin1Char('/') + QString::fromUtf8(road.loadedPath);
        EXPECT_TRUE(kit->called("ImageFile.Path(" + loaded.toStdString() + ")"));
        EXPECT_TRUE(kit->called("ImageFile.Load(0)"));
    } else {
        EXPECT_FALSE(kit->called("ImageFile.Load"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StartUpRoad,
    testing::Values(Road{"QuotedPathWithABlank", "\"%1/a b.jpg\"", true, "a b.jpg"},
                    Road{"UnquotedPathWithABlank", "%1/a b.jpg", true, "a b.jpg"},
                    Road{"QuoteInsideThePath", "%1/\"one\".jpg", true, "one.jpg"},
                    Road{"TwoQuotedPaths", "\"%1/one.jpg\" \"%1/two.jpg\"", false, ""},
                    Road{"Folder", "\"%1/dir\"", false, ""},
                    Road{"HiddenFile", "\"%1/.hidden.jpg\"", false, ""},
                    Road{"MissingFile", "\"%1/none.jpg\"", false, ""},
                    Road{"WildcardMatchingAFile", "%1/o*.jpg", true, "o*.jpg"},
                    Road{"WildcardMatchingOnlyHiddenFiles", "%1/.h*", false, ""},
                    Road{"TrailingBlankIsKept", "\"%1/one.jpg\" ", kLookupDropsTrailingBlanks,
                         kLookupDropsTrailingBlanks ? "one.jpg " : ""},
                    Road{"NoArgument", "", false, ""}),
    [](const testing::TestParamInfo<Road>& info) { return info.param.name; });

TEST_F(StartUp, HandsThePrinterSettingsFileOverBeforeLoading) {
    start(QLatin1Char('"') + imagePath(QStringLiteral("one.jpg")) + QLatin1Char('"'));
    const std::string settings =
        "ImagePrinter.SettingsFile(" + (userDataFolder() + "IkPrn.Ik").toStdString() + ")";
    const auto position = [this](const std::string& call) {
        return std::find(kit->calls.begin(), kit->calls.end(), call) - kit->calls.begin();
    };
    ASSERT_TRUE(kit->called(settings));
    EXPECT_LT(position(settings), position("ImageFile.Load(0)"));
    EXPECT_TRUE(QDir(userDataFolder()).exists());
}

TEST_F(StartUp, InteractiveRunAlsoHandsThePrinterSettingsFileOver) {
    const fmPrn& started = start(QString());
    EXPECT_FALSE(started.isUnloaded());
    EXPECT_TRUE(kit->called("ImagePrinter.SettingsFile"));
}

TEST_F(StartUp, ImageThatCannotBeReadIsReportedAndNotPrinted) {
    KitScript script = printableImage();
    script.loadSucceeds = false;
    const QString path = imagePath(QStringLiteral("one.jpg"));
    const fmPrn& started = start(path, script);

    EXPECT_TRUE(started.isUnloaded());
    EXPECT_EQ(started.exitStatus(), 1);
    EXPECT_FALSE(kit->called("ImagePrinter.CheckReady"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.front(), QStringLiteral("画像ﾌｧｲﾙ ") + path +
                                          QStringLiteral(" を読み込めませんでした\r") +
                                          QStringLiteral("scripted load failure"));
}

TEST_F(StartUp, ErrorWhilePrintingIsReportedAndEndsTheRunWithAFailure) {
    KitScript script = printableImage();
    script.failingCall = "ImagePrinter.DrawImage";
    const fmPrn& started = start(imagePath(QStringLiteral("one.jpg")), script);

    EXPECT_TRUE(started.isUnloaded());
    EXPECT_EQ(started.exitStatus(), 1);
    EXPECT_TRUE(kit->called("ImagePrinter.AbortDocument"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.front().startsWith(QStringLiteral("ｴﾗｰが発生しました\r")));
    EXPECT_TRUE(messages.shown.front().contains(QStringLiteral("ImagePrinter.DrawImage")));
}

TEST_F(StartUp, SettingsThatCannotBeSavedAtShutDownAreReportedWithAFailure) {
    fmPrn& started = start(QString());
    const QString document = userDataFolder() + QStringLiteral("User.xml");
    ASSERT_TRUE(QFile::remove(document));
    ASSERT_TRUE(QDir().mkpath(document + QStringLiteral("/in the way")));

    started.Unload();

    EXPECT_EQ(started.exitStatus(), 1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.front().startsWith(QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ ") + document +
                                                  QStringLiteral(" を保存できませんでした\r")))
        << messages.shown.front().toStdString();
}

struct ExeName {
    const char* file;
    const char* exeName;
};

class StartUpExeName : public StartUp, public testing::WithParamInterface<ExeName> {};

TEST_P(StartUpExeName, CutsATrailingDvAndNamesTheUserDataFolder) {
    process.exePath = test::nativePath(home.filePath(QStringLiteral("bin/")) +
                                       QString::fromLatin1(GetParam().file)) +
                      platform::executableSuffix();
    start(QString());
    const QString expected = QString::fromLatin1(GetParam().exeName);
    EXPECT_EQ(user_data::usr().sExeName, expected);
    EXPECT_EQ(user_data::usr().sUserDataFolder,
              test::nativePath(home.dataHome() + QStringLiteral("/Ostrand/") + expected +
                               QLatin1Char('/')));
}

INSTANTIATE_TEST_SUITE_P(Names, StartUpExeName,
                         testing::Values(ExeName{"Velmar_DV", "Velmar"}, ExeName{"_dv", ""},
                                         ExeName{"dv", "dv"}, ExeName{"velmar", "velmar"},
                                         ExeName{"Velmar_dV", "Velmar"},
                                         ExeName{"Velmar_dv_dv", "Velmar_dv"},
                                         ExeName{"velmar.bin", "velmar.bin"}));

// Captions of a menu's entries in order; a separator is "-", a submenu is its title.
QStringList captions(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

TEST_F(StartUp, WindowHasItsCaptionAndMenuTree) {
    fmPrn& shown = start(QString());
    EXPECT_EQ(shown.windowTitle(), QStringLiteral("ﾌﾟﾘﾝﾄ"));
    EXPECT_FALSE(shown.windowIcon().isNull());

    QStringList bar;
    for (const QAction* action : shown.menuBar()->actions()) {
        bar << action->text();
    }
    EXPECT_EQ(bar, QStringList({QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));

    const auto* file = shown.findChild<QMenu*>(QStringLiteral("mnJb_0"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(captions(*file), QStringList({QStringLiteral("画像ﾌｧｲﾙを開く"),
                                            QStringLiteral("ﾌﾟﾘﾝﾀ設定"), QStringLiteral("印刷"),
                                            QStringLiteral("-"), QStringLiteral("印刷時のﾊﾞｯｸｱｯﾌﾟ"),
                                            QStringLiteral("「送る」にｼｮｰﾄｶｯﾄ作成"),
                                            QStringLiteral("-"), QStringLiteral("終了")}));
    const auto* backUp = shown.findChild<QMenu*>(QStringLiteral("mnFile_4"));
    ASSERT_NE(backUp, nullptr);
    EXPECT_EQ(captions(*backUp),
              QStringList({QStringLiteral("ﾊﾞｯｸｱｯﾌﾟを作成する(bmp)"),
                           QStringLiteral("ﾊﾞｯｸｱｯﾌﾟを作成する(jpg)"), QStringLiteral("-"),
                           QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ不要")}));
    QList<bool> checks;
    for (const QAction* action : backUp->actions()) {
        checks << action->isChecked();
    }
    EXPECT_EQ(checks, QList<bool>({false, false, false, true}));
}

TEST_F(StartUp, ImageControlFillsTheClientArea) {
    fmPrn& shown = start(QString());
    shown.show();
    EXPECT_EQ(shown.clientArea().size(), QSize(kClientWidth, kClientHeight));
    EXPECT_EQ(kit->Widget().geometry(), QRect(0, 0, kClientWidth, kClientHeight));

    shown.resize(shown.width() + 100, shown.height() + 50);
    EXPECT_EQ(kit->Widget().geometry(), QRect(QPoint(0, 0), shown.clientArea().size()));
    EXPECT_EQ(shown.clientArea().width(), kClientWidth + 100);
    shown.Unload();
}

TEST_F(StartUp, MinimisedWindowLeavesTheImageControlAlone) {
    fmPrn& shown = start(QString());
    shown.show();
    const QRect before = kit->Widget().geometry();
    shown.setWindowState(Qt::WindowMinimized);
    shown.clientArea().resize(kClientWidth / 2, kClientHeight / 2);
    EXPECT_EQ(kit->Widget().geometry(), before);
    shown.Unload();
}

TEST_F(StartUp, BackUpEntriesSetTheModeAndTheirCheckMarks) {
    fmPrn& shown = start(QString());
    const auto trigger = [&shown](const char* name) {
        shown.findChild<QAction*>(QString::fromLatin1(name))->trigger();
    };
    trigger("mnBackUp_1");
    EXPECT_EQ(shown.nBackUpMode(), kJpegBackUp);
    EXPECT_TRUE(shown.findChild<QAction*>(QStringLiteral("mnBackUp_1"))->isChecked());
    EXPECT_FALSE(shown.findChild<QAction*>(QStringLiteral("mnBackUp_3"))->isChecked());
    trigger("mnBackUp_0");
    EXPECT_EQ(shown.nBackUpMode(), kBitmapBackUp);
    trigger("mnBackUp_3");
    EXPECT_EQ(shown.nBackUpMode(), kNoBackUp);
    EXPECT_TRUE(shown.findChild<QAction*>(QStringLiteral("mnBackUp_3"))->isChecked());
}

TEST_F(StartUp, PrintEntryWithoutAnImageDoesNothing) {
    KitScript script;  // no image loaded
    fmPrn& shown = start(QString(), script);
    shown.findChild<QAction*>(QStringLiteral("mnFile_2"))->trigger();
    EXPECT_FALSE(kit->called("ImagePrinter.CheckReady"));
    EXPECT_FALSE(kit->called("ImagePrinter.PrintDialog"));
}

TEST_F(StartUp, ErrorInAMenuCommandIsReportedAndTheWindowStays) {
    KitScript script = printableImage();
    script.failingCall = "ImagePrinter.DrawImage";
    fmPrn& shown = start(QString(), script);
    shown.findChild<QAction*>(QStringLiteral("mnFile_2"))->trigger();
    EXPECT_FALSE(shown.isUnloaded());
    EXPECT_EQ(shown.exitStatus(), 0);
    EXPECT_TRUE(kit->called("ImagePrinter.AbortDocument"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.front().startsWith(QStringLiteral("ｴﾗｰが発生しました\r")));
}

TEST_F(StartUp, ExitEntryUnloadsTheWindow) {
    fmPrn& shown = start(QString());
    shown.show();
    shown.findChild<QAction*>(QStringLiteral("mnFile_7"))->trigger();
    EXPECT_TRUE(shown.isUnloaded());
    EXPECT_FALSE(shown.isVisible());
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

struct StoredMode {
    const char* name;
    const char* stored;
    std::int16_t mode;
    std::array<bool, 3> checks;  // bmp, jpg, none
};

class StartUpStoredMode : public StartUp, public testing::WithParamInterface<StoredMode> {};

TEST_P(StartUpStoredMode, SetsTheModeAndTheCheckMarks) {
    writeSettingsDocument(userDataFolder() + QStringLiteral("User.xml"),
                          QString::fromUtf8(GetParam().stored));
    fmPrn& shown = start(QString());
    EXPECT_EQ(shown.nBackUpMode(), GetParam().mode);
    const std::array<bool, 3> checks = {
        shown.findChild<QAction*>(QStringLiteral("mnBackUp_0"))->isChecked(),
        shown.findChild<QAction*>(QStringLiteral("mnBackUp_1"))->isChecked(),
        shown.findChild<QAction*>(QStringLiteral("mnBackUp_3"))->isChecked()};
    EXPECT_EQ(checks, GetParam().checks);
    EXPECT_TRUE(messages.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, StartUpStoredMode,
    testing::Values(StoredMode{"Bitmap", "1", 1, {true, false, false}},
                    StoredMode{"Jpeg", "2", 2, {false, true, false}},
                    StoredMode{"None", "0", 0, {false, false, true}},
                    StoredMode{"Empty", "", 0, {false, false, true}},
                    StoredMode{"Three", "3", 3, {false, false, false}},
                    StoredMode{"MinusOne", "-1", -1, {false, false, false}},
                    StoredMode{"OneAndAHalf", "1.5", 2, {false, true, false}},
                    StoredMode{"TwoAndAHalf", "2.5", 2, {false, true, false}},
                    StoredMode{"NotANumber", "abc", 0, {false, false, true}},
                    StoredMode{"OutOfRange", "40000", 0, {false, false, true}}),
    [](const testing::TestParamInfo<StoredMode>& info) { return info.param.name; });

TEST_F(StartUp, ShutDownSavesTheChosenModeAndChangesNothingElse) {
    const QString document = userDataFolder() + QStringLiteral("User.xml");
    writeSettingsDocument(document, QStringLiteral("0"));
    fmPrn& shown = start(QString());
    shown.findChild<QAction*>(QStringLiteral("mnBackUp_1"))->trigger();
    shown.Unload();

    const QByteArray saved = contentOf(document);
    writeSettingsDocument(document, QStringLiteral("2"));
    EXPECT_EQ(saved, contentOf(document));
    EXPECT_EQ(user_data::usr().yIni, nullptr);
    EXPECT_EQ(user_data::usr().oFso, nullptr);
}

TEST_F(StartUp, DocumentThatCannotBeReadIsNotOverwritten) {
    const QString document = userDataFolder() + QStringLiteral("User.xml");
    const QByteArray unreadable = QByteArrayLiteral("<運用>\x82");  // ends inside a character
    test::writeFile(document, unreadable);
    fmPrn& shown = start(QString());
    EXPECT_EQ(shown.nBackUpMode(), kNoBackUp);
    shown.findChild<QAction*>(QStringLiteral("mnBackUp_1"))->trigger();
    shown.Unload();
    EXPECT_EQ(contentOf(document), unreadable);
}

// A document the user may not write (on Windows: read-only) is left as it is at shut-down.
TEST_F(StartUp, ReadOnlyDocumentIsNotReplaced) {
#ifndef Q_OS_WIN
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
#endif
    const QString document = userDataFolder() + QStringLiteral("User.xml");
    writeSettingsDocument(document, QStringLiteral("0"));
    const QByteArray before = contentOf(document);
    ASSERT_TRUE(QFile::setPermissions(document, QFile::ReadOwner | QFile::ReadUser));
    fmPrn& shown = start(QString());
    shown.findChild<QAction*>(QStringLiteral("mnBackUp_1"))->trigger();
    shown.Unload();
    EXPECT_EQ(contentOf(document), before);
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_TRUE(messages.shown.last().endsWith(
        document + QStringLiteral(" に書き込めません\rｱｸｾｽが拒否されました")))
        << messages.shown.last().toStdString();
    ASSERT_TRUE(QFile::setPermissions(document, QFile::ReadOwner | QFile::WriteOwner));
}

TEST_F(StartUp, ExecutablePathIsRecordedOnceUntilTheProgramMoves) {
    const QString key = test::FakeSettingsStore::address(
        QStringLiteral("OstrandTools"), QStringLiteral("Path"), QStringLiteral("velmar"));
    start(QString()).Unload();
    EXPECT_EQ(settings.values[key], process.exePath);
    start(QString()).Unload();
    EXPECT_EQ(settings.writes, 1);

    process.exePath = test::nativePath(home.filePath(QStringLiteral("moved/velmar"))) +
                      platform::executableSuffix();
    test::writeFile(home.filePath(QStringLiteral("moved/UserData.ini")), "%usr%");
    start(QString()).Unload();
    EXPECT_EQ(settings.writes, 2);
    EXPECT_EQ(settings.values[key], process.exePath);
}

}  // namespace
}  // namespace velmar::print_window
