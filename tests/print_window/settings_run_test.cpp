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

// A print-only run with a group whose closing tag is missing: the damage is reported
// where it is read, at start-up and again at shut-down; the page is printed; the group
// is added whole before the root's end, the damaged text staying where it was.
TEST_F(SettingsRun, DamagedDocumentIsReportedAndTheGroupAddedWhole) {
    const QString head = QStringLiteral(
        "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n      "
        "<保存>2</保存>\r\n");
    test::writeFile(settingsDocument(), shiftJis(head + QStringLiteral("</運用>")));
    test::writeFile(userData() + QStringLiteral("IkPrn.Ik"), "[Printer]\nName=PDF\n");
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString imagePath = home.filePath(QStringLiteral("image.png"));
    ASSERT_TRUE(image.save(imagePath));

    const test::RunResult result = test::runVelmar(home, {imagePath});

    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(QFileInfo::exists(userData() + QStringLiteral("Print Out.pdf")));
    const QString message =
        QStringLiteral("Velmar: <設定> の設定が読み込めません\nﾕｰｻﾞｰ環境ﾌｧｲﾙ(") +
        settingsDocument() + QStringLiteral(") が破損しています\n");
    EXPECT_EQ(result.standardError.count(message), 2) << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains(QStringLiteral("保存できません")));
    // The mode read as 0 and is saved so, in a group of its own.
    EXPECT_EQ(contentOf(settingsDocument()),
              shiftJis(head + QStringLiteral(
                                  "   <設定>\r\n      <保存>0</保存>\r\n   </設定>\r\n</運用>")));
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

// A named pipe in a settings file's place: the run does not wait for a writer, leaves the
// pipe as it is, and goes on as an unreadable file of that kind leads to.
struct OddFile {
    const char* name;
    const char* file;  // "data/", "config/" or "program/" and the file's name
    int exitCode;
    const char* said;  // on standard error after the file's path; none for User.xml
};

class NamedPipeInPlace : public SettingsRun, public testing::WithParamInterface<OddFile> {};

TEST_P(NamedPipeInPlace, RunEndsAndLeavesItAsItIs) {
    const QString place = QString::fromUtf8(GetParam().file);
    const QString folder = place.section(QLatin1Char('/'), 0, 0);
    const QString executable = folder == QLatin1String("program")
                                   ? programCopy(nullptr)
                                   : QStringLiteral(VELMAR_EXECUTABLE);
    const QString path = (folder == QLatin1String("program") ? QFileInfo(executable).path()
                          : folder == QLatin1String("data")  ? userData().chopped(1)
                                                             : home.configHome()) +
                         place.mid(folder.size());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const test::RunResult result = test::runVelmar(
        home, {QStringLiteral(VELMAR_SOURCE_DIR "/samples/sample-300dpi.png")}, executable);

    const std::string said = result.standardError.toStdString();
    const QString message = QString::fromUtf8(GetParam().said);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << said;
    EXPECT_EQ(result.standardError.contains(path + message), !message.isEmpty()) << said;
    EXPECT_EQ(result.standardError.contains(QStringLiteral("Velmar: PDF に印刷しました")),
              GetParam().exitCode == 0)
        << said;
    struct stat after {};
    EXPECT_TRUE(lstat(QFile::encodeName(path).constData(), &after) == 0 && S_ISFIFO(after.st_mode));
}

INSTANTIATE_TEST_SUITE_P(
    Files, NamedPipeInPlace,
    testing::Values(
        // Unreadable settings give the defaults, and the document is not saved over.
        OddFile{"SettingsDocument", "data/User.xml", 0, ""},
        // Unreadable printer settings are the defaults: no printer here, so the PDF one.
        OddFile{"PrinterSettings", "data/IkPrn.Ik", 0,
                " を読み込めません (通常のﾌｧｲﾙではありません)"},
        // The executable's path is only a record: not written, and printing goes on.
        OddFile{"ToolsRecord", "config/OstrandTools.conf", 0,
                " を読み込めません: 通常のﾌｧｲﾙではありません"},
        // A folder definition that cannot be read stops the run before anything is printed.
        OddFile{"FolderDefinition", "program/UserData.ini", 1,
                " を開けません\n通常のﾌｧｲﾙではありません"}),
    [](const testing::TestParamInfo<OddFile>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::print_window
