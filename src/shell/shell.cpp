#include "shell/shell.h"

#include "base/app_title.h"
#include "base/error.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/services.h"

#include <QDir>
#include <QUrl>

#include <exception>

namespace velmar::shell {

namespace {

constexpr auto kHelpFolder = "help";
constexpr auto kHelpSuffix = "_help";
constexpr auto kViewerShortcut = "htm_view";
constexpr auto kWorkFolder = "Wrk";
constexpr auto kDescription = "画像編集ツール　プリント";
// The file managers' menu action, after the program's title.
constexpr auto kPrintAction = " で印刷";

// Runs a shell operation that must not fail visibly: whatever it did before an error stays.
void quietly(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): silent by design
    }
}

QString helpPageName(const QString& sJob) {
    QString page = sJob.toLower();
    if (!page.contains(QLatin1Char('.'))) {
        page += QLatin1String(".htm");
    }
    return page;
}

// The program as the platform names its executable: folder, separator, name, suffix.
QString programPath(const ShellContext& context) {
    return platform::executableFolder(context.executableFilePath) + platform::pathSeparator() +
           context.exeName + platform::executableSuffix();
}

QString iconPath(const QString& executableFilePath) {
    const QString icon = platform::programDataFolder(executableFilePath) +
                         platform::pathSeparator() + QLatin1String("velmar.png");
    return QDir().exists(icon) ? icon : QString();
}

// A file: address as the file's path; any other address as it is.
QString shownPlace(const QString& target) {
    const QUrl url(target);
    return url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : target;
}

}  // namespace

QString helpBaseAddress(const QString& executableFilePath) {
    const QString folder =
        platform::programDataFolder(executableFilePath) + QLatin1Char('/') + kHelpFolder;
    return QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded) + QLatin1Char('/');
}

void W_Help(const ShellContext& context, const QString& sJob) {
    const QString target = helpBaseAddress(context.executableFilePath) + helpPageName(sJob);
    QString failure;
    try {
        const QString shortcut = context.userDataFolder + context.exeName +
                                 QLatin1String(kHelpSuffix) + platform::shortcutSuffix();
        saveLinkShortcut(context.desktop, shortcut, target);
        failure = context.desktop.openShortcut(shortcut, target, context.ownerWindow);
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    if (!failure.isEmpty()) {
        // Nothing would appear at all; the user is told which page could not be shown and why.
        context.messages.show(QStringLiteral("ﾍﾙﾌﾟを表示できません\r") + shownPlace(target) +
                              QLatin1Char('\r') + failure);
    }
}

void W_HtmView(const ShellContext& context, const QString& sUrl) {
    quietly([&context, &sUrl] {
        const QString shortcut = context.userDataFolder + QLatin1String(kWorkFolder) +
                                 platform::pathSeparator() + QLatin1String(kViewerShortcut) +
                                 platform::shortcutSuffix();
        saveLinkShortcut(context.desktop, shortcut, sUrl);
        context.desktop.openShortcut(shortcut, sUrl, context.ownerWindow);
    });
}

void W_SendTo(const ShellContext& context, const std::function<QString()>& sendToFolder) {
    quietly([&context, &sendToFolder] {
        const QString folder = sendToFolder();
        if (folder.isEmpty()) {
            // Never a shortcut in the root folder when there is no Send To folder.
            throw Error(QStringLiteral("「送る」ﾌｫﾙﾀﾞがありません"));
        }
        const QString shortcut =
            folder + platform::pathSeparator() + context.exeName + platform::shortcutSuffix();
        const QString program = programPath(context);
        const platform::ProgramShortcut shortcutProgram{
            program, QLatin1String(kAppTitle), QString::fromUtf8(kDescription),
            iconPath(context.executableFilePath), context.programFileTypes};
        saveProgramShortcut(context.desktop, shortcut, shortcutProgram);
        QString confirmation =
            program + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder + QStringLiteral(" に作成しました");
        const QStringList unwritten =
            saveFileManagerActions(context.desktop, shortcutProgram,
                                   QLatin1String(kAppTitle) + QString::fromUtf8(kPrintAction));
        for (const QString& line : unwritten) {
            confirmation += QLatin1Char('\r') + line;
        }
        context.messages.show(confirmation);
    });
}

void W_ExpFd(const ShellContext& context, const platform::FileSystem& files, const QString& sFld,
             std::int16_t bOpn) {
    if (sFld.isEmpty()) {
        return;
    }
    if (bOpn != 0) {
        context.desktop.open(sFld, context.ownerWindow);
        return;
    }
    if (files.folderExists(sFld)) {
        context.desktop.explore(sFld, context.ownerWindow);
    }
}

}  // namespace velmar::shell
