#include "shell/shell.h"

#include "doubles/platform_doubles.h"
#include "doubles/temp_home.h"
#include "user_data/usr.h"
#include "user_data/y_ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace velmar::shell {
namespace {

const QString kExe = test::bySystem("", ".exe");
const QString kShortcut = test::bySystem(".desktop", ".lnk");

// The program is <home>/bin/velmar_dv running as "velmar"; the user-data folder is
// <home>/user/ and the Send To folder <home>/sendto, all spelled with the platform's
// separators. The window asking is 42.
class Shell : public testing::Test {
  protected:
    Shell() { QDir().mkpath(path("user")); }

    [[nodiscard]] QString path(const QString& name) const {
        return test::nativePath(home.filePath(name));
    }
    [[nodiscard]] ShellContext context(platform::DesktopShell& shell) {
        return ShellContext{path("user") + platform::pathSeparator(),
                            "velmar",
                            path("bin/velmar_dv") + kExe,
                            42,
                            shell,
                            messages,
                            QStringList{"image/jpeg", "image/png"}};
    }
    [[nodiscard]] ShellContext context() { return context(desktop); }
    [[nodiscard]] QString helpShortcut() const { return path("user/velmar_help") + kShortcut; }
    [[nodiscard]] QString viewerShortcut() const { return path("user/Wrk/htm_view") + kShortcut; }
    [[nodiscard]] QString sendTo() const { return path("sendto"); }
    [[nodiscard]] QString sendToShortcut() const {
        return sendTo() + platform::pathSeparator() + "velmar" + kShortcut;
    }
    [[nodiscard]] QString program() const { return path("bin/velmar") + kExe; }
    // The file: address of a local path ("file:///C:/..." on Windows).
    [[nodiscard]] static QString fileAddress(const QString& path) {
        return test::bySystem("file://", "file:///") + QDir::fromNativeSeparators(path);
    }
    [[nodiscard]] static QStringList savedAndOpened(const QString& shortcut,
                                                    const QString& target) {
        return {"saveLinkShortcut(" + shortcut + ',' + target + ')',
                "openShortcut(" + shortcut + ',' + target + ",42)"};
    }

