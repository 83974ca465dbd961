// The freedesktop shell writing desktop entries and the mime cache into temporary folders,
// read back by an independent Exec parser and, where it is installed, by GLib's gio.
#include "doubles/temp_home.h"
#include "platform/platform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace velmar::platform {
namespace {

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Undoes the escapes of a desktop entry string value; nothing when the value holds a
// control character or an unknown escape.
std::optional<QString> unescapeString(const QString& value) {
    static const QHash<QChar, QChar> kEscapes{
        {u's', u' '}, {u'n', u'\n'}, {u't', u'\t'}, {u'r', u'\r'}, {u'\\', u'\\'}};
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i].unicode() < 0x20 || value[i].unicode() == 0x7f) {
            return std::nullopt;
        }
        if (value[i] != QLatin1Char('\\')) {
            text += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        const auto escape = kEscapes.constFind(value[i]);
        if (escape == kEscapes.cend()) {
            return std::nullopt;
        }
        text += *escape;
    }
    return text;
}

// The keys of a desktop entry file with their values read back as a reader does: blanks
// after '=' dropped, string escapes undone. A value a reader would refuse fails the test.
QMap<QString, QString> entryOf(const QString& path) {
    const QStringList lines = linesOf(path);
    EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QMap<QString, QString> entry;
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals);
        EXPECT_TRUE(equals > 0 && !entry.contains(key)) << line.toStdString();
        QString raw = line.mid(equals + 1);
        while (raw.startsWith(QLatin1Char(' '))) {
            raw.remove(0, 1);
        }
        const std::optional<QString> value = unescapeString(raw);
        EXPECT_TRUE(value.has_value()) << line.toStdString();
        entry[key] = value.value_or(QString());
    }
    return entry;
}

struct ExecArgument {
    QString text;
    bool fileField = false;  // the %f field code
};

// Splits an unescaped Exec value into arguments the way the Desktop Entry format defines
// it: blanks separate, double quotes group with \" \` \$ \\ as escapes, reserved
// characters must be quoted, %% is a literal percent and a field code stands alone.
std::optional<std::vector<ExecArgument>> parseExec(const QString& exec) {
    const QString reserved = QStringLiteral("\t\n\"'\\><~|&;$*?#()`");
    std::vector<ExecArgument> arguments;
    qsizetype i = 0;
    while (i < exec.size()) {
        if (exec[i] == QLatin1Char(' ')) {
            ++i;
            continue;
        }
        QString raw;
        const bool quoted = exec[i] == QLatin1Char('"');
        if (quoted) {
            for (++i; i < exec.size() && exec[i] != QLatin1Char('"'); ++i) {
                if (exec[i] == QLatin1Char('\\')) {
                    if (++i == exec.size() || !QStringLiteral("\"`$\\").contains(exec[i])) {
                        return std::nullopt;
                    }
                } else if (QStringLiteral("`$").contains(exec[i])) {
                    return std::nullopt;
                }
                raw += exec[i];
            }
            if (i == exec.size()) {
                return std::nullopt;  // no closing quote
            }
            if (++i < exec.size() && exec[i] != QLatin1Char(' ')) {
                return std::nullopt;  // text glued to the closing quote
            }
        } else {
            for (; i < exec.size() && exec[i] != QLatin1Char(' '); ++i) {
                if (reserved.contains(exec[i])) {
                    return std::nullopt;
                }
                raw += exec[i];
            }
        }
        if (!quoted && raw == QLatin1String("%f")) {
            arguments.push_back({QString(), true});
            continue;
        }
        QString text;
        for (qsizetype k = 0; k < raw.size(); ++k) {
            if (raw[k] == QLatin1Char('%')) {
                if (++k == raw.size() || raw[k] != QLatin1Char('%')) {
                    return std::nullopt;  // a field code inside an argument
                }
            }
            text += raw[k];
        }
        arguments.push_back({text, false});
    }
    return arguments;
}

