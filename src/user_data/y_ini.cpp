// The per-user data folder and the folder helpers of the shared settings object.
#include "user_data/y_ini.h"
#include "user_data/usr.h"

#include "base/checked_math.h"
#include "base/error.h"
#include "platform/diagnostics.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/services.h"

#include <exception>
#include <limits>
#include <utility>

namespace velmar::user_data {

namespace {

const QString kToolsFolder = QStringLiteral("Ostrand");
const QString kProgramFolderData = QStringLiteral("usData");
const QString kUseFolderLine = QStringLiteral("ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　");
const QString kWillUse = QStringLiteral(" を使用します");
const QString kNotFound = QStringLiteral(" が見つかりません");

QString withTrailingSeparator(const QString& path) {
    const QChar separator = platform::pathSeparator();
    return path.endsWith(separator) ? path : path + separator;
}

// The definition file is missing.
QString definitionMissingMessage(const QString& definitionFile, const QString& defaultFolder) {
    return definitionFile + kNotFound + QLatin1Char('\r') + kUseFolderLine + defaultFolder +
           kWillUse;
}

// The definition file holds nothing on its first line.
QString definitionEmptyMessage(const QString& defaultFolder) {
    return QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません") + QLatin1Char('\r') +
           defaultFolder + kWillUse;
}

// The folder the definition names does not exist.
QString folderMissingMessage(const QString& folder, const QString& defaultFolder) {
    return QStringLiteral("ﾌｫﾙﾀﾞ ") + folder + kNotFound + QLatin1Char('\r') + kUseFolderLine +
           defaultFolder + kWillUse;
}

}  // namespace

QString definitionFilePath(const QString& executableFilePath) {
    return withTrailingSeparator(platform::programDataFolder(executableFilePath)) +
           QLatin1String(kDefinitionFile);
}

yIni::yIni(const platform::Services& services, std::function<QStringList()> programFileTypes)
    : services_(services),
      programFileTypes_(std::move(programFileTypes)),
      document_(platform::FileSystem{}, services.messages) {}

void yIni::W_UserData(std::int32_t nWhnd) {
    nOwnerWnd_ = nWhnd;
    const QString executable = services_.process.executableFilePath();
    const QString programFolder = withTrailingSeparator(platform::executableFolder(executable));
    const platform::FileSystem& files = EnsureFso();
    recordExecutablePath(executable);
    const QString defaultFolder = toolFolder(platform::kFolderAppData);
    const QString definition = readDefinition(definitionFilePath(executable), defaultFolder);
    usr().sUserDataFolder = chooseFolder(definition, programFolder, defaultFolder);
    if (!files.folderExists(usr().sUserDataFolder)) {
        F_CreateFld(usr().sUserDataFolder);
    }
}

// The entry is rewritten only when the program runs from somewhere else than recorded.
// It is only a record for the other tools: a store that cannot take it is said on one line
// of standard error and the run goes on.
void yIni::recordExecutablePath(const QString& executableFilePath) {
    const QString application = QLatin1String(kToolsApplication);
    const QString section = QLatin1String(kPathSection);
    const QString key = usr().sExeName;
    const QString recorded = services_.settings.read(application, section, key, QString());
    const QString current = platform::executableFolder(executableFilePath) +
                            platform::pathSeparator() + usr().sExeName +
                            platform::executableSuffix();
    if (recorded.toLower() == current.toLower()) {
        return;
    }
    try {
        services_.settings.write(application, section, key, current);
    } catch (const Error& error) {
        platform::writeDiagnostic(error.message().replace(QLatin1Char('\r'), QLatin1Char(' ')));
    }
}

// The definition file's whole text, or the default definition (with a message) when the
// file is missing or its first line is empty.
QString yIni::readDefinition(const QString& definitionFile, const QString& defaultFolder) {
    const platform::FileSystem& files = EnsureFso();
    if (!files.fileExists(definitionFile)) {
        services_.messages.show(definitionMissingMessage(definitionFile, defaultFolder));
        return QLatin1String(kDefaultDefinition);
    }
    QString definition = QLatin1String(kDefaultDefinition);
    platform::TextReader reader = files.openTextFileForReading(definitionFile);
    if (reader.atEndOfLine()) {
        services_.messages.show(definitionEmptyMessage(defaultFolder));
    } else {
        definition = reader.readAll();
    }
    reader.close();
    return definition;
}

// Tokens compare without regard to letter case; a folder path is used as the file system
// compares it.
QString yIni::chooseFolder(const QString& definition, const QString& programFolder,
                           const QString& defaultFolder) {
    const QString token = definition.toLower();
    if (token == QLatin1String("%app%")) {
        return programFolder + kProgramFolderData + platform::pathSeparator();
    }
    if (token == QLatin1String("%usr%") || token == QLatin1String(kDefaultDefinition)) {
        return defaultFolder;
    }
    if (token == QLatin1String("%doc") || token == QLatin1String("%my document%")) {
        return toolFolder(platform::kFolderDocuments);
    }
    if (token.startsWith(QLatin1Char('%'))) {
        return defaultFolder;
    }
    const QString folder = platform::pathInFileSystemCase(definition);
    if (EnsureFso().folderExists(folder)) {
        return withTrailingSeparator(folder);
    }
    services_.messages.show(folderMissingMessage(folder, defaultFolder));
    return defaultFolder;
}

// The program's own folder under a special folder: <special>/Ostrand/<exe name>/.
QString yIni::toolFolder(std::int32_t specialFolder) const {
    const QChar separator = platform::pathSeparator();
    return FsGtSpFld(specialFolder) + separator + kToolsFolder + separator + usr().sExeName +
           separator;
}

QString yIni::FsGtSpFld(std::int32_t nFlg) const {
    return services_.folders.path(nFlg);
}

void yIni::F_ChkSb(const QString& sPh, const QStringList& Ary) const {
    const platform::FileSystem& files = EnsureFso();
    if (Ary.size() - 1 > std::numeric_limits<std::int16_t>::max()) {
        raiseOverflow();
    }
    for (const QString& name : Ary) {
        const QString path = sPh + name;
        if (!files.folderExists(path)) {
            files.createFolder(path);
        }
    }
}

// Walks the path's separators from the left and creates each missing level. The text
// before the first separator (a drive, or nothing on a path from the root) is never
// created.
void yIni::F_CreateFld(const QString& sFd) const {
    const platform::FileSystem& files = EnsureFso();
    if (files.folderExists(sFd)) {
        return;
    }
    const QChar separator = platform::pathSeparator();
    const QString path = withTrailingSeparator(sFd);
    int level = 0;
    for (qsizetype at = path.indexOf(separator); at >= 0; at = path.indexOf(separator, at + 1)) {
        ++level;
        const QString part = path.left(at);
        if (level < 2 || part.isEmpty()) {
            continue;
        }
        try {
            if (!files.folderExists(part)) {
                files.createFolder(part);
            }
        } catch (const std::exception&) {
            // Every failure of a level is ignored, whatever raised it: the level is left
            // and the deeper levels are still tried.
        }
    }
}

}  // namespace velmar::user_data
