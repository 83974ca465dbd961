// "Velmar で印刷" in the right-click menus of Dolphin, Nautilus, Nemo and Thunar, each in the
// per-user place the file manager documents, under $XDG_DATA_HOME or $XDG_CONFIG_HOME.
// Velmar prints one file per run, so every action starts it once for each selected file.
#include "shell/file_manager_actions.h"

#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "shell/desktop_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <exception>
#include <functional>

namespace velmar::shell {

using platform::ProgramShortcut;
using platform::raiseFileError;

namespace {

// The id of the action in the files that name their actions.
constexpr auto kActionId = "velmar-print";
constexpr auto kThunarRoot = "actions";

QString line(const QString& key, const QString& value) {
    return key + QLatin1Char('=') + value + QLatin1Char('\n');
}

// The file types as a desktop entry lists them; every image when the program names none.
QString typeList(const QStringList& types) {
    return types.isEmpty() ? QStringLiteral("image/*;") : types.join(QLatin1Char(';')) + ';';
}

// The program as the first word of a command line that a file manager splits like a shell
// after putting its own codes ("%f") in; "%%" stands for a percent sign there.
QString commandWord(const QString& program) {
    return shellWord(program).replace(QLatin1Char('%'), QLatin1String("%%"));
}

// The package entry's comment and its translations, as key lines.
QString commentLines() {
    QString lines;
    for (const QString& key : {QStringLiteral("Comment"), QStringLiteral("Comment[ja]")}) {
        const QString value = packageEntryValue(key);
        if (!value.isEmpty()) {
            lines += line(key, value);
        }
    }
    return lines;
}

// A KIO service menu: Dolphin (KDE Frameworks 5.85 and later) shows its actions for the
// listed types.
QByteArray serviceMenu(const ProgramShortcut& program, const QString& name, const QString& icon) {
    const QString exec = desktopExecArgument(program.executablePath) + QLatin1String(" %f");
    return (QStringLiteral("[Desktop Entry]\n") + line("Type", "Service") +
            line("X-KDE-ServiceTypes", "KonqPopupMenu/Plugin") +
            line("MimeType", typeList(program.mimeTypes)) + line("Actions", "print;") +
            QStringLiteral("\n[Desktop Action print]\n") + line("Name", desktopStringValue(name)) +
            line("Icon", desktopStringValue(icon)) + line("Exec", desktopStringValue(exec)))
        .toUtf8();
}

// A Nautilus script: Nautilus lists the selected files' paths one a line in
// NAUTILUS_SCRIPT_SELECTED_FILE_PATHS. The status says whether every file was printed.
QByteArray nautilusScript(const ProgramShortcut& program, const QString& name) {
    return (QStringLiteral("#!/bin/sh\n# ") + name +
            QStringLiteral(": prints each selected file.\n"
                           "status=0\n"
                           "while IFS= read -r file; do\n"
                           "    if [ -n \"$file\" ]; then\n"
                           "        ") +
            shellWord(program.executablePath) +
            QStringLiteral(" \"$file\" || status=1\n"
                           "    fi\n"
                           "done <<EOF\n"
                           "$NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n"
                           "EOF\n"
                           "exit $status\n"))
        .toUtf8();
}

// A Nemo action for one selected file of the listed types. Nemo takes only theme icons.
QByteArray nemoAction(const ProgramShortcut& program, const QString& name, const QString& icon) {
    QString text = QStringLiteral("[Nemo Action]\n") + line("Name", desktopStringValue(name)) +
                   commentLines() +
                   line("Exec", desktopStringValue(commandWord(program.executablePath) +
                                                   QLatin1String(" %F")));
    if (!QDir::isAbsolutePath(icon)) {
        text += line("Icon-Name", desktopStringValue(icon));
    }
    return (text + line("Selection", "s") + line("Mimetypes", typeList(program.mimeTypes)))
        .toUtf8();
}

// A Thunar custom action for image files; Thunar runs it once for each selected file.
QString thunarAction(const ProgramShortcut& program, const QString& name, const QString& icon) {
    const auto element = [](const char* tag, const QString& text) {
        return QStringLiteral("\t<%1>%2</%1>\n").arg(QLatin1String(tag), text.toHtmlEscaped());
    };
    return QStringLiteral("<action>\n") + element("icon", icon) + element("name", name) +
           element("submenu", QString()) + element("unique-id", QLatin1String(kActionId)) +
           element("command", commandWord(program.executablePath) + QLatin1String(" %f")) +
           element("description", packageEntryValue(QStringLiteral("Comment[ja]"))) +
           element("patterns", QStringLiteral("*")) + QStringLiteral("\t<image-files/>\n") +
           QStringLiteral("</action>");
}

// Where the action goes in a Thunar list: the text it replaces (our own action from an
// earlier run, or nothing) and what surrounds it.
struct Placement {
    qsizetype start = -1;
    qsizetype length = 0;
    QString before;
    QString after;
};

// The start and the end of the tag the reader has just read, which ends at or just
// before offset: the reader may have looked one character further.
std::pair<qsizetype, qsizetype> tagBefore(const QString& text, qsizetype offset) {
    const qsizetype start = text.lastIndexOf(QLatin1Char('<'), offset - 2);
    return {start, text.indexOf(QLatin1Char('>'), start) + 1};
}

// Finds our action in the list, or the end of the list, reading it as XML; a list that is
// not well-formed, or whose root is not <actions>, is not touched.
Placement placeInThunarList(const QString& text, const QString& path) {
    QXmlStreamReader xml(text);
    qsizetype actionStart = -1;
    bool ownAction = false;
    Placement placement;
    int depth = 0;
    while (!xml.atEnd() && !xml.hasError() && placement.start < 0) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const auto [start, end] = tagBefore(text, xml.characterOffset());
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1 && xml.name() != QLatin1String(kThunarRoot)) {
                raiseFileError(QStringLiteral("は Thunar の操作の一覧ではありません"), path);
            }
            if (depth == 1 && text.at(end - 2) == QLatin1Char('/')) {  // <actions/>
                placement = {start, end - start, QStringLiteral("<actions>\n"),
                             QStringLiteral("\n</actions>")};
            } else if (depth == 2) {
                actionStart = start;
                ownAction = false;
            } else if (depth == 3 && xml.name() == QLatin1String("unique-id")) {
                ownAction = xml.readElementText().trimmed() == QLatin1String(kActionId);
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && ownAction) {
                placement = {actionStart, end - actionStart, QString(), QString()};
            } else if (depth == 1) {
                const bool lineStart = text.at(start - 1) == QLatin1Char('\n');
                placement = {start, 0, lineStart ? QString() : QStringLiteral("\n"),
                             QStringLiteral("\n")};
            }
            --depth;
        }
    }
    if (xml.hasError() || placement.start < 0) {
        raiseFileError(QStringLiteral("を読めません"), path,
                       QStringLiteral("XML %1 行目: %2")
                           .arg(xml.lineNumber())
                           .arg(xml.hasError() ? xml.errorString() : QStringLiteral("空です")));
    }
    return placement;
}

