// The Linux (freedesktop) implementations of the services: directory lookup, XDG
// folders, the settings file, the executable's path and opening through xdg-open.
#include "doubles/temp_home.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

namespace velmar::platform {
namespace {

class Lookup : public testing::Test {
  protected:
    Lookup() {
        for (const char* name :
             {"photo.jpg", "read-only.png", ".hidden.jpg", "[a].jpg", "sub folder/x.bmp"}) {
            test::writeFile(path(name), "x");
        }
        QFile(path("read-only.png")).setPermissions(QFile::ReadOwner);
        QDir().mkpath(path("only-folders.d"));
        QFile::link(path("photo.jpg"), path("link.jpg"));
        QFile::link(path("missing.jpg"), path("broken.jpg"));
    }

    [[nodiscard]] QString path(const char* name) const {
        return home.filePath(QString::fromUtf8(name));
    }

    test::TempHome home;
    const NativeServices native;
};

struct Entry {
    const char* name;
    const char* path;
    bool found;
};

class LookupEntry : public Lookup, public testing::WithParamInterface<Entry> {};

TEST_P(LookupEntry, FindsOrdinaryFilesOnly) {
    EXPECT_EQ(native.services().lookup.hasNormalEntry(path(GetParam().path)), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LookupEntry,
    testing::Values(
        Entry{"OrdinaryFile", "photo.jpg", true}, Entry{"ReadOnlyFile", "read-only.png", true},
        Entry{"FileInAFolderWithABlank", "sub folder/x.bmp", true},
        Entry{"LinkToAFile", "link.jpg", true}, Entry{"BrokenLink", "broken.jpg", false},
        Entry{"HiddenFile", ".hidden.jpg", false}, Entry{"Folder", "sub folder", false},
        Entry{"FolderWithTrailingSeparator", "sub folder/", false},
        Entry{"MissingFile", "nothing.jpg", false}, Entry{"StarMatchesAFile", "*.jpg", true},
        Entry{"QuestionMarkMatchesOneCharacter", "phot?.jpg", true},
        Entry{"QuestionMarkNeedsACharacter", "photo?.jpg", false},
        Entry{"StarMatchingOnlyHiddenFiles", ".h*", false},
        Entry{"StarMatchingOnlyFolders", "only-*", false},
        Entry{"StarMatchingNothing", "*.tiff", false},
        Entry{"BracketsAreOrdinaryCharacters", "[a]*", true},
        Entry{"BracketsAreNotACharacterClass", "a*", false},
        Entry{"WildcardInAFolderName", "sub*/x.bmp", false},
        Entry{"CaseMatters", "PHOTO.JPG", false}),
    [](const testing::TestParamInfo<Entry>& info) { return info.param.name; });

TEST_F(Lookup, EmptyPathFindsNothing) {
    EXPECT_FALSE(native.services().lookup.hasNormalEntry(QString()));
}

TEST(SpecialFolders, FollowTheXdgDataHome) {
    const test::TempHome home;
    const NativeServices native;
    const SpecialFolders& folders = native.services().folders;
    EXPECT_EQ(folders.path(kFolderAppData), home.dataHome());
    EXPECT_EQ(folders.path(kFolderSendTo), home.dataHome() + QStringLiteral("/applications"));
    EXPECT_FALSE(folders.path(kFolderDocuments).isEmpty());
    EXPECT_EQ(folders.path(0), QString());
    EXPECT_EQ(folders.path(27), QString());
}

class DataHomeFallback : public testing::TestWithParam<const char*> {};

TEST_P(DataHomeFallback, UnsetOrRelativeXdgDataHomeMeansLocalShare) {
    const test::TempHome home;
    qputenv("XDG_DATA_HOME", GetParam());
    const NativeServices native;
    EXPECT_EQ(native.services().folders.path(kFolderAppData),
              home.path() + QStringLiteral("/.local/share"));
}

INSTANTIATE_TEST_SUITE_P(Values, DataHomeFallback, testing::Values("", "relative/data"));

TEST(ExecutablePath, SplitsIntoFolderAndBaseName) {
    EXPECT_EQ(executableBaseName(QStringLiteral("/opt/velmar/bin/Velmar_DV")),
              QStringLiteral("Velmar_DV"));
    EXPECT_EQ(executableFolder(QStringLiteral("/opt/velmar/bin/velmar")),
              QStringLiteral("/opt/velmar/bin"));
}

TEST(NativeSettingsStore, KeepsValuesInAnIniFileUnderTheConfigFolder) {
    const test::TempHome home;
    const NativeServices native;
    SettingsStore& store = native.services().settings;
    const QString tools = QStringLiteral("OstrandTools");
    const QString section = QStringLiteral("Path");
    const QString value = QStringLiteral("/opt/ツール/velmar");
    store.write(tools, section, QStringLiteral("velmar"), value);
    EXPECT_EQ(store.read(tools, section, QStringLiteral("velmar"), QString()), value);
    EXPECT_EQ(store.read(tools, section, QStringLiteral("other"), QStringLiteral("-")),
              QStringLiteral("-"));
    QFile file(home.configHome() + QStringLiteral("/OstrandTools.conf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Path]") && text.contains("velmar=")) << text.toStdString();
}

TEST(NativeSettingsStore, ConfigFolderThatCannotBeMadeRaisesError) {
    const test::TempHome home;
    test::writeFile(home.filePath(QStringLiteral("blocker")), "x");
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("blocker/config")).toUtf8());
    const NativeServices native;
    EXPECT_THROW(
        native.services().settings.write(QStringLiteral("OstrandTools"), QStringLiteral("Path"),
                                         QStringLiteral("velmar"), QStringLiteral("/opt/velmar")),
        Error);
}

TEST(NativeSettingsStore, FileThatIsNoTextIsNeverRewritten) {
    const test::TempHome home;
    const QString path = home.configHome() + QStringLiteral("/OstrandTools.conf");
    const QByteArray garbage("[Path]\nvelmar=/old\n\0\x01binary", 24);
    test::writeFile(path, garbage);
    const NativeServices native;
    EXPECT_THROW(
        native.services().settings.write(QStringLiteral("OstrandTools"), QStringLiteral("Path"),
                                         QStringLiteral("velmar"), QStringLiteral("/opt/velmar")),
        Error);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
}

// Help goes through xdg-open, whose exit status says whether the page could be shown; a
// stand-in on PATH records the address and ends as told.
struct Opening {
    const char* name;
    int status;
    const char* failure;
};

class OpenThroughDesktop : public testing::TestWithParam<Opening> {
  protected:
    [[nodiscard]] QString path(const QString& name) const { return home.filePath(name); }

