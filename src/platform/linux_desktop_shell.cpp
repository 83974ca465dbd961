// Shortcuts as freedesktop desktop entries, file-type associations through GIO, and the
// open and explore actions through the desktop's URL handler (xdg-open); no command shell
// is involved.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/native_parts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <gio/gio.h>

#include <vector>

namespace velmar::platform {

namespace {

constexpr auto kEntryGroup = "[Desktop Entry]";
constexpr int kToolTimeoutMs = 30000;

// A value of type string: backslash, line breaks and tabs are escaped, and so is a leading
// blank, which readers would otherwise strip.
QString escapedValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
            case '\\':
                escaped += QLatin1String("\\\\");
                break;
            case '\n':
                escaped += QLatin1String("\\n");
                break;
            case '\t':
                escaped += QLatin1String("\\t");
                break;
            case '\r':
                escaped += QLatin1String("\\r");
                break;
            default:
                escaped += c;
        }
    }
    if (escaped.startsWith(QLatin1Char(' '))) {
        escaped.replace(0, 1, QLatin1String("\\s"));
    }
    return escaped;
}

// One argument of an Exec line: always quoted, with '"', '`', '$' and '\' escaped inside
// the quotes, and '%' doubled so that it is not taken for a field code.
QString quotedExecArgument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        } else if (c == QLatin1Char('%')) {
            quoted += QLatin1Char('%');
        }
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A web address stays as it is; a path becomes a file: URL.
QUrl urlOf(const QString& target) {
    QUrl url(target);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

// What killed runs left in the folder goes with the write.
void writeWhole(const QString& path, const QByteArray& bytes) {
    FileSystem().removeAbandonedTemporaries(QFileInfo(path).path());
    writeWholeFile(path, bytes);
}

QString entryLine(const char* key, const QString& value) {
    return QLatin1String(key) + QLatin1Char('=') + value + QLatin1Char('\n');
}

QString linkEntry(const QString& shortcutPath, const QString& target) {
    return QLatin1String(kEntryGroup) + QLatin1Char('\n') +
           entryLine("Type", QStringLiteral("Link")) +
           entryLine("Name", escapedValue(QFileInfo(shortcutPath).completeBaseName())) +
           entryLine("URL", escapedValue(urlOf(target).toString(QUrl::FullyEncoded)));
}

QString programEntry(const ProgramShortcut& program) {
    QString entry = QLatin1String(kEntryGroup) + QLatin1Char('\n') +
                    entryLine("Type", QStringLiteral("Application")) +
                    entryLine("Name", escapedValue(program.name));
    if (!program.comment.isEmpty()) {
        entry += entryLine("Comment", escapedValue(program.comment));
    }
    entry += entryLine(
        "Exec", escapedValue(quotedExecArgument(program.executablePath) + QLatin1String(" %f")));
    if (!program.iconPath.isEmpty()) {
        entry += entryLine("Icon", escapedValue(program.iconPath));
    }
    if (!program.mimeTypes.isEmpty()) {
        entry += entryLine("MimeType", program.mimeTypes.join(QLatin1Char(';')) + QLatin1Char(';'));
    }
    entry += entryLine("Terminal", QStringLiteral("false"));
    return entry;
}

// GIO, the desktop's own library for file-type associations. Its objects are released
// with g_object_unref.
struct GObjectRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GAppInfo, GObjectRelease>;

// An application that is some file type's default, other than the entry being written.
struct OtherDefault {
    QString type;
    AppInfo application;
};

// The types whose default application is another program, with that program, as GIO
// finds them now: from the user's and the system's mimeapps.list, else the first program
// that lists the type.
std::vector<OtherDefault> otherDefaults(const QStringList& mimeTypes, const QString& ownId) {
    std::vector<OtherDefault> defaults;
    for (const QString& type : mimeTypes) {
        AppInfo application(g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE));
        if (application && QString::fromUtf8(g_app_info_get_id(application.get())) != ownId) {
            defaults.push_back(OtherDefault{type, std::move(application)});
        }
    }
    return defaults;
}