    test::TempHome home;
    test::RecordingDesktopShell desktop;
    test::RecordingMessageBox messages;
};

struct HelpPage {
    const char* name;
    QString sJob;
    QString page;
};

class HelpPages : public Shell, public testing::WithParamInterface<HelpPage> {};

TEST_P(HelpPages, SavesThenOpensTheHelpShortcut) {
    W_Help(context(), GetParam().sJob);
    EXPECT_EQ(desktop.calls,
              savedAndOpened(helpShortcut(), fileAddress(path("bin/help/")) + GetParam().page));
    EXPECT_TRUE(messages.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, HelpPages,
    testing::Values(HelpPage{"MenuPage", "velmar.htm", "velmar.htm"},
                    HelpPage{"CapitalsWithoutEnding", "VELMAR", "velmar.htm"},
                    HelpPage{"OwnEnding", "Guide.HTML", "guide.html"},
                    HelpPage{"DotInFolderOnly", "a.b/C", "a.b/c"},
                    HelpPage{"SubFolder", "Ref/Index", "ref/index.htm"},
                    HelpPage{"Japanese", QStringLiteral("印刷"), QStringLiteral("印刷.htm")}),
    [](const testing::TestParamInfo<HelpPage>& info) { return info.param.name; });

TEST_F(Shell, HelpReusesOneShortcutFile) {
    W_Help(context(), "velmar.htm");
    W_Help(context(), "other");
    const QString base = fileAddress(path("bin/help/"));
    EXPECT_EQ(desktop.calls, savedAndOpened(helpShortcut(), base + "velmar.htm") +
                                 savedAndOpened(helpShortcut(), base + "other.htm"));
}

// Whatever keeps the page from being shown is said, with the page and the reason.
TEST_F(Shell, HelpThatCannotBeShownIsSaidWithPageAndReason) {
    const QString page = path("bin/help/velmar.htm");
    desktop.openFailures[fileAddress(page)] = QStringLiteral("開くﾌﾟﾛｸﾞﾗﾑが失敗しました");
    W_Help(context(), "velmar.htm");
    EXPECT_EQ(desktop.calls, savedAndOpened(helpShortcut(), fileAddress(page)));
    desktop.calls.clear();
    desktop.failingShortcuts << helpShortcut();
    EXPECT_NO_THROW(W_Help(context(), "velmar.htm"));
    EXPECT_TRUE(desktop.calls.isEmpty());
    EXPECT_EQ(messages.shown,
              (QStringList{QStringLiteral("ﾍﾙﾌﾟを表示できません\r") + page +
                               QStringLiteral("\r開くﾌﾟﾛｸﾞﾗﾑが失敗しました"),
                           QStringLiteral("ﾍﾙﾌﾟを表示できません\r") + page +
                               QStringLiteral("\rcannot write ") + helpShortcut()}));
}

struct Layout {
    const char* name;
    const char* executable;  // in the temporary folder
    std::vector<const char*> folders;
    const char* base;  // after the temporary folder's file: address and "/"
};

class HelpBase : public Shell, public testing::WithParamInterface<Layout> {};

TEST_P(HelpBase, IsTheEncodedHelpFolderOfTheLayout) {
    for (const char* folder : GetParam().folders) {
        ASSERT_TRUE(QDir().mkpath(path(QString::fromUtf8(folder))));
    }
    EXPECT_EQ(helpBaseAddress(path(QString::fromUtf8(GetParam().executable))),
              fileAddress(home.path()) + '/' + QString::fromUtf8(GetParam().base));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HelpBase,
    testing::Values(Layout{"BuildTree", "build/velmar", {"build/help"}, "build/help/"},
                    Layout{"Installed",
                           "usr/bin/velmar",
                           {"usr/bin", "usr/share/velmar/help"},
                           test::bySystem("usr/share/velmar/help/", "usr/bin/help/")},
                    Layout{"InstalledDataMissing",
                           "usr/bin/velmar",
                           {"usr/bin/help", "usr/share"},
                           "usr/bin/help/"},
                    Layout{"Blank", "my tools/velmar", {"my tools/help"}, "my%20tools/help/"},
                    Layout{"InstalledWithBlank",
                           "my apps/bin/velmar",
                           {"my apps/share/velmar/help"},
                           test::bySystem("my%20apps/share/velmar/help/", "my%20apps/bin/help/")},
                    Layout{"PercentAndHash", "100% #1/velmar", {}, "100%25%20%231/help/"},
                    Layout{"Japanese", "ツール/velmar", {}, "%E3%83%84%E3%83%BC%E3%83%AB/help/"}),
    [](const testing::TestParamInfo<Layout>& info) { return info.param.name; });

struct Viewed {
    const char* name;
    const char* target;
};

class ViewerTargets : public Shell, public testing::WithParamInterface<Viewed> {};

TEST_P(ViewerTargets, AreSavedAndOpenedUnchanged) {
    W_HtmView(context(), GetParam().target);
    EXPECT_EQ(desktop.calls, savedAndOpened(viewerShortcut(), GetParam().target));
}

INSTANTIATE_TEST_SUITE_P(Targets, ViewerTargets,
                         testing::Values(Viewed{"WebAddress", "https://example.com/a b?c=%41#D"},
                                         Viewed{"PathInCapitals", "/srv/My Pages/x.HTM"},
                                         Viewed{"EncodedFileUrl", "file:///srv/a%20b.htm"}),
                         [](const testing::TestParamInfo<Viewed>& info) {
                             return info.param.name;
                         });

TEST_F(Shell, ViewerWithoutWorkFolderWritesNothing) {
    const platform::NativeServices native;
    EXPECT_NO_THROW(W_HtmView(context(native.services().desktop), "https://example.com/"));
    EXPECT_FALSE(QFileInfo::exists(path("user/Wrk")));
    EXPECT_TRUE(QDir(path("user")).isEmpty());
}

TEST_F(Shell, SendToWritesTheProgramShortcutAndConfirmsIt) {
    W_SendTo(context(), [this] { return sendTo(); });
    EXPECT_EQ(desktop.calls,
              QStringList{"saveProgramShortcut(" + sendToShortcut() + ',' + program() + ')'});
    EXPECT_EQ(messages.shown, QStringList{program() + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + sendTo() +
                                          QStringLiteral(" に作成しました")});
    EXPECT_EQ(desktop.program.name, "Velmar");
    EXPECT_EQ(desktop.program.comment, QStringLiteral("画像編集ツール　プリント"));
    EXPECT_EQ(desktop.program.mimeTypes, (QStringList{"image/jpeg", "image/png"}));
}

struct Icon {
    const char* name;
    std::vector<const char*> files;  // in the temporary folder
    const char* expected;            // nullptr: no icon
};

class SendToIcon : public Shell, public testing::WithParamInterface<Icon> {};

TEST_P(SendToIcon, ComesFromTheProgramDataFolder) {
    for (const char* file : GetParam().files) {
        test::writeFile(path(QString::fromUtf8(file)), "png");
    }
    W_SendTo(context(), [this] { return sendTo(); });
    EXPECT_EQ(desktop.program.iconPath, GetParam().expected == nullptr
                                            ? QString()
                                            : path(QString::fromUtf8(GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SendToIcon,
    testing::Values(Icon{"None", {}, nullptr},
                    Icon{"BesideTheExecutable", {"bin/velmar.png"}, "bin/velmar.png"},
                    Icon{"Installed",
                         {"bin/velmar.png", "share/velmar/velmar.png"},
                         test::bySystem("share/velmar/velmar.png", "bin/velmar.png")},
                    Icon{"InstalledWithoutIcon",
                         {"bin/velmar.png", "share/velmar/help/x"},
                         test::bySystem<const char*>(nullptr, "bin/velmar.png")}),
    [](const testing::TestParamInfo<Icon>& info) { return info.param.name; });

// On a desktop of text files the entry and the file managers' actions are written by the
// program: the desktop's tools keep the other defaults and refresh the cache, and a
// Thunar list that cannot be read is named in the confirmation.
TEST_F(Shell, SendToOnEntryDesktopNamesTheFileManagerMenusNotWritten) {
    test::EntryDesktopShell entries(home.filePath("desktop"));
    test::writeFile(home.filePath("desktop/config/Thunar/uca.xml"), "<actions><action>");
    W_SendTo(context(entries), [this] { return sendTo(); });
    EXPECT_EQ(entries.calls,
              (QStringList{"keepOtherDefaults(image/jpeg;image/png,velmar" + kShortcut + ')',
                           "refreshEntryCache(" + home.filePath("sendto") + ')'}));
    QFile entry(sendToShortcut());  // Qt takes a file named .lnk on Windows for a shortcut
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().startsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_TRUE(QFileInfo(home.filePath("desktop/data/nemo/actions/velmar.nemo_action")).isFile());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains(
        QStringLiteral(" に作成しました\rThunar のﾒﾆｭｰに追加できません: ")))
        << messages.shown[0].toStdString();
}

TEST_F(Shell, SendToThatFailsConfirmsNothing) {
    desktop.failingShortcuts << sendToShortcut();
    EXPECT_NO_THROW(W_SendTo(context(), [this] { return sendTo(); }));
    EXPECT_NO_THROW(W_SendTo(context(), [] { return QString(); }));
    EXPECT_TRUE(desktop.calls.isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());
}

// With the real desktop shell: the shortcut goes into an existing folder; a missing one is
// created on Linux (the applications folder) but not on Windows, where the shell's Send To
// folder is always there; a file standing where it belongs makes the operation fail quietly.
struct Folder {
    const char* name;
    const char* existing;  // "folder", "file" or nullptr
    bool written;
};

class SendToFolder : public Shell, public testing::WithParamInterface<Folder> {};

TEST_P(SendToFolder, IsWrittenOrFailsQuietly) {
    test::writeFile(program(), "MZ");  // Qt sees a Windows shortcut to nothing as missing
    const QString folder = path("data/applications");
    if (GetParam().existing != nullptr) {
        QDir().mkpath(path("data"));
        if (qstrcmp(GetParam().existing, "file") == 0) {
            test::writeFile(folder, "x");
        } else {
            QDir().mkpath(folder);
        }
    }
    const platform::NativeServices native;
    EXPECT_NO_THROW(W_SendTo(context(native.services().desktop), [&folder] { return folder; }));
    const QString shortcut = folder + platform::pathSeparator() + "velmar" + kShortcut;
    EXPECT_EQ(QFileInfo(shortcut).isFile(), GetParam().written);
    EXPECT_EQ(messages.shown.size(), GetParam().written ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Folders, SendToFolder,
                         testing::Values(Folder{"Existing", "folder", true},
                                         Folder{"Missing", nullptr, test::bySystem(true, false)},
                                         Folder{"FileInTheWay", "file", false}),
                         [](const testing::TestParamInfo<Folder>& info) {
                             return info.param.name;
                         });

// yIni runs the operations with the program's state: <home>/bin/velmar as "velmar", the
// user-data folder <home>/user/ and the Send To folder of the special folders.
class IniShell : public Shell {
  protected:
    IniShell() {
        user_data::resetUsr();
        user_data::usr().sExeName = "velmar";
        user_data::usr().sUserDataFolder = path("user") + platform::pathSeparator();
        process.exePath = program();
        folders.folders[platform::kFolderSendTo] = sendTo();
        QDir().mkpath(path("Data"));
        test::writeFile(path("plain.txt"), "x");
    }
    ~IniShell() override { user_data::resetUsr(); }

    user_data::yIni& ini() {
        if (!ini_) {
            ini_.emplace(platform::Services{process, native.services().lookup, messages, folders,
                                            settings, desktop});
        }
        return *ini_;
    }

    const platform::NativeServices native;
    test::FakeProcess process;
    test::FakeSpecialFolders folders;
    test::FakeSettingsStore settings;
    std::optional<user_data::yIni> ini_;
};

TEST_F(IniShell, HelpAndSendToUseTheProgramState) {
    ini().W_Help("velmar.htm");
    ini().W_SendTo();
    ASSERT_EQ(desktop.calls.size(), 3);
    EXPECT_EQ(desktop.calls[0], "saveLinkShortcut(" + helpShortcut() + ',' +
                                    fileAddress(path("bin/help/velmar.htm")) + ')');
    EXPECT_EQ(desktop.calls[2], "saveProgramShortcut(" + sendToShortcut() + ',' + program() + ')');
    EXPECT_EQ(messages.shown.size(), 1);
}

struct Explore {
    const char* name;
    const char* folder;  // "@H" is the temporary folder
    std::int16_t bOpn;
    const char* call;  // "open" or "explore"; nullptr: nothing
};

class ExploreFolder : public IniShell, public testing::WithParamInterface<Explore> {};

TEST_P(ExploreFolder, OpensOrShowsOnlyWhatItShould) {
    const QString folder = QString::fromUtf8(GetParam().folder).replace("@H", home.path());
    ini().W_ExpFd(folder, GetParam().bOpn);
    const QStringList expected =
        GetParam().call == nullptr
            ? QStringList()
            : QStringList{QString::fromUtf8(GetParam().call) + '(' + folder + ",0)"};
    EXPECT_EQ(desktop.calls, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExploreFolder,
    testing::Values(Explore{"EmptyToExplore", "", 0, nullptr},
                    Explore{"EmptyToOpen", "", -1, nullptr},
                    Explore{"OpenFolder", "@H/Data", 1, "open"},
                    Explore{"OpenMissingWithoutLooking", "@H/nowhere", -1, "open"},
                    Explore{"OpenWebAddress", "https://example.com/", 1, "open"},
                    Explore{"ExploreFolder", "@H/Data", 0, "explore"},
                    Explore{"ExploreFile", "@H/plain.txt", 0, nullptr},
                    Explore{"ExploreMissing", "@H/nowhere", 0, nullptr}),
    [](const testing::TestParamInfo<Explore>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::shell
