// The build's install rules, checked on a real `cmake --install` into a temporary prefix:
// the files land where the desktop and the program look for them, and the installed
// program finds its own files.
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "image_component/image_component.h"
#include "image_files/image_fixtures.h"
#include "shell/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

namespace velmar {
namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The value of a key of the desktop entry's text; empty when the key is missing.
QString entryValue(const QString& entry, const QString& key) {
    for (const QString& line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('='))) {
            return line.mid(key.size() + 1);
        }
    }
    return {};
}

class InstallTree : public testing::Test {
  protected:
    void SetUp() override {
        QProcess install;
        install.start(QStringLiteral(VELMAR_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(VELMAR_BINARY_DIR),
                       QStringLiteral("--prefix"), prefix()});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    }

    [[nodiscard]] QString prefix() const { return home.filePath(QStringLiteral("prefix")); }
    [[nodiscard]] QString installed(const char* path) const {
        return prefix() + QLatin1Char('/') + QLatin1String(path);
    }
    [[nodiscard]] QString executable() const { return installed("bin/velmar"); }
    [[nodiscard]] QString userData() const {
        return home.dataHome() + QStringLiteral("/Ostrand/velmar/");
    }

    test::TempHome home;
};

TEST_F(InstallTree, PutsEachFileWhereItIsLookedFor) {
    EXPECT_TRUE(QFileInfo(executable()).isExecutable());
    EXPECT_EQ(contentOf(installed("share/velmar/UserData.ini")), QByteArray("%usr%"));
    EXPECT_EQ(QImage(installed("share/velmar/velmar.png")).size(), QSize(32, 32));
    EXPECT_EQ(QImage(installed("share/icons/hicolor/16x16/apps/velmar.png")).size(), QSize(16, 16));
    EXPECT_EQ(QImage(installed("share/icons/hicolor/32x32/apps/velmar.png")).size(), QSize(32, 32));
    EXPECT_TRUE(contentOf(installed("share/icons/hicolor/scalable/apps/velmar.svg"))
                    .contains("<svg xmlns=\"http://www.w3.org/2000/svg\""));

    // The help menu asks for the help page under this address.
    const QUrl help(shell::helpBaseAddress(executable()) + QStringLiteral("velmar.htm"));
    EXPECT_EQ(help.toLocalFile(), installed("share/velmar/help/velmar.htm"));
    EXPECT_TRUE(QFileInfo(help.toLocalFile()).isFile());
}

// The entry lists no file type, so that installing never makes Velmar a type's default.
TEST_F(InstallTree, DesktopEntryIsValidAndClaimsNoFileType) {
    const QString path = installed("share/applications/velmar.desktop");
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    ASSERT_TRUE(validate.waitForFinished()) << "desktop-file-validate did not run";
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();

    const QString entry = QString::fromUtf8(contentOf(path));
    EXPECT_EQ(entryValue(entry, QStringLiteral("Exec")), QStringLiteral("velmar %f"));
    EXPECT_EQ(entryValue(entry, QStringLiteral("Icon")), QStringLiteral("velmar"));
    EXPECT_FALSE(entry.contains(QStringLiteral("MimeType")));
}

struct Definition {
    const char* name;
    const char* text;    // of the installed UserData.ini; "@P" is the prefix
    const char* folder;  // the user-data folder; "@P" prefix, "@U" the default
};

class InstalledProgram : public InstallTree, public testing::WithParamInterface<Definition> {
  protected:
    [[nodiscard]] QString withPlaces(const char* pattern) const {
        return QString::fromUtf8(pattern)
            .replace(QStringLiteral("@P"), prefix())
            .replace(QStringLiteral("@U"), userData());
    }
};

TEST_P(InstalledProgram, PrintsIntoTheFolderItsInstalledDefinitionNames) {
    test::writeFile(installed("share/velmar/UserData.ini"), withPlaces(GetParam().text).toUtf8());
    ASSERT_TRUE(QDir().mkpath(prefix() + QStringLiteral("/own")));
    const QString folder = withPlaces(GetParam().folder);
    test::writeFile(folder + QStringLiteral("IkPrn.Ik"), "[Printer]\nName=PDF\n");
    const QString image = home.filePath(QStringLiteral("image.png"));
    test::writeFile(image, test::qtEncoded(test::twoColourImage(), "PNG"));

    const test::RunResult result = test::runVelmar(home, {image}, executable());

    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains(QStringLiteral("UserData.ini")))
        << result.standardError.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("Print Out.pdf")))
        << result.standardError.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Definitions, InstalledProgram,
                         testing::Values(Definition{"AsInstalled", "%usr%", "@U"},
                                         Definition{"BesideTheProgram", "%app%", "@P/bin/usData/"},
                                         Definition{"OwnFolder", "@P/own", "@P/own/"}),
                         [](const testing::TestParamInfo<Definition>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace velmar