class DesktopShellFiles : public testing::Test {
  protected:
    [[nodiscard]] QString path(const QString& name) const { return home.filePath(name); }
    [[nodiscard]] QString applications() const { return home.dataHome() + "/applications"; }
    [[nodiscard]] QString entry() const { return applications() + "/velmar.desktop"; }
    // Without file types GIO is not asked, which keeps the first folders it saw for the
    // whole process; the associations are tested in a process of their own below.
    void saveProgram(const QString& executable, const QStringList& types = {}) {
        desktop().saveProgramShortcut(
            entry(), ProgramShortcut{executable, QStringLiteral("Velmar"),
                                     QStringLiteral("画像編集ツール　プリント"), QString(), types});
    }
    [[nodiscard]] DesktopShell& desktop() const { return native.services().desktop; }

    test::TempHome home;
    const NativeServices native;
};

struct Link {
    const char* name;
    const char* shortcut;  // file name in the temporary folder
    QString target;        // "@H" is the temporary folder
    QString url;
};

class LinkEntry : public DesktopShellFiles, public testing::WithParamInterface<Link> {};

TEST_P(LinkEntry, NamesTheShortcutAndItsTarget) {
    const Link& c = GetParam();
    QString target = c.target;
    QString url = c.url;
    target.replace(QStringLiteral("@H"), home.path());
    url.replace(QStringLiteral("@H"), home.path());
    const QString shortcut = path(QString::fromUtf8(c.shortcut));
    desktop().saveLinkShortcut(shortcut, QStringLiteral("https://example.com/first"));
    desktop().saveLinkShortcut(shortcut, target);
    const QMap<QString, QString> expected{
        {"Type", "Link"}, {"Name", QFileInfo(shortcut).completeBaseName()}, {"URL", url}};
    EXPECT_EQ(entryOf(shortcut), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, LinkEntry,
    testing::Values(
        Link{"Path", "velmar_help.desktop", "@H/help/velmar.htm", "file://@H/help/velmar.htm"},
        Link{"PathWithBlankAndHash", "velmar_help.desktop", "@H/my help/#1.htm",
             "file://@H/my%20help/%231.htm"},
        Link{"JapanesePath", "htm_view.desktop", QStringLiteral("@H/ヘルプ.htm"),
             "file://@H/%E3%83%98%E3%83%AB%E3%83%97.htm"},
        Link{"WebAddress", "htm_view.desktop", "https://example.com/velmar/?page=2#print",
             "https://example.com/velmar/?page=2#print"},
        Link{"FileUrl", "htm_view.desktop", "file:///opt/velmar/help/velmar.htm",
             "file:///opt/velmar/help/velmar.htm"},
        Link{"DotInShortcutName", "velmar.v2_help.desktop", "https://example.com/",
             "https://example.com/"},
        Link{"LeadingBlankInShortcutName", " velmar\\help.desktop", "https://example.com/",
             "https://example.com/"}),
    [](const testing::TestParamInfo<Link>& info) { return info.param.name; });

TEST_F(DesktopShellFiles, LinkIntoMissingFolderFailsAndCreatesNothing) {
    EXPECT_THROW(desktop().saveLinkShortcut(path("Wrk/htm_view.desktop"), "https://example.com/"),
                 Error);
    EXPECT_FALSE(QFileInfo::exists(path("Wrk")));
}

TEST_F(DesktopShellFiles, ProgramEntryCreatesTheApplicationsFolder) {
    const QString icon = path("share/velmar/velmar.png");
    desktop().saveProgramShortcut(entry(),
                                  ProgramShortcut{"/opt/velmar/bin/velmar",
                                                  "Velmar",
                                                  QStringLiteral("画像編集ツール　プリント"),
                                                  icon,
                                                  {}});
    const QMap<QString, QString> expected{{"Type", "Application"},
                                          {"Name", "Velmar"},
                                          {"Comment", QStringLiteral("画像編集ツール　プリント")},
                                          {"Exec", "\"/opt/velmar/bin/velmar\" %f"},
                                          {"Icon", icon},
                                          {"Terminal", "false"}};
    EXPECT_EQ(entryOf(entry()), expected);
}

TEST_F(DesktopShellFiles, ProgramEntryWithoutIconHasNoIconKey) {
    saveProgram(QStringLiteral("/opt/velmar/bin/velmar"));
    const QMap<QString, QString> values = entryOf(entry());
    EXPECT_FALSE(values.contains(QStringLiteral("Icon")));
    EXPECT_EQ(values.value(QStringLiteral("Name")), QStringLiteral("Velmar"));
}

TEST_F(DesktopShellFiles, ProgramEntryBlockedByAFileFails) {
    test::writeFile(applications(), "not a folder");
    EXPECT_THROW(saveProgram(QStringLiteral("/opt/velmar/bin/velmar")), Error);
}

struct Executable {
    const char* name;
    QString path;
};

class ExecRoundTrip : public DesktopShellFiles, public testing::WithParamInterface<Executable> {};

TEST_P(ExecRoundTrip, GivesBackTheExecutablePath) {
    saveProgram(GetParam().path);
    const QString exec = entryOf(entry()).value(QStringLiteral("Exec"));
    const auto arguments = parseExec(exec);
    ASSERT_TRUE(arguments.has_value()) << exec.toStdString();
    ASSERT_EQ(arguments->size(), 2U) << exec.toStdString();
    EXPECT_FALSE(arguments->at(0).fileField);
    EXPECT_EQ(arguments->at(0).text, GetParam().path);
    EXPECT_TRUE(arguments->at(1).fileField);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExecRoundTrip,
    testing::Values(Executable{"Plain", "/opt/velmar/bin/velmar"},
                    Executable{"Blanks", "/opt/my tools/bin/velmar viewer"},
                    Executable{"DoubleQuotes", "/opt/\"quoted\"/velmar"},
                    Executable{"SingleQuote", "/home/o'neil/velmar"},
                    Executable{"Dollar", "/opt/$HOME/${PATH}/velmar"},
                    Executable{"Backticks", "/opt/`id`/velmar"},
                    Executable{"Percent", "/opt/100%/%f/%%/velmar"},
                    Executable{"Backslashes", "/opt/back\\slash\\\\/velmar\\"},
                    Executable{"BackslashBeforeLetters", "/opt/a\\n\\t\\s/velmar"},
                    Executable{"Tab", "/opt/tab\there/velmar"},
                    Executable{"LineBreaks", "/opt/line\nbreak\r/velmar"},
                    Executable{"Japanese", QStringLiteral("/opt/ツール 画像/ベルマー")},
                    Executable{"Everything", "/opt/a \"b\" 'c' $d `e` %f \\g/velmar"}),
    [](const testing::TestParamInfo<Executable>& info) { return info.param.name; });

// Sets an environment variable until the object goes away.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const QString& value) : name_(name), saved_(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedVariable() { qputenv(name_, saved_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
    ScopedVariable(ScopedVariable&&) = delete;
    ScopedVariable& operator=(ScopedVariable&&) = delete;

  private:
    const char* name_;
    QByteArray saved_;
};

