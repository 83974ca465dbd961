#include "user_data/y_ini.h"
#include "doubles/platform_doubles.h"
#include "doubles/temp_home.h"
#include "user_data/usr.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <optional>
#include <vector>

namespace velmar::user_data {
namespace {

const QString kExe = test::bySystem("", ".exe");

// yIni over doubles, except the directory lookup; the program lives in <home>/bin, the
// application-data folder is <home>/appdata and the documents folder <home>/docs, all
// spelled with the platform's separators.
class UserDataFolder : public testing::Test {
  protected:
    UserDataFolder() {
        resetUsr();
        usr().sExeName = QStringLiteral("velmar");
        process.exePath = executable();
        folders.folders[platform::kFolderAppData] = homePath(QStringLiteral("appdata"));
        folders.folders[platform::kFolderDocuments] = homePath(QStringLiteral("docs"));
        QDir().mkpath(home.filePath(QStringLiteral("bin")));
        QDir().mkpath(home.filePath(QStringLiteral("Data")));
        QDir().mkpath(home.filePath(QStringLiteral("データ")));
        test::writeFile(home.filePath(QStringLiteral("plain.txt")), "x");
    }
    ~UserDataFolder() override { resetUsr(); }

    yIni& ini() {
        if (!ini_) {
            ini_.emplace(platform::Services{process, native.services().lookup, messages, folders,
                                            settings, desktop});
        }
        return *ini_;
    }
    [[nodiscard]] QString homePath(const QString& name) const {
        return test::nativePath(home.filePath(name));
    }
    [[nodiscard]] QString executable() const {
        return homePath(QStringLiteral("bin/velmar")) + kExe;
    }
    [[nodiscard]] QString programFolder() const {
        return homePath(QStringLiteral("bin")) + platform::pathSeparator();
    }
    [[nodiscard]] QString defaultFolder() const {
        return homePath(QStringLiteral("appdata/Ostrand/velmar")) + platform::pathSeparator();
    }
    [[nodiscard]] QString documentsFolder() const {
        return homePath(QStringLiteral("docs/Ostrand/velmar")) + platform::pathSeparator();
    }
    [[nodiscard]] QString recorded() const {
        return settings.read(QStringLiteral("OstrandTools"), QStringLiteral("Path"),
                             QStringLiteral("velmar"), QStringLiteral("<none>"));
    }
    // A pattern with "@H" for the home folder, with the platform's separators.
    [[nodiscard]] QString pathOf(QString pattern) const {
        return test::nativePath(pattern.replace(QStringLiteral("@H"), home.path()));
    }
    [[nodiscard]] QByteArray bytesOf(const char* pattern) const {
        // '/' is never part of a Shift-JIS character, so it can be swapped byte by byte
        const char separator = platform::pathSeparator().toLatin1();
        return QByteArray(pattern).replace("@H", home.path().toUtf8()).replace('/', separator);
    }
    // A folder path from the definition file as the file system compares it.
    [[nodiscard]] static QString inFileSystemCase(const QString& path) {
        return test::bySystem(path, path.toLower());
    }
    // The executable's path where the other tools read it: OstrandTools.conf under the
    // config folder on Linux, the registry on Windows.
    [[nodiscard]] QString recordedForOtherTools() const {
#ifdef Q_OS_WIN
        wchar_t stored[MAX_PATH] = {};
        DWORD bytes = sizeof(stored);
        if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\OstrandTools\\Path", L"velmar",
                         RRF_RT_REG_SZ, nullptr, stored, &bytes) != ERROR_SUCCESS) {
            return {};
        }
        return QString::fromWCharArray(stored);
#else
        const QSettings file(home.configHome() + QStringLiteral("/OstrandTools.conf"),
                             QSettings::IniFormat);
        return file.value(QStringLiteral("Path/velmar")).toString();
#endif
    }

    test::TempHome home;
    const platform::NativeServices native;
    test::FakeProcess process;
    test::RecordingMessageBox messages;
    test::FakeSpecialFolders folders;
    test::FakeSettingsStore settings;
    test::RecordingDesktopShell desktop;
    std::optional<yIni> ini_;
};

