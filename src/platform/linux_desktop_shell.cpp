// Shortcuts as freedesktop desktop entries, and the open and explore actions through the
// desktop's URL handler (xdg-open); no command shell is involved.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/native_parts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QUrl>

namespace velmar::platform {

namespace {

constexpr auto kEntryGroup = "[Desktop Entry]";
constexpr auto kMimeCacheFile = "mimeinfo.cache";
constexpr auto kMimeCacheGroup = "[MIME Cache]";

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

void writeWhole(const QString& path, const QByteArray& bytes) {
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

// The file types of the folder's mime cache, each with its desktop-file ids in order. A
// cache that is there but cannot be read raises: rewriting it would drop its lines.
QMap<QString, QStringList> readMimeCache(const QString& path) {
    QMap<QString, QStringList> cache;
    QFile file(path);
    if (!file.exists()) {
        return cache;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        raiseFileError(QStringLiteral("を開けません"), path, file.errorString());
    }
    bool inGroup = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String(kMimeCacheGroup);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0) {
            cache[line.left(equals)] =
                line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        }
    }
    return cache;
}

// Lists the desktop-file id under exactly the given file types in the mime cache of the
// folder that holds the entry, which is where file managers look for "Open With"
// programs. The other programs' lines stay as they are.
void registerMimeTypes(const QString& entryPath, const QStringList& mimeTypes) {
    const QFileInfo entry(entryPath);
    const QString cachePath = entry.dir().filePath(QLatin1String(kMimeCacheFile));
    const QString id = entry.fileName();
    QMap<QString, QStringList> cache = readMimeCache(cachePath);
    for (QStringList& ids : cache) {
        ids.removeAll(id);
    }
    for (const QString& type : mimeTypes) {
        cache[type].append(id);
    }
    QString text = QLatin1String(kMimeCacheGroup) + QLatin1Char('\n');
    for (auto type = cache.cbegin(); type != cache.cend(); ++type) {
        if (!type->isEmpty()) {
            text += type.key() + QLatin1Char('=') + type->join(QLatin1Char(';')) +
                    QLatin1Char(';') + QLatin1Char('\n');
        }
    }
    writeWhole(cachePath, text.toUtf8());
}

class FreedesktopShell final : public DesktopShell {
  public:
    void saveLinkShortcut(const QString& shortcutPath, const QString& target) override {
        writeWhole(shortcutPath, linkEntry(shortcutPath, target).toUtf8());
    }

    // The per-user applications folder may not exist yet on a new account.
    void saveProgramShortcut(const QString& shortcutPath, const ProgramShortcut& program) override {
        QDir().mkpath(QFileInfo(shortcutPath).path());
        writeWhole(shortcutPath, programEntry(program).toUtf8());
        registerMimeTypes(shortcutPath, program.mimeTypes);
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