// Records each default in the user's mimeapps.list, so that a program listed for the same
// type later (this one) never takes its place.
void keepDefaults(const std::vector<OtherDefault>& defaults) {
    for (const OtherDefault& entry : defaults) {
        GError* error = nullptr;
        if (g_app_info_set_as_default_for_type(entry.application.get(),
                                               entry.type.toUtf8().constData(), &error) == FALSE) {
            const QString reason = QString::fromUtf8(error != nullptr ? error->message : "");
            g_clear_error(&error);
            throw Error(
                QStringLiteral("%1 の既定のﾌﾟﾛｸﾞﾗﾑを記録できません (%2)").arg(entry.type, reason));
        }
    }
}

// File managers look for "Open With" programs in the folder's mime cache. It is rebuilt by
// the desktop-file tools' update-desktop-database, where they are installed.
void refreshMimeCache(const QString& folder) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty()) {
        return;
    }
    QProcess process;
    process.start(tool, {QStringLiteral("-q"), folder});
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        throw Error(QStringLiteral("ﾌｫﾙﾀﾞ %1 のﾌｧｲﾙの種類の一覧を更新できません")
                        .arg(QDir::toNativeSeparators(folder)));
    }
}

class FreedesktopShell final : public DesktopShell {
  public:
    void saveLinkShortcut(const QString& shortcutPath, const QString& target) override {
        writeWhole(shortcutPath, linkEntry(shortcutPath, target).toUtf8());
    }

    // The entry offers the program for the types that already have a default program, and
    // those defaults are recorded first, so that no type's default changes: a type without
    // one is left out, since the program would become its default. The entry itself is
    // written here: neither GIO nor the desktop-file tools write a new entry. The per-user
    // applications folder may not exist yet on a new account.
    void saveProgramShortcut(const QString& shortcutPath, const ProgramShortcut& program) override {
        const QFileInfo entry(shortcutPath);
        const std::vector<OtherDefault> defaults =
            otherDefaults(program.mimeTypes, entry.fileName());
        ProgramShortcut offered = program;
        offered.mimeTypes.clear();
        for (const OtherDefault& other : defaults) {
            offered.mimeTypes << other.type;
        }
        keepDefaults(defaults);
        QDir().mkpath(entry.path());
        writeWhole(shortcutPath, programEntry(offered).toUtf8());
        refreshMimeCache(entry.path());
    }

    // Asks GIO, which reads the same associations as xdg-open: the program for the web
    // address's scheme, or for the type of the file.
    [[nodiscard]] bool canOpen(const QString& target) const override {
        const QUrl url = urlOf(target);
        if (!url.isLocalFile()) {
            const AppInfo handler(
                g_app_info_get_default_for_uri_scheme(url.scheme().toUtf8().constData()));
            return static_cast<bool>(handler);
        }
        const QByteArray file = QFile::encodeName(url.toLocalFile());
        gchar* type = g_content_type_guess(file.constData(), nullptr, 0, nullptr);
        const AppInfo handler(g_app_info_get_default_for_type(type, FALSE));
        g_free(type);
        return static_cast<bool>(handler);
    }

    // xdg-open shows a link entry as a text file, so the target is opened instead.
    void openShortcut(const QString& /*shortcutPath*/, const QString& target,
                      std::int32_t ownerWindow) override {
        open(target, ownerWindow);
    }

    void open(const QString& target, std::int32_t /*ownerWindow*/) override {
        QDesktopServices::openUrl(urlOf(target));
    }

    void explore(const QString& folder, std::int32_t /*ownerWindow*/) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
    }
};

}  // namespace

std::unique_ptr<DesktopShell> makeNativeDesktopShell() {
    return std::make_unique<FreedesktopShell>();
}

}  // namespace velmar::platform
