// The window's menu commands, driven through its actions, and the backup step of a
// print-only run.
#include "print_window/window_fixture.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmar::print_window {
namespace {

using test::KitScript;

class Menu : public WindowFixture {
  protected:
    void trigger(const char* name) const {
        QAction* action = window->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    [[nodiscard]] QString backUps() const { return userDataFolder() + QStringLiteral("Temp"); }
    // The calls made after start-up.
    [[nodiscard]] std::vector<std::string> callsSince(std::size_t count) const {
        return {kit->calls.begin() + static_cast<std::ptrdiff_t>(count), kit->calls.end()};
    }
};

TEST_F(Menu, OpenCancelledChangesNothing) {
    fmPrn& shown = start(QString(), KitScript{});
    const std::size_t before = kit->calls.size();
    trigger("mnFile_0");
    EXPECT_EQ(callsSince(before), std::vector<std::string>{"ImageFile.OpenDialog"});
    EXPECT_FALSE(shown.isUnloaded());
}

TEST_F(Menu, OpenChosenLoadsTheChosenFileAndShowsIt) {
    KitScript script;
    script.fileChosen = true;
    start(QString(), script);
    const std::size_t before = kit->calls.size();
    trigger("mnFile_0");
    EXPECT_EQ(callsSince(before),
              (std::vector<std::string>{"ImageFile.OpenDialog", "ImageFile.Load(0)",
                                        "ImageView.Draw(1)"}));
}

// The same message as a print-only run's, naming the file chosen in the dialog.
TEST_F(Menu, OpenedFileThatCannotBeReadIsSaid) {
    KitScript script;
    script.fileChosen = true;
    script.loadSucceeds = false;
    start(QString(), script);
    kit->chosenPath = imagePath(QStringLiteral("one.jpg"));
    trigger("mnFile_0");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0],
              QStringLiteral("画像ﾌｧｲﾙ ") + kit->chosenPath +
                  QStringLiteral(" を読み込めませんでした\rscripted load failure"));
}

TEST_F(Menu, WindowCarriesTheIconBuiltIntoTheProgram) {
    const fmPrn& shown = start(QString());
    EXPECT_FALSE(shown.windowIcon().pixmap(16).isNull());
    EXPECT_FALSE(shown.windowIcon().pixmap(32).isNull());
}

TEST_F(Menu, PrinterSetUpOpensTheSetUpDialogOnly) {
    start(QString());
    const std::size_t before = kit->calls.size();
    trigger("mnFile_1");
    EXPECT_EQ(callsSince(before),
              (std::vector<std::string>{"ImagePrinter", "ImagePrinter.SetupDialog"}));
}

class PrintEntry : public Menu, public testing::WithParamInterface<const char*> {};

TEST_P(PrintEntry, PrintsWithoutABackUpWhateverTheMode) {
    start(QString());
    trigger(GetParam());
    trigger("mnFile_2");
    EXPECT_TRUE(kit->called("ImagePrinter.DrawImage"));
    EXPECT_FALSE(kit->called("ImageFile.Save"));
    EXPECT_FALSE(QFileInfo::exists(backUps()));
}

INSTANTIATE_TEST_SUITE_P(Modes, PrintEntry, testing::Values("mnBackUp_0", "mnBackUp_1"));

TEST_F(Menu, SubmenuEntryAndFileMenuDoNothing) {
    fmPrn& shown = start(QString());
    const std::size_t before = kit->calls.size();
    for (const char* name : {"mnFile_4", "mnJb_0"}) {
        const auto* menu = shown.findChild<QMenu*>(QString::fromLatin1(name));
        ASSERT_NE(menu, nullptr) << name;
        menu->menuAction()->trigger();
    }
    EXPECT_EQ(callsSince(before), std::vector<std::string>{});
    EXPECT_TRUE(desktop.calls.isEmpty());
    EXPECT_FALSE(shown.isUnloaded());
}

