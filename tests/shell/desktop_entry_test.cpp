// Desktop entries and the file managers' actions written through the native freedesktop
// shell into temporary folders, read back by an independent Exec parser and, where it is
// installed, by GLib's gio.
#include "doubles/temp_home.h"
#include "platform/platform.h"
#include "shell/shell.h"

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
#include <QXmlStreamReader>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace velmar::shell {
namespace {

using platform::DesktopShell;
using platform::ProgramShortcut;
using test::ScopedVariable;

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
        saveProgramShortcut(
            desktop(), entry(),
            ProgramShortcut{executable, QStringLiteral("Velmar"),
                            QStringLiteral("画像編集ツール　プリント"), QString(), types});
    }
    [[nodiscard]] DesktopShell& desktop() const { return native.services().desktop; }

    test::TempHome home;
    const platform::NativeServices native;
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
    saveLinkShortcut(desktop(), shortcut, QStringLiteral("https://example.com/first"));
    saveLinkShortcut(desktop(), shortcut, target);
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
    EXPECT_THROW(saveLinkShortcut(desktop(), path("Wrk/htm_view.desktop"), "https://example.com/"),
                 Error);
    EXPECT_FALSE(QFileInfo::exists(path("Wrk")));
}

TEST_F(DesktopShellFiles, ProgramEntryBlockedByAFileFails) {
    test::writeFile(applications(), "not a folder");
    EXPECT_THROW(saveProgram(QStringLiteral("/opt/velmar/bin/velmar")), Error);
}

// The user's entry hides the package's (same id), so it carries the package entry's keys:
// names, comments and categories from the one template both are made from; the program's
// path stays unquoted where nothing needs quoting, so GIO names an executable that exists.
TEST_F(DesktopShellFiles, ProgramEntryCarriesThePackageEntryAndValidates) {
    const ScopedVariable systemData("XDG_DATA_DIRS", path("no-system-data"));
    const QString program = path("bin/velmar");
    test::writeFile(program, "#!/bin/sh\n");
    ASSERT_TRUE(QFile(program).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const QString iconFile = path("share/velmar/velmar.png");
    saveProgramShortcut(desktop(), entry(),
                        ProgramShortcut{program, "Other", "other", iconFile, {}});

    QMap<QString, QString> expected = entryOf(VELMAR_SOURCE_DIR "/resources/velmar.desktop.in");
    expected["Exec"] = program + " %f";
    expected["Icon"] = iconFile;
    EXPECT_EQ(entryOf(entry()), expected);

    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry()});
    ASSERT_TRUE(validate.waitForFinished(20000)) << "desktop-file-validate did not run";
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    EXPECT_TRUE(validate.readAllStandardOutput().isEmpty());

    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry().toUtf8().constData());
    ASSERT_NE(info, nullptr);
    const QString executable = QString::fromUtf8(g_app_info_get_executable(G_APP_INFO(info)));
    g_object_unref(info);
    EXPECT_EQ(executable, program);
    EXPECT_TRUE(QFileInfo(executable).isExecutable());

    // An icon the theme has is named as the package names it.
    test::writeFile(home.dataHome() + "/icons/hicolor/scalable/apps/velmar.svg", "<svg/>");
    saveProgramShortcut(desktop(), entry(),
                        ProgramShortcut{program, "Other", "other", iconFile, {}});
    EXPECT_EQ(entryOf(entry()).value("Icon"), "velmar");
}

// A value of a file manager's key file, read by GLib as the file managers read it; "!"
// when the file is not a valid key file.
QString keyValue(const QString& path, const char* group, const char* key) {
    GKeyFile* file = g_key_file_new();
    QString value = QStringLiteral("!");
    if (g_key_file_load_from_file(file, path.toUtf8().constData(), G_KEY_FILE_NONE, nullptr)) {
        gchar* text = g_key_file_get_string(file, group, key, nullptr);
        value = QString::fromUtf8(text);
        g_free(text);
    }
    g_key_file_free(file);
    return value;
}

// A command line as Nemo and Thunar run it: their code for the file replaced by the file's
// quoted path, "%%" by "%", then split as GLib splits a shell command line.
QStringList commandFor(QString command, const char* code, const QString& file) {
    gchar* quoted = g_shell_quote(file.toUtf8().constData());
    command.replace(QLatin1String(code), QString::fromUtf8(quoted)).replace("%%", "%");
    g_free(quoted);
    gchar** argv = nullptr;
    QStringList arguments;
    if (g_shell_parse_argv(command.toUtf8().constData(), nullptr, &argv, nullptr) == TRUE) {
        for (gchar** argument = argv; *argument != nullptr; ++argument) {
            arguments << QString::fromUtf8(*argument);
        }
    }
    g_strfreev(argv);
    return arguments;
}