enum class Message { None, FileMissing, Undefined, FolderMissing };

struct Definition {
    const char* name;
    const char* bytes;  // the Shift-JIS file; nullptr: no file; "@H" is the home folder
    QString expected;   // "@P" program folder, "@U" default, "@D" documents, "@H" home
    Message message;
};

class UserDataDefinition : public UserDataFolder, public testing::WithParamInterface<Definition> {};

TEST_P(UserDataDefinition, ChoosesCreatesAndReportsTheFolder) {
    const Definition& c = GetParam();
    const QString file = programFolder() + QStringLiteral("UserData.ini");
    QByteArray bytes;
    if (c.bytes != nullptr) {
        bytes = bytesOf(c.bytes);
        test::writeFile(file, bytes);
    }
    ini().W_UserData(7);
    EXPECT_EQ(ini().nOwnerWnd(), 7);

    QString expected = pathOf(c.expected)
                           .replace(QStringLiteral("@P"), programFolder())
                           .replace(QStringLiteral("@U"), defaultFolder())
                           .replace(QStringLiteral("@D"), documentsFolder());
    if (c.expected.startsWith(QStringLiteral("@H"))) {
        expected = inFileSystemCase(expected);
    }
    EXPECT_EQ(usr().sUserDataFolder, expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    const QString useDefault =
        QStringLiteral("\rﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　") + defaultFolder() + QStringLiteral(" を使用します");
    QStringList shown;
    switch (c.message) {
        case Message::None:
            break;
        case Message::FileMissing:
            shown << file + QStringLiteral(" が見つかりません") + useDefault;
            break;
        case Message::Undefined:
            shown << QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r") + defaultFolder() +
                         QStringLiteral(" を使用します");
            break;
        case Message::FolderMissing:
            shown << QStringLiteral("ﾌｫﾙﾀﾞ ") + inFileSystemCase(QString::fromUtf8(bytes)) +
                         QStringLiteral(" が見つかりません") + useDefault;
            break;
    }
    EXPECT_EQ(messages.shown, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UserDataDefinition,
    testing::Values(
        Definition{"NoFile", nullptr, "@U", Message::FileMissing},
        Definition{"EmptyFile", "", "@U", Message::Undefined},
        Definition{"EmptyFirstLine", "\r\n%app%", "@U", Message::Undefined},
        Definition{"EmptyFirstLineUnix", "\n%app%", "@U", Message::Undefined},
        Definition{"App", "%app%", "@PusData/", Message::None},
        Definition{"AppInCapitals", "%APP%", "@PusData/", Message::None},
        Definition{"Usr", "%usr%", "@U", Message::None},
        Definition{"StoredDefaultSpelling", "%applicaion data%", "@U", Message::None},
        Definition{"Doc", "%doc", "@D", Message::None},
        Definition{"MyDocument", "%My Document%", "@D", Message::None},
        Definition{"DocWithClosingPercent", "%doc%", "@U", Message::None},
        Definition{"CorrectlySpelledAppData", "%application data%", "@U", Message::None},
        Definition{"TokenFollowedByLineBreak", "%app%\r\n", "@U", Message::None},
        Definition{"ExistingFolder", "@H/Data", "@H/Data/", Message::None},
        Definition{"ExistingFolderWithSeparator", "@H/Data/", "@H/Data/", Message::None},
        Definition{"JapaneseFolderName", "@H/\x83\x66\x81\x5b\x83\x5e",
                   QStringLiteral("@H/データ/"), Message::None},
        Definition{"FolderInOtherCase", "@H/data", test::bySystem("@U", "@H/data/"),
                   test::bySystem(Message::FolderMissing, Message::None)},
        Definition{"MissingFolder", "@H/nowhere", "@U", Message::FolderMissing},
        Definition{"NamesAFile", "@H/plain.txt", "@U", Message::FolderMissing},
        Definition{"FolderFollowedByLineBreak", "@H/Data\r\n", "@U", Message::FolderMissing}),
    [](const testing::TestParamInfo<Definition>& info) { return info.param.name; });

#ifndef Q_OS_WIN  // a Windows program's files always lie beside the executable
// An installed program: the executable in <home>/bin and its files in <home>/share/velmar.
// Only the definition among those files counts; one beside the executable is not read.
struct InstalledDefinition {
    const char* name;
    const char* inDataFolder;  // nullptr: no file; "@H" is the home folder
    const char* besideExecutable;
    const char* expected;  // "@P" program folder, "@U" default, "@H" home
    bool reportsMissingFile;
};

class InstalledUserDataDefinition : public UserDataFolder,
                                    public testing::WithParamInterface<InstalledDefinition> {};

TEST_P(InstalledUserDataDefinition, IsReadFromTheInstalledDataFolder) {
    const InstalledDefinition& c = GetParam();
    const QString dataFolder = home.filePath(QStringLiteral("share/velmar/"));
    ASSERT_TRUE(QDir().mkpath(dataFolder));
    if (c.inDataFolder != nullptr) {
        test::writeFile(dataFolder + QStringLiteral("UserData.ini"),
                        pathOf(c.inDataFolder).toUtf8());
    }
    if (c.besideExecutable != nullptr) {
        test::writeFile(programFolder() + QStringLiteral("UserData.ini"),
                        pathOf(c.besideExecutable).toUtf8());
    }
    ini().W_UserData(0);

    EXPECT_EQ(usr().sUserDataFolder, pathOf(c.expected)
                                         .replace(QStringLiteral("@P"), programFolder())
                                         .replace(QStringLiteral("@U"), defaultFolder()));
    QStringList shown;
    if (c.reportsMissingFile) {
        shown << dataFolder + QStringLiteral("UserData.ini が見つかりません\rﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　") +
                     defaultFolder() + QStringLiteral(" を使用します");
    }
    EXPECT_EQ(messages.shown, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, InstalledUserDataDefinition,
    testing::Values(InstalledDefinition{"App", "%app%", nullptr, "@PusData/", false},
                    InstalledDefinition{"Usr", "%usr%", nullptr, "@U", false},
                    InstalledDefinition{"FolderPath", "@H/Data", nullptr, "@H/Data/", false},
                    InstalledDefinition{"DataFolderWinsOverTheExecutablesFolder", "@H/Data",
                                        "%app%", "@H/Data/", false},
                    InstalledDefinition{"OnlyBesideTheExecutableIsNotRead", nullptr, "%app%", "@U",
                                        true}),
    [](const testing::TestParamInfo<InstalledDefinition>& info) { return info.param.name; });
#endif

struct Recorded {
    const char* name;
    const char* stored;  // nullptr: nothing stored yet; "@H" is the home folder
    int writes;
};

class ExecutablePathEntry : public UserDataFolder, public testing::WithParamInterface<Recorded> {};

// The entry is written only when it names another executable, letter case aside.
TEST_P(ExecutablePathEntry, IsRewrittenOnlyWhenTheExecutableMoved) {
    const QString current = executable();
    QString stored = current;
    if (GetParam().stored != nullptr) {
        stored = pathOf(GetParam().stored) + kExe;
        settings.values[QStringLiteral("OstrandTools/Path/velmar")] = stored;
    }
    ini().W_UserData(0);
    EXPECT_EQ(settings.writes, GetParam().writes);
    EXPECT_EQ(recorded(), GetParam().writes > 0 ? current : stored);
    ini().W_UserData(0);
    EXPECT_EQ(settings.writes, GetParam().writes);
}

INSTANTIATE_TEST_SUITE_P(Entries, ExecutablePathEntry,
                         testing::Values(Recorded{"FirstRun", nullptr, 1},
                                         Recorded{"SameFolder", "@H/bin/velmar", 0},
                                         Recorded{"OtherCase", "@H/bin/VELMAR", 0},
                                         Recorded{"Moved", "@H/old/velmar", 1},
                                         Recorded{"OtherExecutable", "@H/bin/velmar2", 1}),
                         [](const testing::TestParamInfo<Recorded>& info) {
                             return info.param.name;
                         });

TEST_F(UserDataFolder, RecordsTheExecutableWhereTheOtherToolsReadIt) {
    yIni withNativeStore(platform::Services{process, native.services().lookup, messages, folders,
                                            native.services().settings, desktop});
    withNativeStore.W_UserData(0);
    EXPECT_EQ(recordedForOtherTools(), executable());
}

TEST_F(UserDataFolder, SpecialFolderComesBackWhole) {
    const QString longPath =
        QStringLiteral("/") + QString(240, QLatin1Char('a')) + QStringLiteral("/ツール");
    folders.folders[platform::kFolderSendTo] = longPath;
    EXPECT_EQ(ini().FsGtSpFld(platform::kFolderSendTo), longPath);
    EXPECT_EQ(ini().FsGtSpFld(platform::kFolderAppData), homePath(QStringLiteral("appdata")));
    EXPECT_EQ(ini().FsGtSpFld(42), QString());
}

struct Creation {
    const char* name;
    const char* path;
    std::vector<const char*> made;
    std::vector<const char*> absent;
};

class CreateFolder : public UserDataFolder, public testing::WithParamInterface<Creation> {};

TEST_P(CreateFolder, CreatesEveryMissingLevelItCan) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(home.path()));  // where a relative path would land
    EXPECT_NO_THROW(ini().F_CreateFld(pathOf(GetParam().path)));
    QDir::setCurrent(previous);
    for (const char* made : GetParam().made) {
        EXPECT_TRUE(QFileInfo(pathOf(made)).isDir()) << made;
    }
    for (const char* absent : GetParam().absent) {
        EXPECT_FALSE(QFileInfo::exists(pathOf(absent))) << absent;
    }
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral("plain.txt"))).isFile());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CreateFolder,
    testing::Values(Creation{"Existing", "@H/Data", {"@H/Data"}, {"@H/Data/Data"}},
                    Creation{"TwoLevels", "@H/x/new/sub", {"@H/x/new/sub"}, {}},
                    Creation{"TrailingSeparator", "@H/y/new/", {"@H/y/new"}, {}},
                    Creation{"FileInTheWay", "@H/plain.txt/sub/deeper", {}, {"@H/plain.txt/sub"}},
                    Creation{"RelativeWithoutSeparator", "loose", {}, {"@H/loose"}}),
    [](const testing::TestParamInfo<Creation>& info) { return info.param.name; });

