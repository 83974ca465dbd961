#include "shell/desktop_entry.h"

#include "base/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

// The package entry is built into the program as a resource of the core library, which a
// static library has to register itself; the registration function lives outside any
// namespace.
static void registerPackageEntry() {
    Q_INIT_RESOURCE(velmar);
}

namespace velmar::shell {

namespace {

constexpr auto kPackageEntry = ":/velmar.desktop";
constexpr auto kEntryGroup = "[Desktop Entry]";

// Characters the Desktop Entry rules reserve in an Exec argument.
bool reservedInExec(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f ||
           QStringLiteral(" \"'\\><~|&;$*?#()`=").contains(c);
}

// Characters a POSIX shell gives a meaning (blanks, quotes, expansions, globs, comments).
bool specialToShell(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f ||
           QStringLiteral(" \"'\\><~|&;$*?#()`[]{}!^").contains(c);
}

QString entryLine(const char* key, const QString& value) {
    return QLatin1String(key) + QLatin1Char('=') + value + QLatin1Char('\n');
}

// A web address stays as it is; a path becomes a file: URL.
QUrl urlOf(const QString& target) {
    QUrl url(target);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

QString keyOf(const QString& line) {
    return line.section(QLatin1Char('='), 0, 0).trimmed();
}

// The entry's lines of its [Desktop Entry] group, without comments and blank lines.
QStringList packageGroup() {
    registerPackageEntry();
    QFile file{QString::fromLatin1(kPackageEntry)};
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの項目 %1 がありません").arg(kPackageEntry));
    }
    QStringList lines;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inGroup = trimmed == QLatin1String(kEntryGroup);
        } else if (inGroup && !trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#'))) {
            lines << trimmed;
        }
    }
    return lines;
}

// Whether an icon theme in the data folders has the named application icon.
bool themeHasIcon(const QString& name, const platform::DesktopFolders& desktop) {
    const QStringList folders = QStringList{desktop.dataHome} + desktop.systemData;
    for (const QString& folder : folders) {
        const QDir theme(folder + QLatin1String("/icons/hicolor"));
        for (const QString& size : theme.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            for (const char* suffix : {".png", ".svg"}) {
                if (QFileInfo::exists(theme.filePath(size + QLatin1String("/apps/") + name +
                                                     QLatin1String(suffix)))) {
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace

QString desktopStringValue(const QString& value) {
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

QString desktopExecArgument(const QString& argument) {
    const bool quoted =
        argument.isEmpty() || std::any_of(argument.cbegin(), argument.cend(), reservedInExec);
    QString text = quoted ? QStringLiteral("\"") : QString();
    for (const QChar c : argument) {
        if (quoted && QStringLiteral("\"`$\\").contains(c)) {
            text += QLatin1Char('\\');
        } else if (c == QLatin1Char('%')) {
            text += QLatin1Char('%');
        }
        text += c;
    }
    return quoted ? text + QLatin1Char('"') : text;
}

QString shellWord(const QString& word) {
    if (!word.isEmpty() && std::none_of(word.cbegin(), word.cend(), specialToShell)) {
        return word;
    }
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QStringList packageEntryLines() {
    static const QStringList kOwnKeys{"Exec", "TryExec", "Icon", "MimeType"};
    QStringList lines;
    for (const QString& line : packageGroup()) {
        if (!kOwnKeys.contains(keyOf(line).section(QLatin1Char('['), 0, 0))) {
            lines << line;
        }
    }
    return lines;
}

QString packageEntryValue(const QString& key) {
    for (const QString& line : packageGroup()) {
        if (keyOf(line) == key) {
            return line.section(QLatin1Char('='), 1).trimmed();
        }
    }
    return {};
}

QString entryIcon(const QString& iconFile, const platform::DesktopFolders& folders) {
    const QString themeIcon = packageEntryValue(QStringLiteral("Icon"));
    return themeHasIcon(themeIcon, folders) || iconFile.isEmpty() ? themeIcon : iconFile;
}

QByteArray linkEntry(const QString& shortcutPath, const QString& target) {
    return (QLatin1String(kEntryGroup) + QLatin1Char('\n') +
            entryLine("Type", QStringLiteral("Link")) +
            entryLine("Name", desktopStringValue(QFileInfo(shortcutPath).completeBaseName())) +
            entryLine("URL", desktopStringValue(urlOf(target).toString(QUrl::FullyEncoded))))
        .toUtf8();
}

QByteArray programEntry(const platform::ProgramShortcut& program, const QString& icon) {
    QString entry = QLatin1String(kEntryGroup) + QLatin1Char('\n');
    for (const QString& line : packageEntryLines()) {
        entry += line + QLatin1Char('\n');
    }
    entry += entryLine("Exec", desktopStringValue(desktopExecArgument(program.executablePath) +
                                                  QLatin1String(" %f")));
    entry += entryLine("Icon", desktopStringValue(icon));
    if (!program.mimeTypes.isEmpty()) {
        entry += entryLine("MimeType", program.mimeTypes.join(QLatin1Char(';')) + QLatin1Char(';'));
    }
    return entry.toUtf8();
}

}  // namespace velmar::shell