    test::TempHome home;
    const NativeServices native;
};

TEST_P(OpenThroughDesktop, SaysWhyThePageWasNotShown) {
    test::writeFile(path("bin/xdg-open"),
                    "#!/bin/sh\nprintf '%s' \"$1\" > \"$VELMAR_OUT\"\n"
                    "exit $VELMAR_STATUS\n");
    ASSERT_TRUE(QFile(path("bin/xdg-open"))
                    .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const test::ScopedVariable searchPath("PATH", path("bin") + ':' + qEnvironmentVariable("PATH"));
    const test::ScopedVariable out("VELMAR_OUT", path("opened"));
    const test::ScopedVariable status("VELMAR_STATUS", QString::number(GetParam().status));
    const QString page = path("help/velmar.htm");
    EXPECT_EQ(native.services().desktop.openShortcut(path("velmar_help.desktop"), page, 0),
              QString::fromUtf8(GetParam().failure));
    QFile opened(path("opened"));
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(opened.readAll()), QUrl::fromLocalFile(page).toString());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, OpenThroughDesktop,
    testing::Values(Opening{"Shown", 0, ""}, Opening{"NoProgram", 3, "開くﾌﾟﾛｸﾞﾗﾑがありません"},
                    Opening{"ProgramFailed", 4, "開くﾌﾟﾛｸﾞﾗﾑが失敗しました"},
                    Opening{"OtherStatus", 9, "xdg-open が終了ｺｰﾄﾞ 9 で終わりました"}),
    [](const testing::TestParamInfo<Opening>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::platform
