// INI files changed one key at a time, and read as QSettings wrote them.
#include "settings_formats/ini_text.h"
#include "doubles/temp_home.h"

#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

namespace velmar::settings_formats {
namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Other programs' entries, comments, blank lines, line ends and bytes in other encodings
// stay; only the key's own line changes, and QSettings reads what was written.
struct IniCase {
    const char* name;
    QByteArray before;
    QString value;
    QByteArray after;
};

class IniUpdate : public testing::TestWithParam<IniCase> {};

TEST_P(IniUpdate, ChangesOnlyTheKeysLine) {
    IniText ini(GetParam().before);
    ini.setValue(QStringLiteral("Path"), QStringLiteral("velmar"), GetParam().value);
    EXPECT_EQ(ini.bytes(), GetParam().after);
    EXPECT_EQ(IniText(ini.bytes()).value(QStringLiteral("Path"), QStringLiteral("velmar")),
              GetParam().value);

    const test::TempHome home;
    const QString path = home.filePath(QStringLiteral("tools.conf"));
    test::writeFile(path, ini.bytes());
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("Path/velmar")).toString(),
              GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniUpdate,
    testing::Values(
        IniCase{"Empty", "", QStringLiteral("/opt/v"), "[Path]\nvelmar=/opt/v\n"},
        IniCase{"KeyReplacedInPlace",
                "; tools\r\n[Path]\r\nother=\xe9t\xe9\r\nvelmar=/old\r\nlast=1\r\n\r\n[X]\r\na=b",
                QStringLiteral("/new"),
                "; tools\r\n[Path]\r\nother=\xe9t\xe9\r\nvelmar=/new\r\nlast=1\r\n\r\n[X]\r\na=b"},
        IniCase{"KeyAddedAtTheEndOfItsSection", "[Path]\nother=1\n\n[Y]\nb=2", QStringLiteral("/v"),
                "[Path]\nother=1\nvelmar=/v\n\n[Y]\nb=2"},
        IniCase{"SectionAddedAfterTheRest", "[Y]\nb=\xff\xfe", QStringLiteral("/v"),
                "[Y]\nb=\xff\xfe\n\n[Path]\nvelmar=/v\n"},
        IniCase{"SpecialCharactersEscaped", "", QStringLiteral(" /a,b;c\\d\"e\tツール "),
                "[Path]\nvelmar=\" /a,b;c\\\\d\\\"e\\t\xe3\x83\x84\xe3\x83\xbc\xe3\x83\xab \"\n"},
        IniCase{"LeadingAt", "", QStringLiteral("@x"), "[Path]\nvelmar=@@x\n"}),
    [](const testing::TestParamInfo<IniCase>& info) { return info.param.name; });

TEST(IniRead, ReadsWhatQSettingsWrote) {
    const test::TempHome home;
    const QString path = home.filePath(QStringLiteral("tools.conf"));
    const QString value = QStringLiteral("C:\\ツール;,= x\x01y\n");
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Path/ve lmar"), value);
    }
    EXPECT_EQ(IniText(contentOf(path)).value(QStringLiteral("Path"), QStringLiteral("ve lmar")),
              value);
}

}  // namespace
}  // namespace velmar::settings_formats
