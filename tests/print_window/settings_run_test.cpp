// The real program's start-up and shut-down with the per-user files: the folder
// definition beside the executable, the settings document and the settings-store entry.
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velmar::print_window {
namespace {

QByteArray shiftJis(const QString& text) {
    return platform::encodeAnsi(text).value();
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The document a new user has after the first shut-down.
const QString kFirstDocument = QStringLiteral(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n      <保存>0</保存>\r\n"
    "   </設定>\r\n</運用>");

class SettingsRun : public testing::Test {
  protected:
    [[nodiscard]] QString userData() const {
        return home.dataHome() + QStringLiteral("/Ostrand/velmar/");
    }
    [[nodiscard]] QString settingsDocument() const {
        return userData() + QStringLiteral("User.xml");
    }

    // A copy of the program in a folder of its own, with the given folder definition
    // beside it (none when definition is null).
    [[nodiscard]] QString programCopy(const char* definition) const {
        const QString folder = home.filePath(QStringLiteral("program"));
        const QString copy = folder + QStringLiteral("/velmar");
        EXPECT_TRUE(QDir().mkpath(folder));
        EXPECT_TRUE(QFile::copy(QStringLiteral(VELMAR_EXECUTABLE), copy));
        if (definition != nullptr) {
            test::writeFile(folder + QStringLiteral("/UserData.ini"), definition);
        }
        return copy;
    }

    test::TempHome home;
};

TEST_F(SettingsRun, FirstRunWritesTheNewUsersDocumentAndRecordsTheExecutable) {
    const test::RunResult result = test::runVelmar(home, {});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();

    const QByteArray written = contentOf(settingsDocument());
    EXPECT_EQ(written.size(), 105);
    EXPECT_EQ(written, shiftJis(kFirstDocument));
    const QString entry = home.configHome() + QStringLiteral("/OstrandTools.conf");
    const QSettings recorded(entry, QSettings::IniFormat);
    EXPECT_EQ(recorded.value(QStringLiteral("Path/velmar")).toString(),
              QFileInfo(QStringLiteral(VELMAR_EXECUTABLE)).absoluteFilePath());
    EXPECT_FALSE(result.standardError.contains(QStringLiteral("UserData.ini")));
}

TEST_F(SettingsRun, StoredModeIsWrittenBackUnchanged) {
    QString stored = kFirstDocument;
    stored.replace(QStringLiteral("<保存>0<"), QStringLiteral("<保存>2<"));
    test::writeFile(settingsDocument(), shiftJis(stored));

    const test::RunResult result = test::runVelmar(home, {});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(contentOf(settingsDocument()), shiftJis(stored));
}

TEST_F(SettingsRun, DamagedDocumentIsReportedWithItsPath) {
    const QByteArray damaged =
        shiftJis(QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>"
                                "\r\n   <設定>\r\n      <保存>2</保存>\r\n</運用>"));
    test::writeFile(settingsDocument(), damaged);

    const test::RunResult result = test::runVelmar(home, {});
    // The backup mode could not be saved: the run says so in its exit status, once told.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(result.standardError.contains(QStringLiteral("を保存できませんでした")));
    const QString message =
        QStringLiteral("Velmar: <設定> の設定が読み込めません\nﾕｰｻﾞｰ環境ﾌｧｲﾙ(") +
        settingsDocument() + QStringLiteral(") が破損しています\n");
    EXPECT_TRUE(result.standardError.contains(message)) << result.standardError.toStdString();
    // The mode read as 0, which a complete group added after the damaged one would not
    // read back as: the document stays as it was, and the user is told.
    EXPECT_EQ(contentOf(settingsDocument()), damaged);
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") +
                                              settingsDocument() +
                                              QStringLiteral(") は安全に書き換えられないため")))
        << result.standardError.toStdString();
}

TEST_F(SettingsRun, MissingFolderDefinitionIsReportedAndTheDefaultFolderUsed) {
    const QString copy = programCopy(nullptr);
    const test::RunResult result = test::runVelmar(home, {}, copy);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains(
        QStringLiteral("Velmar: ") + QFileInfo(copy).path() +
        QStringLiteral("/UserData.ini が見つかりません\nﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　") + userData() +
        QStringLiteral(" を使用します\n")))
        << result.standardError.toStdString();
    EXPECT_TRUE(QFileInfo::exists(settingsDocument()));
}