// The list Thunar reads now: the user's own, else the system's default list that a user
// list would take the place of, else none (empty).
QString currentThunarList(const QString& userList, const QStringList& systemConfig) {
    QStringList candidates{userList};
    for (const QString& folder : systemConfig) {
        candidates << folder + QLatin1String("/Thunar/uca.xml");
    }
    for (const QString& candidate : candidates) {
        if (!QFileInfo::exists(candidate)) {
            continue;
        }
        QFile file(candidate);
        if (!file.open(QIODevice::ReadOnly)) {
            raiseFileError(QStringLiteral("を読めません"), candidate, file.errorString());
        }
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(file.readAll());
        if (utf8.hasError()) {
            raiseFileError(QStringLiteral("は UTF-8 ではありません"), candidate);
        }
        return text;
    }
    return {};
}

void mergeThunarAction(const QString& userList, const QStringList& systemConfig,
                       const QString& action) {
    QString text = currentThunarList(userList, systemConfig);
    if (text.trimmed().isEmpty()) {
        text =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n");
    }
    const Placement placement = placeInThunarList(text, userList);
    text.replace(placement.start, placement.length, placement.before + action + placement.after);
    QDir().mkpath(QFileInfo(userList).path());
    platform::writeWholeFile(userList, text.toUtf8());
}

void writeInto(const QString& folder, const QString& name, const QByteArray& bytes,
               bool executable) {
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (executable) {
        platform::writeWholeExecutableFile(path, bytes);
    } else {
        platform::writeWholeFile(path, bytes);
    }
}

}  // namespace

QStringList writeFileManagerActions(const ProgramShortcut& program, const QString& actionName,
                                    const QString& icon, const platform::DesktopFolders& folders) {
    const QString& data = folders.dataHome;
    const std::pair<const char*, std::function<void()>> writers[] = {
        // KDE Frameworks 5 runs a service menu only when it is executable.
        {"Dolphin",
         [&] {
             writeInto(data + QLatin1String("/kio/servicemenus"), QStringLiteral("velmar.desktop"),
                       serviceMenu(program, actionName, icon), true);
         }},
        {"Nautilus",
         [&] {
             writeInto(data + QLatin1String("/nautilus/scripts"), actionName,
                       nautilusScript(program, actionName), true);
         }},
        {"Nemo",
         [&] {
             writeInto(data + QLatin1String("/nemo/actions"), QStringLiteral("velmar.nemo_action"),
                       nemoAction(program, actionName, icon), false);
         }},
        {"Thunar",
         [&] {
             mergeThunarAction(folders.configHome + QLatin1String("/Thunar/uca.xml"),
                               folders.systemConfig, thunarAction(program, actionName, icon));
         }},
    };
    QStringList unwritten;
    for (const auto& [manager, write] : writers) {
        try {
            write();
        } catch (const std::exception& error) {
            unwritten << QStringLiteral("%1 のﾒﾆｭｰに追加できません: %2")
                             .arg(QLatin1String(manager), QString::fromStdString(error.what()));
        }
    }
    return unwritten;
}

}  // namespace velmar::shell