TEST_F(Menu, HelpOpensTheHelpPageThroughItsShortcut) {
    fmPrn& shown = start(QString());
    trigger("mnJb_1");
    const QString shortcut =
        userDataFolder() + QStringLiteral("velmar_help") + platform::shortcutSuffix();
    const QString page = QUrl::fromLocalFile(home.filePath(QStringLiteral("bin/help/velmar.htm")))
                             .toString(QUrl::FullyEncoded);
    EXPECT_EQ(desktop.calls,
              (QStringList{QStringLiteral("saveLinkShortcut(%1,%2)").arg(shortcut, page),
                           QStringLiteral("openShortcut(%1,%2,%3)")
                               .arg(shortcut, page)
                               .arg(user_data::usr().yIni->nOwnerWnd())}));
    EXPECT_FALSE(shown.isUnloaded());
}

TEST_F(Menu, SendToWritesTheShortcutAndConfirmsIt) {
    const QString sendTo = test::nativePath(home.dataHome() + QStringLiteral("/applications"));
    folders.folders[platform::kFolderSendTo] = sendTo;
    start(QString());
    trigger("mnFile_5");
    const QString shortcut =
        sendTo + platform::pathSeparator() + QStringLiteral("velmar") + platform::shortcutSuffix();
    EXPECT_EQ(
        desktop.calls,
        QStringList{QStringLiteral("saveProgramShortcut(%1,%2)").arg(shortcut, process.exePath)});
    EXPECT_EQ(messages.shown, QStringList{process.exePath + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") +
                                          sendTo + QStringLiteral(" に作成しました")});
}

// Exit and the close box run the same shut-down: the chosen mode is saved.
class Closing : public Menu, public testing::WithParamInterface<bool> {};

TEST_P(Closing, SavesTheChosenMode) {
    fmPrn& shown = start(QString());
    shown.show();
    trigger("mnBackUp_1");
    if (GetParam()) {
        trigger("mnFile_7");
    } else {
        shown.close();
    }
    EXPECT_TRUE(shown.isUnloaded());
    QFile document(userDataFolder() + QStringLiteral("User.xml"));
    ASSERT_TRUE(document.open(QIODevice::ReadOnly));
    EXPECT_TRUE(platform::decodeAnsi(document.readAll())
                    .value()
                    .contains(QStringLiteral("<保存>2</保存>")));
    EXPECT_EQ(user_data::usr().yIni, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("ExitEntry") : std::string("CloseBox");
                         });

TEST_F(Menu, PrintOnlyRunSavesTheBackUpBeforePrinting) {
    writeSettingsDocument(userDataFolder() + QStringLiteral("User.xml"), QStringLiteral("2"));
    const fmPrn& done = start(imagePath(QStringLiteral("one.jpg")));
    EXPECT_TRUE(done.isUnloaded());
    EXPECT_EQ(done.exitStatus(), 0);
    const auto at = [this](const std::string& call) {
        return std::find(kit->calls.begin(), kit->calls.end(), call) - kit->calls.begin();
    };
    EXPECT_LT(at("ImageFile.Save(2,3)"), at("ImagePrinter.BeginDocument"));
    EXPECT_LT(at("ImageFile.Load(0)"), at("ImageFile.Save(2,3)"));
    EXPECT_TRUE(QFileInfo::exists(backUps() + QStringLiteral("/0001.jpg")));
}

TEST_F(Menu, FailedBackUpStopsThePrintAndIsReported) {
    writeSettingsDocument(userDataFolder() + QStringLiteral("User.xml"), QStringLiteral("1"));
    KitScript script = printableImage();
    script.saveSucceeds = false;
    const fmPrn& done = start(imagePath(QStringLiteral("one.jpg")), script);
    EXPECT_TRUE(done.isUnloaded());
    EXPECT_EQ(done.exitStatus(), 1);
    EXPECT_FALSE(kit->called("ImagePrinter.BeginDocument"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.front().startsWith(QStringLiteral("ｴﾗｰが発生しました\rﾊﾞｯｸｱｯﾌﾟ ")));
    EXPECT_TRUE(QDir(backUps()).isEmpty());
}

}  // namespace
}  // namespace velmar::print_window