TEST_F(SettingsRun, ProgramFolderDefinitionKeepsTheFilesBesideTheProgram) {
    const QString copy = programCopy("%APP%");
    const test::RunResult result = test::runVelmar(home, {}, copy);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(QFileInfo::exists(QFileInfo(copy).path() + QStringLiteral("/usData/User.xml")));
    EXPECT_FALSE(QFileInfo::exists(settingsDocument()));
}

// A named pipe or an endless device in the place of a settings file: the run neither waits
// nor reads on and on, leaves the thing as it is, and does what an unreadable file of that
// kind leads to.
struct OddFile {
    const char* name;
    const char* file;  // where it stands: "data/", "config/" or "program/" + its name
    bool pipe;
    int exitCode;
    const char* said;  // on standard error, after the file's path
};

class OddSettingsFile : public SettingsRun, public testing::WithParamInterface<OddFile> {
  protected:
    // A device of the test's own where root may make one, so that a fault could never
    // touch the system's; otherwise a link to /dev/zero, which only root could replace.
    void makeOddFile(const QString& path) const {
        const QByteArray name = QFile::encodeName(path);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        if (GetParam().pipe) {
            ASSERT_EQ(mkfifo(name.constData(), 0600), 0);
        } else if (geteuid() == 0) {
            ASSERT_EQ(mknod(name.constData(), S_IFCHR | 0666, makedev(1, 5)), 0);
        } else {
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
        }
    }
};

TEST_P(OddSettingsFile, RunEndsAndLeavesItAsItIs) {
    const QString place = QString::fromUtf8(GetParam().file);
    const bool beside = place.startsWith(QLatin1String("program/"));
    const QString executable = beside ? programCopy(nullptr) : QStringLiteral(VELMAR_EXECUTABLE);
    const QString path = beside ? QFileInfo(executable).path() + place.mid(7)
                         : place.startsWith(QLatin1String("data/"))
                             ? userData() + place.mid(5)
                             : home.configHome() + place.mid(6);
    makeOddFile(path);
    struct stat before {};
    ASSERT_EQ(lstat(QFile::encodeName(path).constData(), &before), 0);
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    const QString photo = home.filePath(QStringLiteral("photo.png"));
    ASSERT_TRUE(image.save(photo, "PNG"));

    const test::RunResult result = test::runVelmar(home, {photo}, executable);

    const std::string said = result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << said;
    const QString message = QString::fromUtf8(GetParam().said);
    // An unreadable settings document is met without a message (empty "said").
    EXPECT_EQ(result.standardError.contains(path + message), !message.isEmpty()) << said;
    EXPECT_EQ(result.standardError.contains(QStringLiteral("Velmar: PDF に印刷しました")),
              GetParam().exitCode == 0)
        << said;
    struct stat after {};
    ASSERT_EQ(lstat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OddSettingsFile,
    testing::Values(
        // Unreadable settings are defaults; the document is then not saved over.
        OddFile{"SettingsDocumentPipe", "data/User.xml", true, 0, ""},
        OddFile{"SettingsDocumentDevice", "data/User.xml", false, 0, ""},
        // Unreadable printer settings are the defaults: no printer here, so the PDF one.
        OddFile{"PrinterSettingsPipe", "data/IkPrn.Ik", true, 0,
                " を読み込めません (通常のﾌｧｲﾙではありません)"},
        OddFile{"PrinterSettingsDevice", "data/IkPrn.Ik", false, 0,
                " を読み込めません (通常のﾌｧｲﾙではありません)"},
        // The executable's path is only a record: not written, and printing goes on.
        OddFile{"ToolsRecordPipe", "config/OstrandTools.conf", true, 0,
                " を読み込めません: 通常のﾌｧｲﾙではありません"},
        OddFile{"ToolsRecordDevice", "config/OstrandTools.conf", false, 0,
                " を読み込めません: 通常のﾌｧｲﾙではありません"},
        // A folder definition that cannot be read stops the run before anything is printed.
        OddFile{"FolderDefinitionPipe", "program/UserData.ini", true, 1,
                " を開けません\n通常のﾌｧｲﾙではありません"},
        OddFile{"FolderDefinitionDevice", "program/UserData.ini", false, 1,
                " を開けません\n通常のﾌｧｲﾙではありません"}),
    [](const testing::TestParamInfo<OddFile>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::print_window