// The program is a recording script whose path needs quoting in every format; the photo's
// name too.
class FileManagerActions : public DesktopShellFiles {
  protected:
    void SetUp() override {
        test::writeFile(program_, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$VELMAR_OUT\"\n");
        ASSERT_TRUE(
            QFile(program_).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QStringList save() {
        return saveFileManagerActions(
            desktop(), ProgramShortcut{program_, "Velmar", QString(), QString(), kTypes},
            QStringLiteral("Velmar で印刷"));
    }
    [[nodiscard]] QString thunarList() const { return home.configHome() + "/Thunar/uca.xml"; }
    [[nodiscard]] static QByteArray contents(const QString& file) {
        QFile opened(file);
        return opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray();
    }

    const QString program_ = path("my tools/it's $HOME 100%/velmar");
    const QString photo_ = path("photos/a 'b' $c.jpg");
    const QStringList kTypes{"image/jpeg", "image/png"};
    const ScopedVariable systemConfig_{"XDG_CONFIG_DIRS", path("system-config")};
};

TEST_F(FileManagerActions, DolphinAndNemoReadTheirActions) {
    ASSERT_EQ(save(), QStringList());
    const QString menu = home.dataHome() + "/kio/servicemenus/velmar.desktop";
    const auto dolphin = [&menu](const char* group, const char* key) {
        return keyValue(menu, group, key);
    };
    EXPECT_TRUE(QFileInfo(menu).isExecutable());
    EXPECT_EQ(dolphin("Desktop Entry", "Type"), "Service");
    EXPECT_EQ(dolphin("Desktop Entry", "X-KDE-ServiceTypes"), "KonqPopupMenu/Plugin");
    EXPECT_EQ(dolphin("Desktop Entry", "MimeType"), "image/jpeg;image/png;");
    EXPECT_EQ(dolphin("Desktop Entry", "Actions"), "print;");
    EXPECT_EQ(dolphin("Desktop Action print", "Name"), QStringLiteral("Velmar で印刷"));
    const auto exec = parseExec(dolphin("Desktop Action print", "Exec"));
    ASSERT_TRUE(exec.has_value());
    ASSERT_EQ(exec->size(), 2U);
    EXPECT_EQ(exec->at(0).text, program_);
    EXPECT_TRUE(exec->at(1).fileField);

    const auto nemo = [this](const char* key) {
        return keyValue(home.dataHome() + "/nemo/actions/velmar.nemo_action", "Nemo Action", key);
    };
    EXPECT_EQ(nemo("Name"), QStringLiteral("Velmar で印刷"));
    EXPECT_EQ(nemo("Selection"), "s");
    EXPECT_EQ(nemo("Mimetypes"), "image/jpeg;image/png;");
    EXPECT_EQ(commandFor(nemo("Exec"), "%F", photo_), (QStringList{program_, photo_}));
}

TEST_F(FileManagerActions, NautilusScriptPrintsEachSelectedFile) {
    ASSERT_EQ(save(), QStringList());
    const QString script = home.dataHome() + QStringLiteral("/nautilus/scripts/Velmar で印刷");
    ASSERT_TRUE(QFileInfo(script).isExecutable());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", photo_ + "\n/b\\n c.png\n");
    environment.insert("VELMAR_OUT", path("printed"));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(script, {});
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(contents(path("printed"))), photo_ + "\n/b\\n c.png\n");
}

// Thunar's list: the user's own actions are kept as they are written, a user without a
// list starts from the system's list, and a second run leaves one action of Velmar's.
struct ThunarCase {
    const char* name;
    const char* userList;    // nullptr: none
    const char* systemList;  // nullptr: none
    const char* kept;        // text the written list must still hold
};

class ThunarList : public FileManagerActions, public testing::WithParamInterface<ThunarCase> {};

TEST_P(ThunarList, KeepsWhatItHeldAndHoldsVelmarOnce) {
    if (GetParam().userList != nullptr) {
        test::writeFile(thunarList(), GetParam().userList);
    }
    if (GetParam().systemList != nullptr) {
        test::writeFile(path("system-config/Thunar/uca.xml"), GetParam().systemList);
    }
    ASSERT_EQ(save(), QStringList());
    ASSERT_EQ(save(), QStringList());
    const QString written = QString::fromUtf8(contents(thunarList()));
    EXPECT_TRUE(written.contains(QString::fromUtf8(GetParam().kept))) << written.toStdString();
    QXmlStreamReader xml(written);
    QStringList ids;
    QString command;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("unique-id")) {
            ids << xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("command") &&
                   ids.endsWith("velmar-print")) {
            command = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(ids.count("velmar-print"), 1) << written.toStdString();
    EXPECT_EQ(commandFor(command, "%f", photo_), (QStringList{program_, photo_}));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ThunarList,
    testing::Values(
        ThunarCase{"UsersOwn",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- mine -->\n<actions>\n"
                   "<action><name>Mine 😀 &amp; more</name><unique-id>1-1</unique-id>"
                   "<command>true %f</command></action></actions>",
                   nullptr,
                   "<!-- mine -->\n<actions>\n<action><name>Mine 😀 &amp; more</name>"
                   "<unique-id>1-1</unique-id><command>true %f</command></action>\n"},
        ThunarCase{"EmptyList", "<actions/>", nullptr, "<actions>\n<action>"},
        ThunarCase{"SystemDefault", nullptr,
                   "<actions><action><unique-id>2-2</unique-id></action></actions>",
                   "<actions><action><unique-id>2-2</unique-id></action>\n"},
        ThunarCase{"None", nullptr, nullptr, "<?xml"}),
    [](const testing::TestParamInfo<ThunarCase>& info) { return info.param.name; });

TEST_F(FileManagerActions, ThunarListItCannotReadIsLeftAsItIsAndSaid) {
    test::writeFile(thunarList(), "<actions><action></actions>");
    const QStringList unwritten = save();
    ASSERT_EQ(unwritten.size(), 1);
    EXPECT_TRUE(unwritten[0].startsWith("Thunar")) << unwritten[0].toStdString();
    EXPECT_EQ(contents(thunarList()), "<actions><action></actions>");
    EXPECT_TRUE(QFileInfo::exists(home.dataHome() + "/nemo/actions/velmar.nemo_action"));
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
}  // namespace velmar::shell