struct SubFolders {
    const char* name;
    const char* base;
    QStringList names;
    QStringList made;
    QStringList absent;
    bool throws;
};

class CheckSubFolders : public UserDataFolder, public testing::WithParamInterface<SubFolders> {};

TEST_P(CheckSubFolders, CreatesTheMissingOnes) {
    const SubFolders& c = GetParam();
    if (c.throws) {
        EXPECT_THROW(ini().F_ChkSb(pathOf(c.base), c.names), Error);
    } else {
        EXPECT_NO_THROW(ini().F_ChkSb(pathOf(c.base), c.names));
    }
    for (const QString& made : c.made) {
        EXPECT_TRUE(QFileInfo(pathOf(made)).isDir()) << made.toStdString();
    }
    for (const QString& absent : c.absent) {
        EXPECT_FALSE(QFileInfo::exists(pathOf(absent))) << absent.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CheckSubFolders,
    testing::Values(
        SubFolders{"SomeExist",
                   "@H/Data/",
                   {"Temp", "Log", "Temp"},
                   {"@H/Data/Temp", "@H/Data/Log"},
                   {},
                   false},
        SubFolders{"JapaneseName",
                   "@H/Data/",
                   {QStringLiteral("一時")},
                   {QStringLiteral("@H/Data/一時")},
                   {},
                   false},
        SubFolders{
            "BaseWithoutSeparator", "@H/Data", {"Temp"}, {"@H/DataTemp"}, {"@H/Data/Temp"}, false},
        SubFolders{"EmptyList", "@H/Data/", {}, {}, {"@H/Data/Temp"}, false},
        SubFolders{"MissingParent",
                   "@H/Data/",
                   {"made", "none/sub", "later"},
                   {"@H/Data/made"},
                   {"@H/Data/none", "@H/Data/later"},
                   true}),
    [](const testing::TestParamInfo<SubFolders>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::user_data
