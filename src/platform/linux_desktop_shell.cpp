// The freedesktop desktop: its folders, file-type associations through GIO, the cache of
// the entries' file types, and the open and explore actions through the desktop's URL
// handler (xdg-open); no command shell is involved. The entries themselves are text files
// that the program writes.
#include "base/error.h"
#include "platform/linux_xdg_folders.h"
#include "platform/native_parts.h"

#include <QCoreApplication>
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

constexpr int kToolTimeoutMs = 30000;
constexpr int kOpenWaitMs = 3000;

// A web address stays as it is; a path becomes a file: URL.
QUrl urlOf(const QString& target) {
    QUrl url(target);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
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

// Why xdg-open could not show a target, by its documented exit status.
QString openFailure(int exitCode) {
    switch (exitCode) {
        case 2:
            return QStringLiteral("ﾌｧｲﾙがありません");
        case 3:
            return QStringLiteral("開くﾌﾟﾛｸﾞﾗﾑがありません");
        case 4:
            return QStringLiteral("開くﾌﾟﾛｸﾞﾗﾑが失敗しました");
        default:
            return QStringLiteral("xdg-open が終了ｺｰﾄﾞ %1 で終わりました").arg(exitCode);
    }
}

// Hands the address to xdg-open, the desktop's own way to open it, and gives why it could
// not be shown. xdg-open ends as soon as the desktop's opener has taken the address, or
// when the program it started itself ends; a program still running after a short wait
// is showing the page, and xdg-open is left to it, owned by the application so that the
// wait never blocks the window for long.
QString openThroughDesktop(const QUrl& url) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (tool.isEmpty()) {
        return QStringLiteral("xdg-open がありません (xdg-utils)");
    }
    auto process = std::make_unique<QProcess>();
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(tool, {url.toString(QUrl::FullyEncoded)});
    if (!process->waitForStarted()) {
        return QStringLiteral("xdg-open を起動できません (%1)").arg(process->errorString());
    }
    if (!process->waitForFinished(kOpenWaitMs)) {
        if (QCoreApplication::instance() != nullptr) {
            QObject::connect(process.get(), &QProcess::finished, process.get(),
                             &QObject::deleteLater);
            process.release()->setParent(QCoreApplication::instance());
        }
        return {};
    }
    if (process->exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("xdg-open が異常終了しました");
    }
    return process->exitCode() == 0 ? QString() : openFailure(process->exitCode());
}

// The data and configuration folders of a freedesktop variable such as XDG_DATA_DIRS.
QStringList folderList(const char* variable, const QString& fallback) {
    return qEnvironmentVariable(variable, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

class FreedesktopShell final : public DesktopShell, public DesktopEntries {
  public:
    [[nodiscard]] DesktopEntries* entries() override { return this; }

    [[nodiscard]] DesktopFolders folders() const override {
        return DesktopFolders{
            dataHome(), configHome(),
            folderList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")),
            folderList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"))};
    }

    QStringList keepOtherDefaults(const QStringList& mimeTypes, const QString& entryId) override {
        const std::vector<OtherDefault> defaults = otherDefaults(mimeTypes, entryId);
        keepDefaults(defaults);
        QStringList types;
        for (const OtherDefault& other : defaults) {
            types << other.type;
        }
        return types;
    }

    void refreshEntryCache(const QString& folder) override { refreshMimeCache(folder); }

    // xdg-open shows a link entry as a text file, so the target is opened instead.
    QString openShortcut(const QString& /*shortcutPath*/, const QString& target,
                         std::int32_t /*ownerWindow*/) override {
        return openThroughDesktop(urlOf(target));
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