// GLib reads the entry written here: it launches the program and offers it for the types.
class GioReadsTheEntry : public DesktopShellFiles {
  protected:
    void SetUp() override {
        gio_ = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (gio_.isEmpty()) {
            GTEST_SKIP() << "gio is not installed (package libglib2.0-bin)";
        }
        ASSERT_TRUE(QDir().mkpath(path("no-system-data")));
    }

    // Runs gio with the arguments and gives its standard output.
    QString gio(const QStringList& arguments) {
        QProcess process;
        process.start(gio_, arguments);
        EXPECT_TRUE(process.waitForFinished(20000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QString gio_;
    const ScopedVariable dataDirs_{"XDG_DATA_DIRS", path("no-system-data")};
};

TEST_F(GioReadsTheEntry, LaunchesTheProgramWithItsPathAndTheFile) {
    const QString script = path("a \"b\" 'c' $HOME `id` back\\slash/velmar run");
    const QString out = path("arguments");
    test::writeFile(script,
                    "#!/bin/sh\nprintf '%s\\0%s\\0' \"$0\" \"$1\" > \"$VELMAR_OUT.part\"\n"
                    "mv \"$VELMAR_OUT.part\" \"$VELMAR_OUT\"\n");
    ASSERT_TRUE(QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                             QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString photo = path("photo 1.jpg");
    test::writeFile(photo, "x");
    saveProgram(script);

    const ScopedVariable outVariable("VELMAR_OUT", out);
    gio({QStringLiteral("launch"), entry(), photo});
    const QDeadlineTimer deadline(20000);
    while (!QFileInfo::exists(out) && !deadline.hasExpired()) {
        QThread::msleep(20);
    }
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the program did not run";
    const QList<QByteArray> received = file.readAll().split('\0');
    EXPECT_EQ(received, (QList<QByteArray>{script.toUtf8(), photo.toUtf8(), QByteArray()}));
}

// A profile of the desktop: a viewer for JPEG and PNG in the system's applications
// folder (or none), chosen by the user or only listed.
struct Profile {
    const char* name;
    bool viewer;
    bool userChoseViewer;
};

// The per-user entry is written by a process of its own (GIO keeps the folders it saw
// first); gio and xdg-mime then answer for the same folders.
class OpenWith : public DesktopShellFiles, public testing::WithParamInterface<Profile> {
  protected:
    void SetUp() override {
        for (const char* tool : {"gio", "xdg-mime", "update-desktop-database"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        environment_.insert(QStringLiteral("HOME"), home.path());
        environment_.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
        environment_.insert(QStringLiteral("XDG_DATA_DIRS"), path("system"));
        environment_.insert(QStringLiteral("XDG_CONFIG_DIRS"), path("system-config"));
        environment_.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        ASSERT_TRUE(QDir().mkpath(path("system/applications")));
        if (GetParam().viewer) {
            test::writeFile(path("system/applications/viewer.desktop"),
                            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                            "MimeType=image/jpeg;image/png;\n");
            run(QStringLiteral("update-desktop-database"), {path("system/applications")});
        }
        if (GetParam().userChoseViewer) {
            test::writeFile(home.configHome() + "/mimeapps.list",
                            "[Default Applications]\nimage/jpeg=viewer.desktop\n");
        }
    }

    QString run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment_);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
        EXPECT_EQ(process.exitCode(), 0)
            << program.toStdString() << ": " << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    // Each type's default as gio and as xdg-mime name it ("" for none).
    QStringList defaults() {
        QStringList found;
        for (const QString& type : kTypes) {
            const QString gio = run(QStringLiteral("gio"), {QStringLiteral("mime"), type});
            const QString first = gio.section(QLatin1Char('\n'), 0, 0);
            found << (first.startsWith(QLatin1String("Default application"))
                          ? first.section(QStringLiteral(": "), -1)
                          : QString());
            found << run(QStringLiteral("xdg-mime"),
                         {QStringLiteral("query"), QStringLiteral("default"), type})
                         .trimmed();
        }
        return found;
    }

    const QStringList kTypes{"image/jpeg", "image/png", "image/gif"};
    QProcessEnvironment environment_;
};

TEST_P(OpenWith, KeepsEveryDefaultAndOffersVelmarBesideTheViewer) {
    const QStringList before = defaults();
    run(QStringLiteral(VELMAR_PROGRAM_SHORTCUT),
        QStringList{entry(), QStringLiteral("/bin/true")} + kTypes);
    ASSERT_TRUE(QFileInfo::exists(entry()));
    EXPECT_EQ(defaults(), before);
    const QString registered = run(QStringLiteral("gio"), {QStringLiteral("mime"), "image/png"});
    EXPECT_EQ(registered.contains(QLatin1String("velmar.desktop")), GetParam().viewer)
        << registered.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Profiles, OpenWith,
                         testing::Values(Profile{"ChosenViewer", true, true},
                                         Profile{"ListedViewer", true, false},
                                         Profile{"NoViewer", false, false}),
                         [](const testing::TestParamInfo<Profile>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace velmar::platform
